#include "model/vec3.h"

#include <cmath>

float length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

float signedVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    const Vec3 n = cross(p2 - p0, p3 - p0);
    return static_cast<float>(dot(p1 - p0, n) / 6.0);
}
