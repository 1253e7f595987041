#include "sim/energy.h"

#include <cmath>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/settings.h"
#include "sim/world.h"

namespace {

double squaredSpeed(const Vec3& v) {
    const double x = v.x, y = v.y, z = v.z;
    return x * x + y * y + z * z;
}

double springLength(const Spring& spring) {
    const double dx = static_cast<double>(spring.a->position.x) - spring.b->position.x;
    const double dy = static_cast<double>(spring.a->position.y) - spring.b->position.y;
    const double dz = static_cast<double>(spring.a->position.z) - spring.b->position.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

SceneEnergy sceneEnergy() {
    SceneEnergy energy;
    // The weight of every moving point, the very float force the step applies.
    const double weight = gravityOn && leadCube != nullptr ? settings.gravity * leadCube->corners[0]->mass : 0.0f;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        energy.kinetic += 0.5 * p->mass * squaredSpeed(p->velocity);
        energy.gravitational += weight * (static_cast<double>(p->position.z) - floorZ);
    }
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        const Spring& s = *cell->spring;
        const double stretch = springLength(s) - s.restLength;
        energy.spring += 0.5 * s.stiffness * stretch * stretch;
    }
    return energy;
}
