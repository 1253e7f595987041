#pragma once

// Four float lanes for the step's batch passes. A lane carries one spring, one element or one
// vector component through exactly the operations, in the same order, that the one-at-a-time
// formulas perform; IEEE addition, multiplication, division and square root are correctly
// rounded in every lane, so the results are the same bits. Lanes that carry nothing hold
// harmless values (no division by zero), so floating-point traps fire only where the
// one-at-a-time code would trap too.

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "model/vec3.h"

// A pass marked with this is compiled three times, for processors with AVX-512, with AVX2 and
// for all others, and the first call picks the one that fits. All give the same bits: the wider
// sets only widen registers and add three-operand forms of the same operations (no fused
// multiply-add).
#ifndef TREMBLO_CLONE_TARGETS
#define TREMBLO_CLONE_TARGETS "avx512f", "avx2", "default"
#endif
#if defined(__x86_64__) && !defined(__clang__) && !defined(TREMBLO_NO_CLONES)
#define WIDER_WHERE_AVAILABLE __attribute__((target_clones(TREMBLO_CLONE_TARGETS)))
#else
#define WIDER_WHERE_AVAILABLE
#endif

using Lanes = float __attribute__((vector_size(16)));
using LaneMask = std::int32_t __attribute__((vector_size(16)));
using FloatPair = float __attribute__((vector_size(8)));
using DoublePair = double __attribute__((vector_size(16)));
using DoublePairMask = std::int64_t __attribute__((vector_size(16)));

inline Lanes sqrtLanes(Lanes v) {
#if defined(__SSE2__)
    return _mm_sqrt_ps(v);
#else
    return Lanes{__builtin_sqrtf(v[0]), __builtin_sqrtf(v[1]), __builtin_sqrtf(v[2]), __builtin_sqrtf(v[3])};
#endif
}

inline Lanes select(LaneMask take, Lanes yes, Lanes no) { return take ? yes : no; }

inline bool anyLane(LaneMask m) {
#if defined(__SSE2__)
    return _mm_movemask_ps(reinterpret_cast<__m128>(m)) != 0;
#else
    return (m[0] | m[1] | m[2] | m[3]) != 0;
#endif
}

// Flips the sign of x, y and z; the fourth lane stays.
inline Lanes negateXyz(Lanes v) {
    const LaneMask signs{INT32_MIN, INT32_MIN, INT32_MIN, 0};
    return reinterpret_cast<Lanes>(reinterpret_cast<LaneMask>(v) ^ signs);
}

inline DoublePair widenLow(Lanes v) { return __builtin_convertvector(FloatPair{v[0], v[1]}, DoublePair); }
inline DoublePair widenHigh(Lanes v) { return __builtin_convertvector(FloatPair{v[2], v[3]}, DoublePair); }
inline Lanes narrow(DoublePair low, DoublePair high) {
    const FloatPair l = __builtin_convertvector(low, FloatPair);
    const FloatPair h = __builtin_convertvector(high, FloatPair);
    return Lanes{l[0], l[1], h[0], h[1]};
}

// float(factor * double(v)) in every lane.
inline Lanes scaleInDouble(Lanes v, double factor) {
    const DoublePair f{factor, factor};
    return narrow(f * widenLow(v), f * widenHigh(v));
}

// double(x) < factor * double(y) in every lane.
inline LaneMask lessInDouble(Lanes x, double factor, Lanes y) {
    const DoublePair f{factor, factor};
    const DoublePairMask low = widenLow(x) < f * widenLow(y);
    const DoublePairMask high = widenHigh(x) < f * widenHigh(y);
    return LaneMask{static_cast<std::int32_t>(low[0]), static_cast<std::int32_t>(low[1]),
                    static_cast<std::int32_t>(high[0]), static_cast<std::int32_t>(high[1])};
}

// x, y, z of a Vec3 that is followed by at least four more bytes of the same object, with
// the fourth lane zero.
inline Lanes loadVec3(const Vec3& v) {
    Lanes four;
    std::memcpy(&four, &v, sizeof four);
    const LaneMask keepXyz{-1, -1, -1, 0};
    return reinterpret_cast<Lanes>(reinterpret_cast<LaneMask>(four) & keepXyz);
}

// x, y, z of a Vec3 that is preceded by at least four bytes of the same object, with the
// fourth lane zero. Unlike loadVec3 it reads nothing after the vector, so it does not wait
// for a store still pending there.
inline Lanes loadVec3After(const Vec3& v) {
    Lanes four;
    std::memcpy(&four, reinterpret_cast<const char*>(&v) - sizeof(float), sizeof four);
    return __builtin_shufflevector(four, Lanes{}, 1, 2, 3, 4);
}

// Eight float lanes: one AVX register, or two SSE ones. The halves are four-lane Lanes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
using Lanes8 = float __attribute__((vector_size(32)));
using LaneMask8 = std::int32_t __attribute__((vector_size(32)));

__attribute__((always_inline)) inline Lanes8 join(Lanes low, Lanes high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
}
__attribute__((always_inline)) inline LaneMask8 join(LaneMask low, LaneMask high) {
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
}
__attribute__((always_inline)) inline Lanes lowHalf(const Lanes8& v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
__attribute__((always_inline)) inline Lanes highHalf(const Lanes8& v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
__attribute__((always_inline)) inline LaneMask lowHalf(const LaneMask8& m) { return __builtin_shufflevector(m, m, 0, 1, 2, 3); }
__attribute__((always_inline)) inline LaneMask highHalf(const LaneMask8& m) { return __builtin_shufflevector(m, m, 4, 5, 6, 7); }

__attribute__((always_inline)) inline Lanes8 sqrtLanes(const Lanes8& v) {
    return join(sqrtLanes(lowHalf(v)), sqrtLanes(highHalf(v)));
}
__attribute__((always_inline)) inline bool anyLane(const LaneMask8& m) { return anyLane(lowHalf(m) | highHalf(m)); }
__attribute__((always_inline)) inline Lanes8 select(const LaneMask8& take, const Lanes8& yes, const Lanes8& no) { return take ? yes : no; }
__attribute__((always_inline)) inline Lanes8 broadcast8(float v) { return Lanes8{v, v, v, v, v, v, v, v}; }

// Eight rows (x, y, z, -) into lanes of x, y and z, rows 0-3 in the low half and 4-7 in the
// high half.
__attribute__((always_inline)) inline void transpose8(const Lanes r[8], Lanes8& x, Lanes8& y, Lanes8& z) {
    const Lanes8 R0 = join(r[0], r[4]), R1 = join(r[1], r[5]), R2 = join(r[2], r[6]), R3 = join(r[3], r[7]);
    const Lanes8 t0 = __builtin_shufflevector(R0, R1, 0, 8, 1, 9, 4, 12, 5, 13);  // x0 x1 y0 y1 | x4 x5 y4 y5
    const Lanes8 t1 = __builtin_shufflevector(R2, R3, 0, 8, 1, 9, 4, 12, 5, 13);  // x2 x3 y2 y3 | x6 x7 y6 y7
    const Lanes8 t2 = __builtin_shufflevector(R0, R1, 2, 10, 2, 10, 6, 14, 6, 14);  // z0 z1 - - | z4 z5 - -
    const Lanes8 t3 = __builtin_shufflevector(R2, R3, 2, 10, 2, 10, 6, 14, 6, 14);  // z2 z3 - - | z6 z7 - -
    x = __builtin_shufflevector(t0, t1, 0, 1, 8, 9, 4, 5, 12, 13);
    y = __builtin_shufflevector(t0, t1, 2, 3, 10, 11, 6, 7, 14, 15);
    z = __builtin_shufflevector(t2, t3, 0, 1, 8, 9, 4, 5, 12, 13);
}

// Lanes of x, y and z back into eight rows of additions (x, y, z, -0.0).
__attribute__((always_inline)) inline void untranspose8(const Lanes8& x, const Lanes8& y, const Lanes8& z, Lanes rows[8]) {
    const Lanes8 fill = broadcast8(-0.0f);
    const Lanes8 t0 = __builtin_shufflevector(x, y, 0, 8, 1, 9, 4, 12, 5, 13);     // x0 y0 x1 y1 | x4 y4 x5 y5
    const Lanes8 t1 = __builtin_shufflevector(x, y, 2, 10, 3, 11, 6, 14, 7, 15);    // x2 y2 x3 y3 | x6 y6 x7 y7
    const Lanes8 t2 = __builtin_shufflevector(z, fill, 0, 8, 1, 9, 4, 12, 5, 13);  // z0 - z1 - | z4 - z5 -
    const Lanes8 t3 = __builtin_shufflevector(z, fill, 2, 10, 3, 11, 6, 14, 7, 15); // z2 - z3 - | z6 - z7 -
    const Lanes8 R0 = __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13), R1 = __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15);
    const Lanes8 R2 = __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13), R3 = __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15);
    rows[0] = lowHalf(R0), rows[4] = highHalf(R0);
    rows[1] = lowHalf(R1), rows[5] = highHalf(R1);
    rows[2] = lowHalf(R2), rows[6] = highHalf(R2);
    rows[3] = lowHalf(R3), rows[7] = highHalf(R3);
}
#pragma GCC diagnostic pop
