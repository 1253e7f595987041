#pragma once

// The force laws, each written once over a component type F: a float for one spring or element
// at a time, a vector of floats for several side by side. Each lane goes through the very
// operations of the float code in the same order, and IEEE operations are correctly rounded in
// every lane, so both give the same bits. Math supplies what operators cannot: a square root,
// and comparisons carried out in double (FloatMath below; the step has one for its lanes).

#include <cmath>

#include "model/vec3.h"

struct FloatMath {
    static float sqrt(float v) { return std::sqrt(v); }
    // float(factor * double(v))
    static float scaledInDouble(float v, double factor) { return static_cast<float>(factor * static_cast<double>(v)); }
    // double(x) < factor * double(y), as 0 or 1 to combine with | as lane masks combine
    static int lessInDouble(float x, double factor, float y) {
        return static_cast<double>(x) < factor * static_cast<double>(y);
    }
};

template <class Math, class F>
ALWAYS_INLINE F lengthOf(const Vec3Of<F>& v) {
    return Math::sqrt(dot(v, v));
}

// Elastic force on b (a gets the opposite) for d = a.position - b.position, L = |d| > 0:
// (L - restLength) * stiffness along d / L.
template <class F>
ALWAYS_INLINE Vec3Of<F> elasticForce(const Vec3Of<F>& d, F L, F restLength, F stiffness) {
    const F f = (L - restLength) * stiffness;
    return {f * d.x / L, f * d.y / L, f * d.z / L};
}

// A spring tears when its elastic force is strictly greater than its tear force.
template <class Math, class F>
ALWAYS_INLINE auto tears(const Vec3Of<F>& elastic, F tearForce) {
    return lengthOf<Math>(elastic) > tearForce;
}

// A spring yields when L is below 0.5 or above 1.5 times its rest length (both strict); the
// bounds are formed in double, the upper one rounded to float before L is compared with it.
template <class Math, class F>
ALWAYS_INLINE auto overstrained(F L, F restLength) {
    return Math::lessInDouble(L, 0.5, restLength) | (L > Math::scaledInDouble(restLength, 1.5));
}

// Damping force on a (b gets the opposite) for w = a.velocity - b.velocity: -coefficient (w . d) / L
// along d / L, coefficient in force per unit of length change per second.
template <class F>
ALWAYS_INLINE Vec3Of<F> dampingForce(const Vec3Of<F>& d, const Vec3Of<F>& w, F L, F coefficient) {
    const F rate = -coefficient * dot(w, d) / L;
    return {rate * d.x / L, rate * d.y / L, rate * d.z / L};
}

// Volume force on c0 (c1 gets the opposite) of an element with u = c1 - c0, v = c2 - c0,
// w = c3 - c0 and stiffness K (force per unit^3 of volume change): with n = v x w and
// D = (u . n) / 6 - restVolume, K D n / 6. For a float dividend the float quotient by 6 is the
// double quotient rounded to float, so dividing in float keeps the double-precision result.
template <class F>
ALWAYS_INLINE Vec3Of<F> volumeForce(const Vec3Of<F>& u, const Vec3Of<F>& v, const Vec3Of<F>& w, F restVolume, F K) {
    const Vec3Of<F> n = cross(v, w);
    const F KD = K * (dot(u, n) / 6.0f - restVolume);
    return {KD * n.x / 6.0f, KD * n.y / 6.0f, KD * n.z / 6.0f};
}

// Semi-implicit Euler: one velocity component after dt, ((f - v*damping) / mass) * dt + v.
template <class F>
ALWAYS_INLINE F updatedVelocity(F v, F f, F damping, F mass, F dt) {
    return ((f - v * damping) / mass) * dt + v;
}
