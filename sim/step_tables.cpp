#include "sim/step_tables.h"

#include <cstddef>
#include <cstdint>

#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/step_tables.h"
#include "model/volume_element.h"
#include "sim/world.h"

bool headsMatchTables(const StepTables& t) {
    return t.built && t.chainHead == chainHead && springList == t.listHead && t.terminator->next == nullptr;
}

namespace {

// The row of p, marked with at least the given role (moving over cleared over carried), or
// false when p is not a point of this storage.
bool takeRow(StepTables& t, const SceneStorage& storage, MassPoint* p, RowRole role, std::uint32_t& row) {
    const std::size_t slot = storage.pointSlot(p);
    if (slot == SlotPool::kNoSlot) return false;
    row = static_cast<std::uint32_t>(slot);
    t.pointOf[row] = p;
    if (t.role[row] == RowRole::unused || static_cast<int>(role) < static_cast<int>(t.role[row])) t.role[row] = role;
    return true;
}

bool fillTables(StepTables& t, const SceneStorage& storage) {
    const std::size_t points = storage.pointCount();
    const std::size_t springSlots = storage.springCount();
    const std::size_t elements = storage.elementCount();
    t.chainHead = chainHead;
    t.listHead = springList;
    t.chain.clear();
    t.chainRows.clear();
    t.fixedRows.clear();
    t.springs.clear();
    t.ends.clear();
    t.stiffness.clear();
    t.restLength.clear();
    t.tearForce.clear();
    t.elements.clear();
    t.corners.clear();
    t.restVolume.clear();
    t.pointOf.assign(points, nullptr);
    t.role.assign(points, RowRole::unused);
    t.listPosition.assign(springSlots, StepTables::kNotListed);
    t.chainPosition.assign(elements, StepTables::kNotListed);
    t.rows.resize(points);
    t.force.resize(points);

    // Moving points.
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        std::uint32_t row;
        if (!takeRow(t, storage, p, RowRole::moving, row)) return false;
        t.chain.push_back(p);
        t.chainRows.push_back(row);
    }

    // Listed springs, each once.
    SpringListNode* cell = springList;
    for (; cell->next != nullptr; cell = cell->next) {
        Spring* s = cell->spring;
        const std::size_t slot = storage.springSlot(s);
        if (slot == SlotPool::kNoSlot || t.listPosition[slot] != StepTables::kNotListed) return false;
        t.listPosition[slot] = static_cast<std::uint32_t>(t.springs.size());
        SpringEnds ends;
        if (!takeRow(t, storage, s->a, RowRole::cleared, ends.a) || !takeRow(t, storage, s->b, RowRole::cleared, ends.b)) {
            return false;
        }
        t.springs.push_back(s);
        t.ends.push_back(ends);
        t.stiffness.push_back(s->stiffness);
        t.restLength.push_back(s->restLength);
        t.tearForce.push_back(s->tearForce);
    }
    t.terminator = cell;
    // The padding: copies of the last spring (nothing reads it when the list is empty).
    const std::size_t n = t.springs.size();
    if (n != 0) {
        for (std::size_t k = 0; k < kSpringGroup; ++k) {
            t.ends.push_back(t.ends[n - 1]);
            t.stiffness.push_back(t.stiffness[n - 1]);
            t.restLength.push_back(t.restLength[n - 1]);
            t.tearForce.push_back(t.tearForce[n - 1]);
        }
    }
    t.damping.resize(n);

    // Elements.
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) {
        const std::size_t slot = storage.elementSlot(e);
        if (slot == SlotPool::kNoSlot || t.chainPosition[slot] != StepTables::kNotListed) return false;
        t.chainPosition[slot] = static_cast<std::uint32_t>(t.elements.size());
        ElementCorners corners;
        for (int c = 0; c < 4; ++c) {
            if (!takeRow(t, storage, e->corners[c], RowRole::carried, corners.c[c])) return false;
        }
        t.elements.push_back(e);
        t.corners.push_back(corners);
        t.restVolume.push_back(e->restVolume);
    }

    for (std::uint32_t row = 0; row < points; ++row) {
        if (t.role[row] == RowRole::cleared || t.role[row] == RowRole::carried) t.fixedRows.push_back(row);
    }
    return true;
}

}  // namespace

bool buildTables(StepTables& t, const SceneStorage& storage) {
    t.built = fillTables(t, storage);
    t.unfit = !t.built;
    return t.built;
}

bool stillUnfit(const StepTables& t) { return t.unfit && t.chainHead == chainHead && t.listHead == springList; }

void copyRestStateAfterYield(StepTables& t, const Spring& spring) {
    const SceneStorage& storage = sceneStorage();
    auto copyRestLength = [&](const Spring* s) {
        const std::size_t slot = storage.springSlot(s);
        if (slot == SlotPool::kNoSlot || slot >= t.listPosition.size()) return;
        const std::uint32_t k = t.listPosition[slot];
        if (k == StepTables::kNotListed) return;
        t.restLength[k] = s->restLength;
        if (k + 1 == t.springs.size()) {  // the last spring: its copies in the padding too
            for (std::size_t pad = 1; pad <= kSpringGroup; ++pad) t.restLength[k + pad] = s->restLength;
        }
    };
    copyRestLength(&spring);
    for (const VolumeElement* element : spring.elements) {
        for (const Spring* edge : element->edges) {
            if (edge != nullptr) copyRestLength(edge);
        }
        const std::size_t slot = storage.elementSlot(element);
        if (slot == SlotPool::kNoSlot || slot >= t.chainPosition.size()) continue;
        const std::uint32_t e = t.chainPosition[slot];
        if (e != StepTables::kNotListed) t.restVolume[e] = element->restVolume;
    }
}

void markSceneEdited() { sceneStorage().linksChanged(); }
