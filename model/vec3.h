#pragma once

// A 3-vector: positions (scene units, z up), velocities (units/s) and forces (mass units x
// units/s^2) are Vec3, three 32-bit floats. The force laws are written once over the component
// type F, so the step can run them on lanes of several springs or elements side by side.
// Every operation rounds after each step, so results do not depend on how the compiler
// schedules them (built with -ffp-contract=off).
// The templates below are always inlined: the step's lanes go through them, and vectors of eight
// floats must not cross a call between code built for different instruction sets.
#define ALWAYS_INLINE [[gnu::always_inline]] inline

template <class F>
struct Vec3Of {
    F x{};
    F y{};
    F z{};
};
using Vec3 = Vec3Of<float>;

template <class F>
ALWAYS_INLINE Vec3Of<F> operator-(const Vec3Of<F>& a, const Vec3Of<F>& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class F>
ALWAYS_INLINE Vec3Of<F> operator-(const Vec3Of<F>& a) {
    return {-a.x, -a.y, -a.z};
}
template <class F>
ALWAYS_INLINE F dot(const Vec3Of<F>& a, const Vec3Of<F>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class F>
ALWAYS_INLINE Vec3Of<F> cross(const Vec3Of<F>& v, const Vec3Of<F>& w) {
    return {v.y * w.z - v.z * w.y, v.z * w.x - v.x * w.z, v.x * w.y - v.y * w.x};
}

// Length in float: sqrt((x*x + y*y) + z*z), the one length formula of the whole model.
float length(const Vec3& v);

// Signed volume of the tetrahedron (p0, p1, p2, p3): ((p1-p0) . ((p2-p0) x (p3-p0))) / 6,
// rounded to float.
float signedVolume(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3);
