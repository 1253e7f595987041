// The springs' pass over the tables: eight springs at a time, their elastic and damping forces
// are computed side by side in lanes, each lane with the very operations of the one-at-a-time
// formulas (Spring::applyForce, applySpringDamping). Neither force reads a force accumulator and
// no force pass moves a point, so both are measured in one walk: the elastic forces are added
// at once, in list order, and the damping forces are kept until gravity and push are in.
// A group in which a spring tears, yields or has no length goes one spring at a time.

// Eight-lane vectors pass only between always-inlined functions, so the note that their calling
// convention differs with and without AVX does not apply (a call that passed one from a clone
// for one instruction set to code built for another would garble it).
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>
#include <cstring>

#include "model/lanes.h"
#include "model/spring.h"
#include "model/step_tables.h"
#include "sim/held_row.h"
#include "sim/step_tables.h"
#include "sim/table_passes.h"
#include "sim/world.h"

namespace {

constexpr int kLanes = 8;

// The forces of eight springs, and whether any of them tears, yields or has no length.
struct GroupForces {
    Lanes8 dx, dy, dz, L, magnitude;
    Lanes elastic[kLanes];  // on b; a gets the opposite
    Lanes damping[kLanes];  // on a; b gets the opposite
    bool special;
};

// d = a.position - b.position and w = a.velocity - b.velocity of eight springs, as rows.
// The group's stiffness, rest length and tear force.
struct GroupFields {
    Lanes8 stiffness, restLength, tearForce;
};

template <bool kBreakable, bool kPlastic>
__attribute__((always_inline)) inline void computeGroup(const Lanes d[kLanes], const Lanes w[kLanes],
                                                        const GroupFields& fields, float coefficient, GroupForces& q) {
    // L = |d|; a zero length divides by one instead, and its results are not used.
    transpose8(d, q.dx, q.dy, q.dz);
    q.L = sqrtLanes(q.dx * q.dx + q.dy * q.dy + q.dz * q.dz);
    const Lanes8 divisor = select(q.L == 0.0f, broadcast8(1.0f), q.L);

    // Elastic force on b: (L - restLength) * stiffness along d / L.
    const Lanes8& restLength = fields.restLength;
    const Lanes8 f = (q.L - restLength) * fields.stiffness;
    const Lanes8 Fx = f * q.dx / divisor;
    const Lanes8 Fy = f * q.dy / divisor;
    const Lanes8 Fz = f * q.dz / divisor;
    untranspose8(Fx, Fy, Fz, q.elastic);

    // Damping force on a: -c (w . d) / L along d / L.
    Lanes8 wx, wy, wz;
    transpose8(w, wx, wy, wz);
    const Lanes8 rate = broadcast8(-coefficient) * (wx * q.dx + wy * q.dy + wz * q.dz) / divisor;
    untranspose8(rate * q.dx / divisor, rate * q.dy / divisor, rate * q.dz / divisor, q.damping);

    LaneMask8 special = q.L == 0.0f;
    if (kPlastic) {
        special |= join(lessInDouble(lowHalf(q.L), 0.5, lowHalf(restLength)) |
                            (lowHalf(q.L) > scaleInDouble(lowHalf(restLength), 1.5)),
                        lessInDouble(highHalf(q.L), 0.5, highHalf(restLength)) |
                            (highHalf(q.L) > scaleInDouble(highHalf(restLength), 1.5)));
    }
    if (kBreakable) {
        q.magnitude = sqrtLanes(Fx * Fx + Fy * Fy + Fz * Fz);
        special |= q.magnitude > fields.tearForce;
    }
    q.special = anyLane(special);
}

Lanes additionRow(const Vec3& v) { return Lanes{v.x, v.y, v.z, -0.0f}; }

__attribute__((always_inline)) inline Lanes8 load8(const float* first) {
    Lanes8 v;
    std::memcpy(&v, first, sizeof v);
    return v;
}

// Springs are taken sixteen at a time, two groups computed before either is added: the two
// groups' long chains of square roots and divisions are independent, so the processor overlaps
// them.
constexpr int kGroupsPerBlock = 2;

template <bool kBreakable, bool kPlastic>
__attribute__((always_inline)) inline void springsInGroups(StepTables& t, float coefficient) {
    const std::size_t n = t.springs.size();
    const SpringEnds* ends = t.ends.data();
    const PointRow* rows = t.rows.data();
    Lanes* force = t.force.data();
    Lanes* damping = t.damping.data();
    HeldRow held;
    constexpr std::size_t kBlock = kLanes * kGroupsPerBlock;
    for (std::size_t block = 0; block < n; block += kBlock) {
        // The tables run past the last spring with copies of it, so a short last group fills
        // its lanes left over with that spring; a group wholly past the end is not computed.
        const int groups = static_cast<int>(std::min<std::size_t>(kGroupsPerBlock, (n - block + kLanes - 1) / kLanes));
        GroupForces q[kGroupsPerBlock];
        for (int g = 0; g < groups; ++g) {
            const std::size_t first = block + kLanes * static_cast<std::size_t>(g);
            Lanes d[kLanes], w[kLanes];
            for (int j = 0; j < kLanes; ++j) {
                const PointRow& a = rows[ends[first + j].a];
                const PointRow& b = rows[ends[first + j].b];
                d[j] = a.position - b.position;
                w[j] = a.velocity - b.velocity;
            }
            const GroupFields fields{load8(&t.stiffness[first]), load8(&t.restLength[first]), load8(&t.tearForce[first])};
            computeGroup<kBreakable, kPlastic>(d, w, fields, coefficient, q[g]);
        }

        // A yield changes the rest length of the yielding spring and of the edges of its
        // elements, any of which may come later in the block: from then on the block's springs
        // take their rest lengths as they now stand.
        bool restChanged = false;
        for (int g = 0; g < groups; ++g) {
            const std::size_t first = block + kLanes * static_cast<std::size_t>(g);
            const int inGroup = static_cast<int>(std::min<std::size_t>(kLanes, n - first));
            const GroupForces& group = q[g];
            if (inGroup == kLanes && !group.special && !restChanged) {
                for (std::size_t k = first; k < first + kLanes; ++k) {
                    held.add(&force[ends[k].b], group.elastic[k - first]);
                    held.addHeld(&force[ends[k].a], negateXyz(group.elastic[k - first]));
                    damping[k] = group.damping[k - first];
                }
                continue;
            }
            for (int j = 0; j < inGroup; ++j) {
                const std::size_t k = first + static_cast<std::size_t>(j);
                Spring& spring = *t.springs[k];
                const float L = group.L[j];
                if (kPlastic && yieldIfOverstrained(spring, L)) {
                    copyRestStateAfterYield(t, spring);
                    restChanged = true;
                }
                if (L == 0.0f) {  // no direction: no force, no tearing, no damping
                    t.forceless.push_back(static_cast<std::uint32_t>(k));
                    continue;
                }
                Lanes elastic = group.elastic[j];
                float magnitude = kBreakable ? group.magnitude[j] : 0.0f;
                if (restChanged) {
                    const Vec3 F = elasticForce(spring, Vec3{group.dx[j], group.dy[j], group.dz[j]}, L);
                    elastic = additionRow(F);
                    if (kBreakable) magnitude = length(F);
                }
                if (kBreakable && magnitude > spring.tearForce) {
                    springList = springList->remove(&spring);
                    t.forceless.push_back(static_cast<std::uint32_t>(k));
                    continue;
                }
                held.add(&force[ends[k].b], elastic);
                held.addHeld(&force[ends[k].a], negateXyz(elastic));
                damping[k] = group.damping[j];
            }
        }
    }
    held.flush();
}

}  // namespace

WIDER_WHERE_AVAILABLE void addSpringForces(StepTables& t, float dampingCoefficient) {
    t.forceless.clear();
    if (breakableOn) {
        plasticOn ? springsInGroups<true, true>(t, dampingCoefficient) : springsInGroups<true, false>(t, dampingCoefficient);
    } else {
        plasticOn ? springsInGroups<false, true>(t, dampingCoefficient) : springsInGroups<false, false>(t, dampingCoefficient);
    }
}

void addRecordedDamping(StepTables& t) {
    const SpringEnds* ends = t.ends.data();
    const Lanes* damping = t.damping.data();
    Lanes* force = t.force.data();
    HeldRow held;
    // The springs between two forceless ones, run by run.
    std::size_t from = 0;
    const std::size_t runs = t.forceless.size() + 1;
    for (std::size_t r = 0; r < runs; ++r) {
        const std::size_t to = r < t.forceless.size() ? t.forceless[r] : t.springs.size();
        for (std::size_t k = from; k < to; ++k) {
            held.addHeld(&force[ends[k].a], damping[k]);
            held.add(&force[ends[k].b], negateXyz(damping[k]));
        }
        from = to + 1;
    }
    held.flush();
}
