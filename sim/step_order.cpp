#include "sim/step_order.h"

#include <functional>

#include "model/scene_storage.h"
#include "model/spring.h"
#include "sim/contact.h"
#include "sim/settings.h"
#include "sim/world.h"

namespace {

struct StepRecords {
    StepOrder order;
    StepScratch scratch;
    ContactScratch contact;
};

StepRecords& records() {
    std::shared_ptr<void>& slot = sceneStorage().stepRecords;
    if (slot == nullptr) slot = std::make_shared<StepRecords>();
    return *static_cast<StepRecords*>(slot.get());
}

// The objects along the links from `first`, then, when `padded`, copies of the last: up to a
// whole block, so that lanes past the end hold harmless values, and kBlocksAhead blocks more,
// which the springs' walk fetches ahead. Returns the count before those.
template <class T>
std::size_t readLinks(std::vector<T*>& entries, T* first, bool padded) {
    entries.clear();
    for (T* e = first; !pastTheEnd(e); e = e->next) entries.push_back(e);
    const std::size_t count = entries.size();
    if (padded && count > 0) {
        entries.resize((count / kBlock + 1 + kBlocksAhead) * kBlock, static_cast<T*>(entries.back()));
    }
    return count;
}

void readOrder(StepOrder& o, StepScratch& scratch, ContactScratch& contact) {
    o.edits = sceneStorage().linkEdits;
    o.stale = false;
    o.chainHead = chainHead;
    o.listHead = springList;
    o.firstElement = volumeElements;
    readLinks(o.moving, chainHead->next, false);
    o.cellCount = readLinks(o.cells, springList, true);
    o.elementCount = readLinks(o.elements, volumeElements, true);

    // Ends outside the chain, each with its first listing: the moving points sorted by address
    // are looked up, then the ends found sorted by address and each kept once, then put in
    // the order of their first listing (sorting allocates nothing, so a step may read anew).
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

    // Only ever grown: a tear has the order read anew before the damping measured is added.
    if (scratch.damping.size() < o.cells.size()) scratch.damping.resize(o.cells.size());
    if (scratch.ends.size() < o.cells.size()) scratch.ends.resize(o.cells.size());
    scratch.clearedOnTheWay.reserve(o.fixedEnds.size());
    // A scene that changes starts its friction afresh. Contact reads the cubes with the order
    // while it is on, else on its first step (friction set in between is kept).
    contact.stretches.clear();
    if (switchedOn(settings.contact)) {
        readContactCubes(contact, o.sortedMoving);
    } else {
        contact.stale = true;
    }
}

}  // namespace

StepOrder& sceneOrder() {
    StepRecords& r = records();
    StepOrder& o = r.order;
    if (o.stale || o.edits != sceneStorage().linkEdits || o.chainHead != chainHead || o.listHead != springList ||
        o.firstElement != volumeElements) {
        readOrder(o, r.scratch, r.contact);
    }
    return o;
}

StepScratch& stepScratch() { return records().scratch; }

ContactScratch& contactScratch() { return records().contact; }

void markOrderStale() { records().order.stale = true; }
