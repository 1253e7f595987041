#include "view/camera.h"

#include <cmath>

#include "model/cube.h"
#include "model/mass_point.h"

bool nearTheRoom(const Vec3& p) {
    // The quiet comparison is false for NaN.
    return std::islessequal(std::fabs(p.x), kFarOutsideRoom) && std::islessequal(std::fabs(p.y), kFarOutsideRoom) &&
           std::islessequal(std::fabs(p.z), kFarOutsideRoom);
}

Vec3 CameraTarget::follow(const Cube& lead) {
    const Vec3& p0 = lead.corners[0]->position;
    const Vec3& p1 = lead.corners[1]->position;
    const Vec3& p3 = lead.corners[3]->position;
    const Vec3 target{0.25f * (p0.x + p1.x + p3.x), 0.25f * (p0.y + p1.y + p3.y), 0.25f * (p0.z + p1.z + p3.z)};
    if (nearTheRoom(target)) last_ = target;
    return last_;
}
