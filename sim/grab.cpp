#include "sim/grab.h"

#include <cmath>

#include "model/mass_point.h"
#include "sim/constants.h"
#include "sim/world.h"

Grab grab;

bool takePoint(int number) {
    letGo();
    if (number < 0) return false;
    MassPoint* p = chainHead->next;
    for (int i = 0; i < number && p != nullptr; ++i) p = p->next;
    if (p == nullptr) return false;
    grab = Grab{p, number, p->position};
    return true;
}

void moveGrabTarget(const Vec3& to) {
    if (grab.point != nullptr) grab.target = to;
}

void letGo() { grab = Grab{}; }

void addGrabPull() {
    MassPoint* p = grab.point;
    if (p == nullptr) return;
    const Vec3 reach = grab.target - p->position;
    Vec3 pull{kGrabStiffness * reach.x - kGrabDamping * p->velocity.x,
              kGrabStiffness * reach.y - kGrabDamping * p->velocity.y,
              kGrabStiffness * reach.z - kGrabDamping * p->velocity.z};
    const float size = length(pull);
    if (!std::isfinite(size)) return;  // a scene that has blown up gets no pull
    if (size > kMaxGrabAcceleration) {
        const float shrink = kMaxGrabAcceleration / size;
        pull = Vec3{pull.x * shrink, pull.y * shrink, pull.z * shrink};
    }
    p->addForce(Vec3{pull.x * p->mass, pull.y * p->mass, pull.z * p->mass});
}
