#include "sim/step_order.h"

#include <algorithm>
#include <functional>

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"

namespace {

StepOrder order;

void readOrder(StepOrder& o) {
    o.edits = linkEdits;
    o.read = true;
    o.chainHead = chainHead;
    o.listHead = springList;
    o.firstElement = volumeElements;
    o.moving.clear();
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) o.moving.push_back(p);
    o.cells.clear();
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) o.cells.push_back(cell);
    o.damping.resize(o.cells.size());
    o.elements.clear();
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) o.elements.push_back(e);

    // Ends outside the chain: the moving points sorted by address are looked up, then the ends
    // found are sorted and each kept once. The moving points' array is put back in chain order.
    std::sort(o.moving.begin(), o.moving.end(), std::less<>());
    o.fixedEnds.clear();
    for (const SpringListNode* cell : o.cells) {
        for (MassPoint* end : {cell->spring->a, cell->spring->b}) {
            if (!std::binary_search(o.moving.begin(), o.moving.end(), end, std::less<>())) o.fixedEnds.push_back(end);
        }
    }
    std::sort(o.fixedEnds.begin(), o.fixedEnds.end(), std::less<>());
    o.fixedEnds.erase(std::unique(o.fixedEnds.begin(), o.fixedEnds.end()), o.fixedEnds.end());
    std::size_t i = 0;
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) o.moving[i++] = p;
}

}  // namespace

StepOrder& sceneOrder() {
    if (!order.read || order.edits != linkEdits || order.chainHead != chainHead || order.listHead != springList ||
        order.firstElement != volumeElements) {
        readOrder(order);
    }
    return order;
}

void readOrderAgain() { order.read = false; }

void prepareStep() { sceneOrder(); }

bool listLinksHold(const StepOrder& o) {
    const SpringListNode* expected = springList;
    for (const SpringListNode* cell : o.cells) {
        if (cell != expected || cell->next == nullptr) return false;
        expected = cell->next;
    }
    return expected->next == nullptr;
}
