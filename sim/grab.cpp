#include "sim/grab.h"

#include <algorithm>
#include <cmath>

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/constants.h"
#include "sim/presets.h"
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

namespace {

// The share of the full pull that the held point's body takes: the mean stiffness of its
// whole springs per unit of its mass, against a prepared cube's corner (kStandardStiffness
// per unit of mass), at most all of it. A softer or heavier body is pulled as much more gently,
// so that no pull bends it further than it bends a prepared cube; a point on its own is pulled
// in full.
double give(const MassPoint& p) {
    float sum = 0.0f;
    int whole = 0;
    for (const SpringListNode* cell = p.springs; cell != nullptr && cell->next != nullptr; cell = cell->next) {
        if (cell->spring->torn) continue;
        sum += cell->spring->stiffness;
        ++whole;
    }
    if (whole == 0) return 1.0;
    return std::min(1.0, static_cast<double>(sum) / whole / p.mass / kStandardStiffness);
}

}  // namespace

void addGrabPull() {
    MassPoint* p = grab.point;
    if (p == nullptr) return;
    const Vec3& at = p->position;
    const Vec3& v = p->velocity;
    // A scene that has blown up gets no pull; a finite one is worked out in double, where no
    // float reach or speed can overflow, and shortened to the bound before it is rounded.
    for (const float c : {at.x, at.y, at.z, v.x, v.y, v.z}) {
        if (!std::isfinite(c)) return;
    }
    double reach[3] = {static_cast<double>(grab.target.x) - at.x, static_cast<double>(grab.target.y) - at.y,
                       static_cast<double>(grab.target.z) - at.z};
    const double length = std::sqrt(reach[0] * reach[0] + reach[1] * reach[1] + reach[2] * reach[2]);
    const double share = give(*p);
    const double farthest = kMaxGrabReach * share;
    if (length > farthest) {
        for (double& r : reach) r *= farthest / length;
    }
    const double pull[3] = {kGrabStiffness * reach[0] - static_cast<double>(kGrabDamping) * v.x,
                            kGrabStiffness * reach[1] - static_cast<double>(kGrabDamping) * v.y,
                            kGrabStiffness * reach[2] - static_cast<double>(kGrabDamping) * v.z};
    const double size = std::sqrt(pull[0] * pull[0] + pull[1] * pull[1] + pull[2] * pull[2]);
    const double bound = kMaxGrabAcceleration * share;
    const double scale = p->mass * (size > bound ? bound / size : 1.0);
    p->addForce(Vec3{static_cast<float>(pull[0] * scale), static_cast<float>(pull[1] * scale),
                     static_cast<float>(pull[2] * scale)});
}
