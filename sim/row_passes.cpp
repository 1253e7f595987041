// The points' passes over the tables: rows in, gravity and push, forces out and integration.

#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/step_tables.h"
#include "sim/room.h"
#include "sim/table_passes.h"

void loadRows(StepTables& t) {
    for (const std::uint32_t row : t.usedRows) {
        const MassPoint& p = *t.pointOf[row];
        t.rows[row] = PointRow{loadVec3(p.position), loadVec3(p.velocity)};
        t.force[row] = t.role[row] == RowRole::carried ? loadVec3(p.force) : Lanes{};
    }
}

void addToMovingRows(StepTables& t, const Vec3& f) {
    const Lanes row{f.x, f.y, f.z, -0.0f};
    for (const std::uint32_t r : t.chainRows) t.force[r] = t.force[r] + row;
}

void storeAndIntegrate(StepTables& t, float dt) {
    for (const std::uint32_t row : t.usedRows) {
        MassPoint& p = *t.pointOf[row];
        const Lanes f = t.force[row];
        p.force = Vec3{f[0], f[1], f[2]};
        if (t.role[row] != RowRole::moving) continue;
        p.integrateVelocity(f, dt);
        bounceVelocity(p);
        p.integratePosition(dt);
        clampPosition(p);
    }
}
