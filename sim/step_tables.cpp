#include "sim/step_tables.h"

#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/step_tables.h"
#include "model/volume_element.h"
#include "sim/world.h"

// Each link is compared where the tables say it is, so the loads do not wait for each other
// as a walk along the links would: following the links from the heads visits exactly the
// objects of the tables, in their order, when every link checked here holds.
bool tablesMatchScene(const StepTables& t) {
    if (!t.built || t.chainHead != chainHead || springList != t.cells.front()) return false;

    const std::size_t points = t.chain.size();
    if (chainHead->next != (points == 0 ? nullptr : t.chain[0])) return false;
    bool same = true;
    for (std::size_t i = 0; i + 1 < points; ++i) same &= t.chain[i]->next == t.chain[i + 1];
    if (!same || (points != 0 && t.chain[points - 1]->next != nullptr)) return false;

    const std::size_t springs = t.springs.size();
    for (std::size_t k = 0; k < springs; ++k) {
        same &= t.cells[k]->next == t.cells[k + 1];
        same &= t.cells[k]->spring == t.springs[k];
    }
    if (!same || t.cells[springs]->next != nullptr) return false;

    const std::size_t elements = t.elements.size();
    if (volumeElements != (elements == 0 ? nullptr : t.elements[0])) return false;
    for (std::size_t e = 0; e + 1 < elements; ++e) same &= t.elements[e]->next == t.elements[e + 1];
    return same && (elements == 0 || t.elements[elements - 1]->next == nullptr);
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
    const std::size_t springs = storage.springCount();
    const std::size_t elements = storage.elementCount();
    t.chainHead = chainHead;
    t.chain.clear();
    t.chainRows.clear();
    t.cells.clear();
    t.springs.clear();
    t.ends.clear();
    t.elements.clear();
    t.corners.clear();
    t.usedRows.clear();
    t.pointOf.assign(points, nullptr);
    t.role.assign(points, RowRole::unused);
    t.springSeen.assign(springs, 0);
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
        if (slot == SlotPool::kNoSlot || t.springSeen[slot] != 0) return false;
        t.springSeen[slot] = 1;
        SpringEnds ends;
        if (!takeRow(t, storage, s->a, RowRole::cleared, ends.a) || !takeRow(t, storage, s->b, RowRole::cleared, ends.b)) {
            return false;
        }
        t.cells.push_back(cell);
        t.springs.push_back(s);
        t.ends.push_back(ends);
    }
    t.cells.push_back(cell);  // the terminator

    // Elements.
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) {
        if (t.elements.size() == elements) return false;
        ElementCorners corners;
        for (int c = 0; c < 4; ++c) {
            if (!takeRow(t, storage, e->corners[c], RowRole::carried, corners.c[c])) return false;
        }
        t.elements.push_back(e);
        t.corners.push_back(corners);
    }

    for (std::uint32_t row = 0; row < points; ++row) {
        if (t.role[row] != RowRole::unused) t.usedRows.push_back(row);
    }
    t.damping.resize(t.springs.size());
    return true;
}

}  // namespace

bool buildTables(StepTables& t, const SceneStorage& storage) {
    t.built = fillTables(t, storage);
    return t.built;
}
