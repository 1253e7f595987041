// The points' passes over the tables: rows in, gravity and push, forces out and integration.

#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/step_tables.h"
#include "sim/room.h"
#include "sim/table_passes.h"
#include "sim/world.h"

bool loadRows(StepTables& t) {
    // Moving points, checking the chain's links on the way (its points' lines are read anyway).
    const std::size_t n = t.chain.size();
    MassPoint* const* chain = t.chain.data();
    bool same = chainHead->next == (n == 0 ? nullptr : chain[0]);
    for (std::size_t i = 0; i < n; ++i) {
        const MassPoint& p = *chain[i];
        same &= p.next == (i + 1 < n ? chain[i + 1] : nullptr);
        const std::uint32_t row = t.chainRows[i];
        t.rows[row] = PointRow{loadVec3(p.position), loadVec3(p.velocity)};
        t.force[row] = Lanes{};
    }
    if (!same) return false;

    // Fixed points: ends of listed springs are cleared, the other corners keep their force.
    for (const std::uint32_t row : t.fixedRows) {
        const MassPoint& p = *t.pointOf[row];
        t.rows[row] = PointRow{loadVec3(p.position), loadVec3(p.velocity)};
        t.force[row] = t.role[row] == RowRole::carried ? loadVec3(p.force) : Lanes{};
    }
    return true;
}

void addToMovingRows(StepTables& t, const Vec3& f) {
    const Lanes row{f.x, f.y, f.z, -0.0f};
    for (const std::uint32_t r : t.chainRows) t.force[r] = t.force[r] + row;
}

void storeAndIntegrate(StepTables& t, float dt) {
    const std::size_t n = t.chain.size();
    for (std::size_t i = 0; i < n; ++i) {
        MassPoint& p = *t.chain[i];
        const Lanes f = t.force[t.chainRows[i]];
        p.force = Vec3{f[0], f[1], f[2]};
        p.integrateVelocity(f, dt);
        bounceVelocity(p);
        p.integratePosition(dt);
        clampPosition(p);
    }
    for (const std::uint32_t row : t.fixedRows) {
        const Lanes f = t.force[row];
        t.pointOf[row]->force = Vec3{f[0], f[1], f[2]};
    }
}
