#include "interaction/mouse.h"

#include <cmath>
#include <cstdint>

#include "sim/constants.h"
#include "sim/world.h"

namespace {

constexpr int kLeftPushSteps = 100;
constexpr int kRightPushSteps = 200;

// Pixel differences in 64 bits: positions far outside the window cannot overflow.
std::int64_t dragRight(int x) { return static_cast<std::int64_t>(x) - pressX; }
std::int64_t dragUp(int y) { return static_cast<std::int64_t>(pressY) - y; }

void releaseLeft(int x, int y) {
    // A drag with no step between press and release has no duration, and one across a
    // restart a negative one: both count as the shortest drag the window can time, so the
    // push is finite and follows the drag.
    float elapsed = simTime - pressTime;
    if (!(elapsed > 0.0f)) elapsed = kShortestTimedDrag;
    const double scale = static_cast<double>(kPushScale) / static_cast<double>(elapsed);

    pushForce.x = 0.0f;
    pushForce.y = static_cast<float>(scale * static_cast<double>(dragRight(x)));
    if (pushPlaneYZ) {
        pushStepsLeft = kLeftPushSteps;
        pushForce.z = static_cast<float>(scale * static_cast<double>(dragUp(y)));
    } else {
        pushStepsLeft = kLeftPushSteps;
        pushForce.x = static_cast<float>(-(scale * static_cast<double>(dragUp(y))));
        pushForce.z = 0.0f;
    }
}

void releaseRight(int x, int y) {
    pushForce.x = 0.0f;
    pushStepsLeft = kRightPushSteps;
    pushForce.y = kPushScale * static_cast<float>(dragRight(x));
    pushForce.z = kPushScale * static_cast<float>(dragUp(y));
}

// Shortens pushForce to kMaxPushPerPoint, keeping its direction; shorter pushes keep their bits.
void limitPush() {
    const double x = pushForce.x, y = pushForce.y, z = pushForce.z;
    const double m = std::sqrt(x * x + y * y + z * z);
    if (!(m > kMaxPushPerPoint)) return;
    const double shrink = kMaxPushPerPoint / m;
    pushForce = Vec3{static_cast<float>(x * shrink), static_cast<float>(y * shrink), static_cast<float>(z * shrink)};
}

}  // namespace

void onMouse(int button, int state, int x, int y) {
    if (button == kLeftButton && state == kButtonDown) {
        pressX = x;
        pressY = y;
        pressTime = simTime;
    } else if (button == kLeftButton && state == kButtonUp) {
        releaseLeft(x, y);
        limitPush();
    } else if (button == kRightButton && state == kButtonDown) {
        pressX = x;
        pressY = y;
    } else if (button == kRightButton && state == kButtonUp) {
        releaseRight(x, y);
        limitPush();
    }
}
