#include "model/vec3.h"

#include <cmath>

float length(const Vec3& v) { return std::sqrt(dot(v, v)); }

float signedVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3) {
    return static_cast<float>(dot(p1 - p0, cross(p2 - p0, p3 - p0)) / 6.0);
}
