// The springs' passes: eight springs at a time, their elastic and damping forces are computed
// side by side in lanes by the force laws that Spring::applyForce uses one spring at a time.
// A group in which a spring tears, yields or has no length goes one spring at a time through
// Spring::applyForce itself.

#include "sim/spring_pass.h"

#include <algorithm>

#include "model/force_laws.h"
#include "model/spring.h"
#include "sim/lanes.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

constexpr int kLanes = 8;

struct DampingOnTheWalk {
    bool asked = false;
    bool measured = false;
    float coefficient = 0.0f;
} walk;

// The forces of eight springs, and whether any of them tears, yields or has no length.
struct GroupForces {
    Lanes8 L;
    Lanes elastic[kLanes];  // on b; a gets the opposite
    Lanes damping[kLanes];  // on a; b gets the opposite
    bool special;
};

template <bool kBreakable, bool kPlastic>
LANE_INLINE void computeGroup(Spring* const s[kLanes], float coefficient, GroupForces& q) {
    Lanes d[kLanes], w[kLanes];
    Lanes8 restLength, stiffness, tearForce;
    for (int j = 0; j < kLanes; ++j) {
        const MassPoint& a = *s[j]->a;
        const MassPoint& b = *s[j]->b;
        d[j] = loadPosition(a) - loadPosition(b);
        w[j] = loadVelocity(a) - loadVelocity(b);
        restLength[j] = s[j]->restLength;
        stiffness[j] = s[j]->stiffness;
        tearForce[j] = s[j]->tearForce;
    }
    const Vec3Of<Lanes8> dv = transpose8(d);
    q.L = lengthOf<LaneMath>(dv);
    // A spring of length zero is handled one at a time; its lanes divide by one instead.
    const LaneMask8 zero = q.L == 0.0f;
    const Lanes8 L = zero ? broadcast8(1.0f) : q.L;
    const Vec3Of<Lanes8> elastic = elasticForce(dv, L, restLength, stiffness);
    untranspose8(elastic, q.elastic);
    untranspose8(dampingForce(dv, transpose8(w), L, broadcast8(coefficient)), q.damping);
    LaneMask8 special = zero;
    if (kPlastic) special |= overstrained<LaneMath>(q.L, restLength);
    if (kBreakable) special |= tears<LaneMath>(elastic, tearForce);
    q.special = anyLane(special);
}

LANE_INLINE void keep(MeasuredDamping& m, MassPoint* a, MassPoint* b, Lanes force) {
    m.a = a;
    m.b = b;
    std::memcpy(m.force, &force, sizeof force);
}

// Springs are taken sixteen at a time, two groups computed before either is added: the two
// groups' long chains of square roots and divisions are independent, so the processor overlaps
// them. Returns the list position of a spring that tore, or the number of springs.
template <bool kBreakable, bool kPlastic>
LANE_INLINE std::size_t springsInGroups(StepOrder& o, float coefficient) {
    const std::size_t n = o.cells.size();
    SpringListNode* const* cells = o.cells.data();
    MeasuredDamping* damping = o.damping.data();
    constexpr std::size_t kBlock = 2 * kLanes;
    for (std::size_t block = 0; block < n; block += kBlock) {
        // A short last group fills its lanes left over with the last spring.
        const int groups = static_cast<int>(std::min<std::size_t>(2, (n - block + kLanes - 1) / kLanes));
        GroupForces q[2];
        for (int g = 0; g < groups; ++g) {
            Spring* s[kLanes];
            for (int j = 0; j < kLanes; ++j) s[j] = cells[std::min(block + kLanes * g + j, n - 1)]->spring;
            computeGroup<kBreakable, kPlastic>(s, coefficient, q[g]);
        }
        // A yield changes the rest lengths of the yielding spring and of the edges of its
        // elements, any of which may come later in the block: from then on the block's springs
        // go one at a time, with their rest lengths as they now stand.
        bool restChanged = false;
        for (int g = 0; g < groups; ++g) {
            const std::size_t first = block + kLanes * static_cast<std::size_t>(g);
            const std::size_t inGroup = std::min<std::size_t>(kLanes, n - first);
            const GroupForces& group = q[g];
            const bool oneAtATime = group.special || restChanged;
            for (std::size_t j = 0; j < inGroup; ++j) {
                const std::size_t k = first + j;
                Spring& spring = *cells[k]->spring;
                if (oneAtATime) {
                    const float L = group.L[j];
                    restChanged |= kPlastic && overstrained<FloatMath>(L, spring.restLength);
                    const std::uint64_t edits = linkEdits;
                    springList = spring.applyForce(springList, kBreakable, kPlastic);
                    if (linkEdits != edits) return k;  // it tore
                    if (L == 0.0f) {
                        damping[k].a = nullptr;  // no direction: no damping either
                        continue;
                    }
                } else {
                    addToForce(*spring.b, group.elastic[j]);
                    addToForce(*spring.a, negateXyz(group.elastic[j]));
                }
                keep(damping[k], spring.a, spring.b, group.damping[j]);
            }
        }
    }
    return n;
}

WIDER_WHERE_AVAILABLE std::size_t elasticForces(StepOrder& o, float coefficient) {
    if (breakableOn) {
        return plasticOn ? springsInGroups<true, true>(o, coefficient) : springsInGroups<true, false>(o, coefficient);
    }
    return plasticOn ? springsInGroups<false, true>(o, coefficient) : springsInGroups<false, false>(o, coefficient);
}

}  // namespace

void measureDampingOnNextSpringWalk(float coefficient) {
    walk.asked = true;
    walk.coefficient = coefficient;
}

void applySpringForces() {
    // Clearing: every moving point, so that a point whose springs have all torn does not keep its
    // force and gather gravity and push again each step; then the other ends of listed springs.
    forEachMovingPoint([](MassPoint& p) { p.force = Vec3{}; });
    StepOrder* o = &sceneOrder();
    if (!listLinksHold(*o)) {
        readOrderAgain();
        o = &sceneOrder();
    }
    for (MassPoint* p : o->fixedEnds) p->force = Vec3{};

    const bool measure = walk.asked;
    walk.asked = false;
    const std::size_t n = o->cells.size();
    const std::size_t torn = elasticForces(*o, walk.coefficient);
    walk.measured = measure && torn == n;
    if (torn == n) return;
    // A spring tore: the rest of the walk follows the links from its cell, which keeps its `next`,
    // as a spring that tears unlinks every cell that holds it.
    for (SpringListNode* cell = o->cells[torn]->next; cell->next != nullptr; cell = cell->next) {
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
}

void applySpringDamping(float coefficient) {
    if (walk.measured && coefficient == walk.coefficient) {
        walk.measured = false;
        const StepOrder& o = sceneOrder();
        for (const MeasuredDamping& m : o.damping) {
            if (m.a == nullptr) continue;
            Lanes force;
            std::memcpy(&force, m.force, sizeof force);
            addToForce(*m.a, force);
            addToForce(*m.b, negateXyz(force));
        }
        return;
    }
    walk.measured = false;
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        Spring& s = *cell->spring;
        const Vec3 d = s.a->position - s.b->position;
        const float L = length(d);
        if (L == 0.0f) continue;  // no direction to damp along
        const Vec3 F = dampingForce(d, s.a->velocity - s.b->velocity, L, coefficient);
        s.a->addForce(F);
        s.b->addForce(-F);
    }
}
