#include "sim/step_order.h"

#include <functional>

#include "model/scene_storage.h"
#include "model/spring.h"
#include "sim/world.h"

namespace {

struct StepRecords {
    StepOrder order;
    StepScratch scratch;
};

StepRecords& records() {
    std::shared_ptr<void>& slot = sceneStorage().stepRecords;
    if (slot == nullptr) slot = std::make_shared<StepRecords>();
    return *static_cast<StepRecords*>(slot.get());
}

// Copies of the last entry up to a whole block, so that lanes past the end hold harmless values.
template <class T>
void padToBlock(std::vector<T*>& entries) {
    while (!entries.empty() && entries.size() % kBlock != 0) entries.push_back(entries.back());
}

void readOrder(StepOrder& o, StepScratch& scratch) {
    o.edits = sceneStorage().linkEdits;
    o.stale = false;
    o.chainHead = chainHead;
    o.listHead = springList;
    o.firstElement = volumeElements;
    o.moving.clear();
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) o.moving.push_back(p);
    o.cells.clear();
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) o.cells.push_back(cell);
    o.cellCount = o.cells.size();
    padToBlock(o.cells);
    o.elements.clear();
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) o.elements.push_back(e);
    o.elementCount = o.elements.size();
    padToBlock(o.elements);

    // Ends outside the chain, each with its first listing: the moving points sorted by address
    // are looked up, then the ends found sorted by address and each kept once, then put in
    // the order of their first listing.
    o.sortedMoving.assign(o.moving.begin(), o.moving.end());
    std::sort(o.sortedMoving.begin(), o.sortedMoving.end(), std::less<>());
    o.fixedEnds.clear();
    for (std::size_t k = 0; k < o.cellCount; ++k) {
        for (MassPoint* end : {o.cells[k]->spring->a, o.cells[k]->spring->b}) {
            if (!std::binary_search(o.sortedMoving.begin(), o.sortedMoving.end(), end, std::less<>())) {
                o.fixedEnds.push_back(FixedEnd{end, k});
            }
        }
    }
    std::sort(o.fixedEnds.begin(), o.fixedEnds.end(), [](const FixedEnd& x, const FixedEnd& y) {
        return x.point != y.point ? std::less<>()(x.point, y.point) : x.firstListed < y.firstListed;
    });
    auto samePoint = [](const FixedEnd& x, const FixedEnd& y) { return x.point == y.point; };
    o.fixedEnds.erase(std::unique(o.fixedEnds.begin(), o.fixedEnds.end(), samePoint), o.fixedEnds.end());
    std::sort(o.fixedEnds.begin(), o.fixedEnds.end(),
              [](const FixedEnd& x, const FixedEnd& y) { return x.firstListed < y.firstListed; });

    scratch.damping.resize(o.cells.size());
    scratch.clearedOnTheWay.reserve(o.fixedEnds.size());
}

}  // namespace

StepOrder& sceneOrder() {
    StepRecords& r = records();
    StepOrder& o = r.order;
    if (o.stale || o.edits != sceneStorage().linkEdits || o.chainHead != chainHead || o.listHead != springList ||
        o.firstElement != volumeElements) {
        readOrder(o, r.scratch);
    }
    return o;
}

StepScratch& stepScratch() { return records().scratch; }

void markOrderStale() { records().order.stale = true; }
