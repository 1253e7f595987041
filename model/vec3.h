#pragma once

// A 3-vector of 32-bit floats: positions (scene units, z up), velocities (units/s) and
// forces (mass units x units/s^2). Every operation rounds to float after each step, so
// results do not depend on how the compiler schedules them (built with -ffp-contract=off).
struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vec3 operator-(const Vec3& a, const Vec3& b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }

inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline Vec3 cross(const Vec3& v, const Vec3& w) {
    return Vec3{v.y * w.z - v.z * w.y, v.z * w.x - v.x * w.z, v.x * w.y - v.y * w.x};
}

// Length in float: sqrt((x*x + y*y) + z*z), the one length formula of the whole model.
float length(const Vec3& v);

// Signed volume of the tetrahedron (p0, p1, p2, p3): ((p1-p0) . ((p2-p0) x (p3-p0))) / 6.
// The dot product is a float; the division by 6 is carried out in double.
float signedVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3);
