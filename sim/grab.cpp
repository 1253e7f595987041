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
    if (length > kMaxGrabReach) {
        for (double& r : reach) r *= kMaxGrabReach / length;
    }
    const double pull[3] = {kGrabStiffness * reach[0] - static_cast<double>(kGrabDamping) * v.x,
                            kGrabStiffness * reach[1] - static_cast<double>(kGrabDamping) * v.y,
                            kGrabStiffness * reach[2] - static_cast<double>(kGrabDamping) * v.z};
    const double size = std::sqrt(pull[0] * pull[0] + pull[1] * pull[1] + pull[2] * pull[2]);
    const double scale = p->mass * (size > kMaxGrabAcceleration ? kMaxGrabAcceleration / size : 1.0);
    p->addForce(Vec3{static_cast<float>(pull[0] * scale), static_cast<float>(pull[1] * scale),
                     static_cast<float>(pull[2] * scale)});
}
