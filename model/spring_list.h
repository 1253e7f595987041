#pragma once

struct MassPoint;
struct Spring;

// One cell of a singly linked list of springs. Every list ends in exactly one terminator
// cell whose `next` and `spring` are both null; an empty list is the terminator alone. A list
// is held by a pointer to its head cell, and the operations below are applied to that cell.
struct SpringListNode {
    SpringListNode* next = nullptr;
    Spring* spring = nullptr;

    // Adds spring at the end. The head cell never changes: an empty head is filled in place.
    void append(Spring* spring);
    // The same on a point's own list (made by newPointSpringList).
    void appendToPointList(Spring* spring);
    // The first spring whose ends are p and q, in either order, or null.
    Spring* findByEnds(const MassPoint* p, const MassPoint* q);
    // Unlinks the cell holding spring and returns the list's head, which is the next cell when
    // spring stood in this (head) cell. The unlinked cell keeps its `next`, so a walk standing
    // on it goes on correctly.
    SpringListNode* remove(const Spring* spring);
};

// A SpringList is held by a pointer to its head cell.
using SpringList = SpringListNode*;

// A new empty list: one terminator cell in the current scene's storage.
SpringList newSpringList();
// A new empty list for a point's own springs. Its cells are kept apart from those of the other
// lists, so that the cells of the scene's list, which every step walks, lie one after another.
SpringList newPointSpringList();
