// The springs' passes: eight springs at a time, their elastic and damping forces are computed
// side by side in lanes by the force laws that Spring::applyForce uses one spring at a time.
// A group in which a spring tears, yields or has no length goes one spring at a time through
// Spring::applyForce itself.

#include "sim/spring_pass.h"

#include <algorithm>
#include <functional>

#include "model/force_laws.h"
#include "model/spring.h"
#include "sim/lanes.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

constexpr int kLanes = 8;

// The damping coefficient asked for on the next springs' walk, and that of the forces the last
// walk measured; 0 for none.
float dampingToMeasure = 0.0f;
float dampingMeasured = 0.0f;

// The forces of eight springs, and whether any of them tears, yields or has no length.
struct GroupForces {
    Spring* springs[kLanes];
    Lanes8 L;
    Lanes elastic[kLanes];  // on b; a gets the opposite
    Lanes damping[kLanes];  // on a; b gets the opposite
    bool special;
};

template <bool kBreakable, bool kPlastic>
LANE_INLINE void computeGroup(float coefficient, GroupForces& q) {
    static_assert(offsetof(Spring, stiffness) == offsetof(Spring, tearForce) + 4 &&
                  offsetof(Spring, restLength) == offsetof(Spring, tearForce) + 8);
    Spring* const* s = q.springs;
    Lanes d[kLanes], w[kLanes], fields[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        const MassPoint& a = *s[j]->a;
        const MassPoint& b = *s[j]->b;
        d[j] = loadPositionAt1(a) - loadPositionAt1(b);
        w[j] = loadVelocityAt1(a) - loadVelocityAt1(b);
        fields[j] = loadLanes(&s[j]->tearForce);
    }
    const Vec3Of<Lanes8> f = transpose8(fields);
    const Lanes8 &tearForce = f.x, &stiffness = f.y, &restLength = f.z;
    const Vec3Of<Lanes8> dv = transpose8<1>(d);
    q.L = lengthOf<LaneMath>(dv);
    // A spring of length zero is handled one at a time; its lanes divide by one instead.
    const LaneMask8 zero = q.L == 0.0f;
    const Lanes8 L = zero ? broadcast8(1.0f) : q.L;
    const Vec3Of<Lanes8> elastic = elasticForce(dv, L, restLength, stiffness);
    untranspose8(elastic, q.elastic);
    untranspose8(dampingForce(dv, transpose8<1>(w), L, broadcast8(coefficient)), q.damping);
    LaneMask8 special = zero;
    if (kPlastic) special |= overstrained<LaneMath>(q.L, restLength);
    if (kBreakable) special |= tears<LaneMath>(elastic, tearForce);
    q.special = anyLane(special);
}

// Where the walk in groups stopped: null when it reached the end, else the cell from which the
// walk goes on along the links, and how many fixed ends (in order of first listing) it cleared.
struct Stop {
    SpringListNode* cell;
    std::size_t clearedFixedEnds;
};

// Springs are taken sixteen at a time, two groups computed before either is added: the two
// groups' long chains of square roots and divisions are independent, so the processor overlaps
// them. A block is taken only when its cells still follow each other along the links.
template <bool kBreakable, bool kPlastic>
LANE_INLINE Stop springsInGroups(StepOrder& o, float coefficient) {
    const std::size_t n = o.cells.size();
    SpringListNode* const* cells = o.cells.data();
    MeasuredDamping* damping = o.damping.data();
    const FixedEnd* fixedEnd = o.fixedEnds.data();
    const FixedEnd* const fixedEndsEnd = fixedEnd + o.fixedEnds.size();
    SpringListNode* next = springList;
    HeldForce held;
    constexpr std::size_t kBlock = 2 * kLanes;
    for (std::size_t block = 0; block < n; block += kBlock) {
        const std::size_t inBlock = std::min(kBlock, n - block);
        if (!followLinks(cells + block, inBlock, next)) {
            held.flush();
            return Stop{next, static_cast<std::size_t>(fixedEnd - o.fixedEnds.data())};
        }
        next = cells[block + inBlock - 1]->next;
        // A short last group fills its lanes left over with the last spring.
        GroupForces q[2];
        for (std::size_t g = 0; g < inBlock; g += kLanes) {
            for (int j = 0; j < kLanes; ++j) q[g / kLanes].springs[j] = cells[std::min(block + g + j, n - 1)]->spring;
            computeGroup<kBreakable, kPlastic>(coefficient, q[g / kLanes]);
        }
        // A yield changes the rest lengths of the yielding spring and of the edges of its
        // elements, any of which may come later in the block: from then on the block's springs
        // go one at a time, with their rest lengths as they now stand.
        bool restChanged = false;
        for (std::size_t first = block; first < block + inBlock; first += kLanes) {
            const std::size_t inGroup = std::min<std::size_t>(kLanes, n - first);
            const GroupForces& group = q[(first - block) / kLanes];
            const bool oneAtATime = group.special || restChanged;
            if (oneAtATime || (fixedEnd != fixedEndsEnd && fixedEnd->firstListed < first + inGroup)) held.flush();
            for (; fixedEnd != fixedEndsEnd && fixedEnd->firstListed < first + inGroup; ++fixedEnd) {
                fixedEnd->point->force = Vec3{};
            }
            if (!oneAtATime) {
                for (std::size_t j = 0; j < inGroup; ++j) {
                    Spring& spring = *group.springs[j];
                    held.add(*spring.b, group.elastic[j]);
                    held.addHeld(*spring.a, negateXyz(group.elastic[j]));
                    damping[first + j] = MeasuredDamping{spring.a, spring.b, group.damping[j]};
                }
                continue;
            }
            for (std::size_t j = 0; j < inGroup; ++j) {
                Spring& spring = *group.springs[j];
                const float L = group.L[j];
                restChanged |= kPlastic && overstrained<FloatMath>(L, spring.restLength);
                const std::uint64_t edits = linkEdits;
                springList = spring.applyForce(springList, kBreakable, kPlastic);
                if (linkEdits != edits) {  // it tore
                    return Stop{cells[first + j]->next, static_cast<std::size_t>(fixedEnd - o.fixedEnds.data())};
                }
                // No direction, no damping either.
                damping[first + j] = MeasuredDamping{L == 0.0f ? nullptr : spring.a, spring.b, group.damping[j]};
            }
        }
    }
    held.flush();
    // The list may go on past the order's last cell.
    return Stop{next->next != nullptr ? next : nullptr, o.fixedEnds.size()};
}

WIDER_WHERE_AVAILABLE Stop elasticForces(StepOrder& o, float coefficient) {
    if (breakableOn) {
        return plasticOn ? springsInGroups<true, true>(o, coefficient) : springsInGroups<true, false>(o, coefficient);
    }
    return plasticOn ? springsInGroups<false, true>(o, coefficient) : springsInGroups<false, false>(o, coefficient);
}

// The rest of the walk along the links from `cell`, one spring at a time, after a spring tore
// or where the order no longer follows the links. Each end outside the chain is cleared before
// its first force, unless the walk so far has cleared it.
void walkOnAlongLinks(StepOrder& o, SpringListNode* cell, std::size_t clearedFixedEnds) {
    readOrderAgain();
    std::vector<MassPoint*>& cleared = o.clearedOnTheWay;
    cleared.clear();
    for (std::size_t i = 0; i < clearedFixedEnds; ++i) cleared.push_back(o.fixedEnds[i].point);
    for (; cell->next != nullptr; cell = cell->next) {
        for (MassPoint* end : {cell->spring->a, cell->spring->b}) {
            if (std::binary_search(o.sortedMoving.begin(), o.sortedMoving.end(), end, std::less<>()) ||
                std::find(cleared.begin(), cleared.end(), end) != cleared.end()) {
                continue;
            }
            end->force = Vec3{};
            cleared.push_back(end);
        }
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
}

}  // namespace

void measureDampingOnNextSpringWalk(float coefficient) { dampingToMeasure = coefficient; }

void applySpringForces() {
    // Clearing: every moving point, so that a point whose springs have all torn does not keep its
    // force and gather gravity and push again each step. The other ends of listed springs are
    // cleared on the walk, before their first force.
    forEachMovingPoint([](MassPoint& p) { p.force = Vec3{}; });
    StepOrder& o = sceneOrder();

    const Stop stop = elasticForces(o, dampingToMeasure);
    dampingMeasured = stop.cell == nullptr ? dampingToMeasure : 0.0f;
    dampingToMeasure = 0.0f;
    if (stop.cell != nullptr) walkOnAlongLinks(o, stop.cell, stop.clearedFixedEnds);
}

void applySpringDamping(float coefficient) {
    const bool measured = dampingMeasured != 0.0f && coefficient == dampingMeasured;
    dampingMeasured = 0.0f;
    if (measured) {
        HeldForce held;
        for (const MeasuredDamping& m : sceneOrder().damping) {
            if (m.a == nullptr) continue;
            const Lanes force = m.force;
            held.addHeld(*m.a, force);
            held.add(*m.b, negateXyz(force));
        }
        held.flush();
        return;
    }
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
