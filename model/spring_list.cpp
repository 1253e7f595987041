#include "model/spring_list.h"

#include "model/scene_storage.h"
#include "model/spring.h"

namespace {
// Lists longer than this (the scene's global list, a corner's list with many anchors) have
// their end remembered while a scene is built.
constexpr int kLongWalk = 32;
}  // namespace

SpringList newSpringList() { return make<SpringListNode>(); }

SpringList newPointSpringList() { return ::new (sceneStorage().allocatePointListCell()) SpringListNode(); }

void SpringListNode::append(Spring* newSpring) {
    EndHints& hints = sceneStorage().hints;
    const bool hinted = hints.listHead == this;
    SpringListNode* cell = hinted ? hints.listEnd : this;
    int walked = 0;
    while (cell->next != nullptr) {
        cell = cell->next;
        ++walked;
    }
    cell->spring = newSpring;
    cell->next = make<SpringListNode>();
    ++sceneStorage().linkEdits;
    if (hinted || walked > kLongWalk) {
        hints.listHead = this;
        hints.listEnd = cell->next;
    }
}

void SpringListNode::appendToPointList(Spring* newSpring) {
    // A point's list is a dozen cells and is walked; a longer one (every anchor of a corner is
    // on it) goes on from its remembered end.
    SpringListNode* cell = this;
    int walked = 0;
    while (cell->next != nullptr && walked < kLongWalk) {
        cell = cell->next;
        ++walked;
    }
    if (walked < kLongWalk) {
        cell->spring = newSpring;
        cell->next = newPointSpringList();
        return;
    }
    auto& ends = sceneStorage().hints.pointListEnds;
    SpringListNode*& end = ends[this];
    if (end != nullptr) cell = end;
    while (cell->next != nullptr) cell = cell->next;
    cell->spring = newSpring;
    cell->next = newPointSpringList();
    end = cell->next;
}

Spring* SpringListNode::findByEnds(const MassPoint* p, const MassPoint* q) {
    for (SpringListNode* cell = this; cell->spring != nullptr; cell = cell->next) {
        const Spring* s = cell->spring;
        if ((s->a == q && s->b == p) || (s->b == q && s->a == p)) return cell->spring;
    }
    return nullptr;
}

SpringListNode* SpringListNode::remove(const Spring* target) {
    if (target == nullptr) return this;  // the terminator's null is no spring to remove
    ++sceneStorage().linkEdits;
    if (spring == target) return next;
    if (next == nullptr) return this;
    SpringListNode* before = this;
    for (SpringListNode* cell = next; cell->next != nullptr; cell = cell->next) {
        if (cell->spring == target) before->next = cell->next;
        before = cell;
    }
    return this;
}
