#include "model/spring_list.h"

#include "model/scene_storage.h"
#include "model/spring.h"

namespace {
// Lists longer than this (the scene's global list) have their end remembered while a scene
// is built; the points' own lists are a dozen cells and are simply walked.
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
    SpringListNode* cell = this;
    while (cell->next != nullptr) cell = cell->next;
    cell->spring = newSpring;
    cell->next = newPointSpringList();
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
