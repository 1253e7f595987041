#pragma once

// Vector lanes for the step's passes. A lane carries one spring, one element or one vector
// component through the force laws (model/force_laws.h), whose operations are correctly rounded
// in every lane, so each lane ends with the bits of the one-at-a-time code. Lanes that carry
// nothing hold harmless values (no division by zero), so floating-point traps fire only where
// the one-at-a-time code would trap too.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/mass_point.h"
#include "model/spring.h"

// A pass marked with this is compiled twice, for processors with AVX2 and for all others, and
// the first call picks the one that fits. Both give the same bits: AVX2 only widens registers
// and adds three-operand forms of the same operations (no fused multiply-add). The lanes are
// eight floats, which AVX2 holds; a build for AVX-512 gives the same bits too, and measured
// slower (by 3 to 8 per cent on an AMD EPYC). Only g++ makes the clones; other compilers build
// the pass once.
#ifndef TREMBLO_CLONE_TARGETS
#define TREMBLO_CLONE_TARGETS "avx2", "default"
#endif
#if defined(__x86_64__) && !defined(__clang__) && !defined(TREMBLO_NO_CLONES)
#define WIDER_WHERE_AVAILABLE __attribute__((target_clones(TREMBLO_CLONE_TARGETS)))
#else
#define WIDER_WHERE_AVAILABLE
#endif
// Eight-lane vectors pass only between always-inlined functions (a call that passed one from a
// clone for one instruction set to code built for another would garble it).
#define LANE_INLINE __attribute__((always_inline)) inline
#define LANE_INLINE_LAMBDA __attribute__((always_inline))

// Springs or elements side by side in the lanes of a Float8.
constexpr std::size_t kLanes = 8;
// Four floats of one record, one SSE register. Which lanes hold x, y and z, and what the spare
// lane holds, says each load below; a force row's fourth lane is the point's damping.
using Float4 = float __attribute__((vector_size(16)));
using Mask4 = std::int32_t __attribute__((vector_size(16)));
// Eight floats, one AVX register or two SSE ones: in the force laws, one float of each of
// kLanes springs or elements.
using Float8 = float __attribute__((vector_size(32)));
using Mask8 = std::int32_t __attribute__((vector_size(32)));
using Double4 = double __attribute__((vector_size(32)));
static_assert(sizeof(Float8) == kLanes * sizeof(float));

// Flips the sign of x, y and z; the fourth lane stays.
LANE_INLINE Float4 negateXyz(Float4 row) {
    const Mask4 signs{INT32_MIN, INT32_MIN, INT32_MIN, 0};
    return reinterpret_cast<Float4>(reinterpret_cast<Mask4>(row) ^ signs);
}
LANE_INLINE Float4 broadcast4(float value) { return Float4{value, value, value, value}; }
LANE_INLINE Float8 broadcast8(float value) { return Float8{value, value, value, value, value, value, value, value}; }

// Sixteen bytes from `at`, four floats of one record.
LANE_INLINE Float4 loadFloat4(const void* at) {
    Float4 four;
    std::memcpy(&four, at, sizeof four);
    return four;
}
// The fields of a point that the lanes read four at a time lie one after another.
static_assert(sizeof(Vec3) == 3 * sizeof(float) && offsetof(Vec3, z) == 2 * sizeof(float));
static_assert(offsetof(MassPoint, position) == offsetof(MassPoint, mass) + sizeof(float) &&
              offsetof(MassPoint, velocity) == offsetof(MassPoint, position) + sizeof(Vec3) &&
              offsetof(MassPoint, force) == offsetof(MassPoint, velocity) + sizeof(Vec3) &&
              offsetof(MassPoint, damping) == offsetof(MassPoint, force) + sizeof(Vec3));
// A point's position x, y, z in lanes 1 to 3, after its mass in lane 0. A difference of two
// such rows differs in lane 0 by a difference of masses, which cannot trap.
LANE_INLINE Float4 loadPositionAt1(const MassPoint& p) { return loadFloat4(&p.mass); }
// A point's velocity x, y, z in lanes 1 to 3, after the position's z in lane 0. It does not read
// the force after it, so it does not wait for a store to the force still pending.
LANE_INLINE Float4 loadVelocityAt1(const MassPoint& p) { return loadFloat4(&p.position.z); }
// A spring's tear force, stiffness and rest length in lanes 0 to 2.
LANE_INLINE Float4 loadSpringFields(const Spring& spring) {
    static_assert(offsetof(Spring, stiffness) == offsetof(Spring, tearForce) + 4 &&
                  offsetof(Spring, restLength) == offsetof(Spring, tearForce) + 8 &&
                  offsetof(Spring, tearForce) + sizeof(Float4) <= sizeof(Spring));
    return loadFloat4(&spring.tearForce);
}
// A point's force x, y, z and, in the fourth lane, the damping that follows it in the record.
// Rows added to it carry -0.0 in the fourth lane, and damping + -0.0 is damping, bit for bit,
// so storing the row back leaves the damping as it was.
LANE_INLINE char* forceRowOf(MassPoint& p) { return reinterpret_cast<char*>(&p) + offsetof(MassPoint, force); }
LANE_INLINE Float4 loadForceRow(MassPoint& p) { return loadFloat4(forceRowOf(p)); }
LANE_INLINE void storeForceRow(MassPoint& p, Float4 row) { std::memcpy(forceRowOf(p), &row, sizeof row); }
// Adds a row to p's force row: x, y, z to the force and the fourth lane, -0.0, to the damping.
LANE_INLINE void addToForce(MassPoint& p, Float4 row) { storeForceRow(p, loadForceRow(p) + row); }

// Adds rows to the forces of points, keeping one point's force in a register while consecutive
// additions go to it (a cube's springs come in runs that share their first corner), so that
// they do not wait for each other's stores. Each force still receives its additions in the
// same order, so it ends with the same bits. Forces are complete only after flush().
class HeldForce {
public:
    // Adds a row to p's force, which is held from now on.
    LANE_INLINE void addHeld(MassPoint& p, Float4 row) {
        if (&p != held_) {
            flush();
            held_ = &p;
            value_ = loadForceRow(p);
        }
        value_ = value_ + row;
    }
    // Adds a row to p's force: in the register if it is held, else in memory.
    LANE_INLINE void add(MassPoint& p, Float4 row) {
        if (&p == held_) value_ = value_ + row;
        else addToForce(p, row);
    }
    LANE_INLINE void flush() {
        if (held_ != nullptr) storeForceRow(*held_, value_);
        held_ = nullptr;
    }

private:
    MassPoint* held_ = nullptr;
    Float4 value_{};
};

LANE_INLINE Float8 join(Float4 low, Float4 high) { return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7); }
LANE_INLINE Float4 lowHalf(Float8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
LANE_INLINE Float4 highHalf(Float8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }
LANE_INLINE bool anyLane(Mask8 mask) {
    std::uint64_t words[4];
    std::memcpy(words, &mask, sizeof words);
    return (words[0] | words[1] | words[2] | words[3]) != 0;
}

// What the force laws need beyond operators, on eight lanes.
struct LaneMath {
    // Square roots of whole registers: g++ makes one of the loop over all eight lanes (math
    // functions set no errno), clang, and so WebAssembly, one of each four-lane half.
    static LANE_INLINE Float8 sqrt(Float8 v) {
#if defined(__clang__)
        auto half = [](Float4 h) { return Float4{__builtin_sqrtf(h[0]), __builtin_sqrtf(h[1]), __builtin_sqrtf(h[2]),
                                               __builtin_sqrtf(h[3])}; };
        return join(half(lowHalf(v)), half(highHalf(v)));
#else
        Float8 r;
        for (int i = 0; i < 8; ++i) r[i] = __builtin_sqrtf(v[i]);
        return r;
#endif
    }
    static LANE_INLINE Float8 scaledInDouble(Float8 v, double factor) {
        return join(__builtin_convertvector(factor * __builtin_convertvector(lowHalf(v), Double4), Float4),
                    __builtin_convertvector(factor * __builtin_convertvector(highHalf(v), Double4), Float4));
    }
    static LANE_INLINE Mask8 lessInDouble(Float8 x, double factor, Float8 y) {
        auto half = [factor](Float4 xHalf, Float4 yHalf) {
            return __builtin_convertvector(
                __builtin_convertvector(xHalf, Double4) < factor * __builtin_convertvector(yHalf, Double4), Mask4);
        };
        return __builtin_shufflevector(half(lowHalf(x), lowHalf(y)), half(highHalf(x), highHalf(y)), 0, 1, 2, 3, 4,
                                       5, 6, 7);
    }
};

// The lanes of eight rows' values in the order of transpose8, lane for lane with the rows'
// x, y and z: the even rows in the low half and the odd rows in the high half. Row j's value is
// row(j), whichever lane holds it.
struct RowLanes {
    Float8 lanes;

    LANE_INLINE float row(std::size_t j) const { return lanes[laneOf(j)]; }
    LANE_INLINE void setRow(std::size_t j, float value) { lanes[laneOf(j)] = value; }

private:
    static constexpr std::size_t laneOf(std::size_t j) { return j % 2 * 4 + j / 2; }
};

// Lanes kFirst, kFirst + 1 and kFirst + 2 of eight rows into lanes of x, y and z. The even
// rows go to the low half and the odd rows to the high half (in RowLanes' order), so that
// untranspose8 gives rows two by two, each pair one 32-byte store.
template <int kFirst = 0>
LANE_INLINE Vec3Of<Float8> transpose8(const Float4 rows[8]) {
    constexpr int x = kFirst, y = kFirst + 1, z = kFirst + 2;
    const Float8 rows01 = join(rows[0], rows[1]), rows23 = join(rows[2], rows[3]);
    const Float8 rows45 = join(rows[4], rows[5]), rows67 = join(rows[6], rows[7]);
    // x0 x2 y0 y2 | x1 x3 y1 y3, then x4 x6 y4 y6 | x5 x7 y5 y7, and the same of z twice
    const Float8 t0 = __builtin_shufflevector(rows01, rows23, x, 8 + x, y, 8 + y, 4 + x, 12 + x, 4 + y, 12 + y);
    const Float8 t1 = __builtin_shufflevector(rows45, rows67, x, 8 + x, y, 8 + y, 4 + x, 12 + x, 4 + y, 12 + y);
    const Float8 t2 = __builtin_shufflevector(rows01, rows23, z, 8 + z, z, 8 + z, 4 + z, 12 + z, 4 + z, 12 + z);
    const Float8 t3 = __builtin_shufflevector(rows45, rows67, z, 8 + z, z, 8 + z, 4 + z, 12 + z, 4 + z, 12 + z);
    return {__builtin_shufflevector(t0, t1, 0, 1, 8, 9, 4, 5, 12, 13),
            __builtin_shufflevector(t0, t1, 2, 3, 10, 11, 6, 7, 14, 15),
            __builtin_shufflevector(t2, t3, 0, 1, 8, 9, 4, 5, 12, 13)};
}

// Lanes of x, y and z, in RowLanes' order, back into eight rows of additions (x, y, z, -0.0).
LANE_INLINE void untranspose8(const Vec3Of<Float8>& xyz, Float4 rows[8]) {
    const Float8 fill = broadcast8(-0.0f);
    const Float8 t0 = __builtin_shufflevector(xyz.x, xyz.y, 0, 8, 1, 9, 4, 12, 5, 13);     // x0 y0 x2 y2 | x1 y1 x3 y3
    const Float8 t1 = __builtin_shufflevector(xyz.x, xyz.y, 2, 10, 3, 11, 6, 14, 7, 15);   // x4 y4 x6 y6 | x5 y5 x7 y7
    const Float8 t2 = __builtin_shufflevector(xyz.z, fill, 0, 8, 1, 9, 4, 12, 5, 13);      // z0 - z2 - | z1 - z3 -
    const Float8 t3 = __builtin_shufflevector(xyz.z, fill, 2, 10, 3, 11, 6, 14, 7, 15);    // z4 - z6 - | z5 - z7 -
    auto store = [rows](int first, Float8 pair) LANE_INLINE_LAMBDA { std::memcpy(rows + first, &pair, sizeof pair); };
    store(0, __builtin_shufflevector(t0, t2, 0, 1, 8, 9, 4, 5, 12, 13));  // rows 0 and 1
    store(2, __builtin_shufflevector(t0, t2, 2, 3, 10, 11, 6, 7, 14, 15));
    store(4, __builtin_shufflevector(t1, t3, 0, 1, 8, 9, 4, 5, 12, 13));
    store(6, __builtin_shufflevector(t1, t3, 2, 3, 10, 11, 6, 7, 14, 15));
}
