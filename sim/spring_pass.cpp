// The springs' passes: eight springs at a time, their elastic and damping forces are computed
// side by side in lanes by the force laws that Spring::applyForce uses one spring at a time.
//
// What is exact: every lane goes through the float operations of the one-at-a-time code, and
// each point's force receives its additions in list order, so the walk in lanes gives the bits
// of the walk one spring at a time. A group of eight in which a spring tears, yields or has no
// length goes one spring at a time through Spring::addElasticForce itself, and after a yield so
// does the rest of its block (the yield changed rest lengths that the lanes had read).
//
// Where ends outside the chain (anchors) are cleared: just before the group that holds their
// first listed spring adds its forces, so that a point made an end by hand is cleared too.
// Additions to one point are held in a register while they run on (HeldForce); the held force
// is flushed before a clearing and before a spring goes one at a time, so that no store of it
// comes after a write to the same force in memory.
//
// When damping walks the list again: the walk measures each spring's damping force into the
// step's scratch (nothing for a spring that tore: it has left the list), and addMeasuredDamping
// adds them after gravity and push. A walk that does not reach the end in blocks (links changed
// by hand, or a list longer than the order) goes on along the links one spring at a time and
// measures nothing; applySpringDamping then walks the list as it stands.

#include "sim/spring_pass.h"

#include <algorithm>
#include <functional>

#include "model/force_laws.h"
#include "model/spring.h"
#include "sim/lanes.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

static_assert(kBlock == 2 * kLanes, "a block is two groups of eight");

// Rows of a spring's damping force that add nothing: x + -0.0 is x, bit for bit.
constexpr Float4 kNoForce{-0.0f, -0.0f, -0.0f, -0.0f};

// A group's springs one at a time through Spring::addElasticForce; of the damping forces
// measured in lanes, those of a spring that tears or has no length become nothing. Returns
// whether one yielded, which changes rest lengths. A spring that tears leaves the list and is
// damped no more; the cells after it keep their links, so the walk in blocks goes on.
// Out of the walk's code: it is rare, and inlined it took registers from the common group's
// code (about one instruction more per spring-step at 's'). The lanes come by reference, which
// code built for any instruction set reads alike.
template <bool kBreakable, bool kPlastic>
[[gnu::cold]] bool oneAtATime(Spring* const* springs, std::size_t count, const RowLanes& lengths, Float4 damping[]) {
    bool yielded = false;
    for (std::size_t j = 0; j < count; ++j) {
        const ElasticOutcome outcome = springs[j]->addElasticForce(kBreakable, kPlastic);
        if (outcome.tears) springList = springList->remove(springs[j]);
        yielded |= outcome.yielded;
        // No direction, or no spring any more: no damping.
        if (outcome.tears || lengths.row(j) == 0.0f) damping[j] = kNoForce;
    }
    return yielded;
}

// The springs' walk in lanes, and the ends outside the chain that it has cleared.
class SpringWalk {
public:
    LANE_INLINE SpringWalk(const StepOrder& o, StepScratch& scratch, float coefficient)
        : o_(o), damping_(scratch.damping.data()), ends_(scratch.ends.data()), coefficient_(coefficient),
          fixedEnd_(o.fixedEnds.data()), fixedEndsEnd_(fixedEnd_ + o.fixedEnds.size()) {}

    // The block of springs from list position `first`.
    template <bool kBreakable, bool kPlastic>
    LANE_INLINE void block(std::size_t first, std::size_t count) {
        Spring* springs[kBlock];
        for (std::size_t j = 0; j < kBlock; ++j) springs[j] = o_.cells[first + j]->spring;
        // Big scenes' springs come from memory: fetch ahead those kBlocksAhead blocks on.
        const std::size_t ahead = first + kBlocksAhead * kBlock;
        for (std::size_t j = 0; j < kBlock; ++j) __builtin_prefetch(o_.cells[ahead + j]->spring);
        Float4 elastic[kBlock];
        RowLanes lengths[2];
        bool special[2];
        const std::size_t groups = count > kLanes ? 2 : 1;
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t from = g * kLanes;
            special[g] = group<kBreakable, kPlastic>(springs + from, first + from, lengths[g], elastic + from);
        }
        // A yield changes rest lengths that the lanes of the rest of the block may have read.
        bool restChanged = false;
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t from = g * kLanes, n = std::min(count - from, kLanes);
            clearFixedEndsBefore(first + from + n);
            if (!special[g] && !restChanged) {
                groupForces(springs + from, elastic + from, n);
            } else {
                held_.flush();
                restChanged |= oneAtATime<kBreakable, kPlastic>(springs + from, n, lengths[g], damping_ + first + from);
            }
        }
    }

    // Stores the force held in a register; returns up to where the ends outside the chain
    // (in order of first listing) are cleared.
    LANE_INLINE const FixedEnd* finish() { held_.flush(); return fixedEnd_; }

private:
    // The elastic forces (on b) of the eight springs from list position `first`, and their damping
    // forces (on a) and ends into the scratch, each force as a row; returns whether a spring tears,
    // yields or has no length, and their lengths.
    template <bool kBreakable, bool kPlastic>
    LANE_INLINE bool group(Spring* const* springs, std::size_t first, RowLanes& lengths, Float4 elastic[]) {
        Float4 dRows[kLanes], wRows[kLanes], fieldRows[kLanes];
        for (std::size_t j = 0; j < kLanes; ++j) {
            const Spring& spring = *springs[j];
            ends_[first + j] = SpringEnds{spring.a, spring.b};
            dRows[j] = loadPositionAt1(*spring.a) - loadPositionAt1(*spring.b);
            wRows[j] = loadVelocityAt1(*spring.a) - loadVelocityAt1(*spring.b);
            fieldRows[j] = loadSpringFields(spring);
        }
        // In the force laws' names, one spring to a lane.
        const Vec3Of<Float8> fields = transpose8(fieldRows);
        const Float8 &tearForce = fields.x, &stiffness = fields.y, &restLength = fields.z;
        const Vec3Of<Float8> d = transpose8<1>(dRows), w = transpose8<1>(wRows);
        const Float8 L = lengthOf<LaneMath>(d);
        lengths.lanes = L;
        // A spring of length zero goes one at a time; its lanes divide by one instead.
        const Mask8 zero = L == 0.0f;
        const Float8 divisor = zero ? broadcast8(1.0f) : L;
        const Vec3Of<Float8> force = elasticForce(d, divisor, restLength, stiffness);
        untranspose8(force, elastic);
        untranspose8(dampingForce(d, w, divisor, broadcast8(coefficient_)), damping_ + first);
        Mask8 special = zero;
        if (kPlastic) special |= overstrained<LaneMath>(L, restLength);
        if (kBreakable) special |= tears<LaneMath>(force, tearForce);
        return anyLane(special);
    }

    LANE_INLINE void groupForces(Spring* const* springs, const Float4* elastic, std::size_t count) {
        for (std::size_t j = 0; j < count; ++j) {
            held_.add(*springs[j]->b, elastic[j]);
            held_.addHeld(*springs[j]->a, negateXyz(elastic[j]));
        }
    }
    LANE_INLINE void clearFixedEndsBefore(std::size_t listPosition) {
        for (; fixedEnd_ != fixedEndsEnd_ && fixedEnd_->firstListed < listPosition; ++fixedEnd_) {
            held_.flush();
            fixedEnd_->point->force = Vec3{};
        }
    }

    const StepOrder& o_;
    Float4* damping_;
    SpringEnds* ends_;
    float coefficient_;
    const FixedEnd *fixedEnd_, *fixedEndsEnd_;
    HeldForce held_;
};

// Where the walk in blocks stopped: goOn is null when it reached the end of the list, else the
// cell from which the walk goes on along the links; the ends outside the chain are cleared up
// to `cleared`.
struct BlocksWalked {
    SpringListNode* goOn;
    const FixedEnd* cleared;
};

// The walk in blocks, measuring damping forces with `coefficient` and their springs' ends into
// the scratch.
template <bool kBreakable, bool kPlastic>
LANE_INLINE BlocksWalked inBlocks(const StepOrder& o, StepScratch& scratch, float coefficient) {
    SpringWalk walk(o, scratch, coefficient);
    SpringListNode* goOn = walkInBlocks(o.cells.data(), o.cellCount, springList,
                                        [&](std::size_t first, std::size_t count) LANE_INLINE_LAMBDA {
                                            walk.block<kBreakable, kPlastic>(first, count);
                                        });
    return BlocksWalked{goOn, walk.finish()};
}

WIDER_WHERE_AVAILABLE BlocksWalked springsInBlocks(const StepOrder& o, StepScratch& scratch, float coefficient) {
    if (breakableOn && plasticOn) return inBlocks<true, true>(o, scratch, coefficient);
    if (breakableOn) return inBlocks<true, false>(o, scratch, coefficient);
    if (plasticOn) return inBlocks<false, true>(o, scratch, coefficient);
    return inBlocks<false, false>(o, scratch, coefficient);
}

// The rest of the walk along the links from `cell`, one spring at a time. Each end outside the
// chain is cleared before its first force, unless the walk in blocks has cleared it.
void springsAlongLinks(const StepOrder& o, SpringListNode* cell, const FixedEnd* clearedEnd) {
    std::vector<MassPoint*>& cleared = stepScratch().clearedOnTheWay;
    cleared.clear();
    for (const FixedEnd* e = o.fixedEnds.data(); e != clearedEnd; ++e) cleared.push_back(e->point);
    for (; cell->next != nullptr; cell = cell->next) {
        for (MassPoint* end : {cell->spring->a, cell->spring->b}) {
            if (!std::binary_search(o.sortedMoving.begin(), o.sortedMoving.end(), end, std::less<>()) &&
                std::find(cleared.begin(), cleared.end(), end) == cleared.end()) {
                end->force = Vec3{};
                cleared.push_back(end);
            }
        }
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
}

}  // namespace

MeasuredDamping applySpringForcesMeasuringDamping(float dampingCoefficient) {
    // Clearing: every moving point, so that a point whose springs have all torn does not keep its
    // force and gather gravity and push again each step. The other ends of listed springs are
    // cleared on the walk, before their first force.
    forEachMovingPoint([](MassPoint& p) LANE_INLINE_LAMBDA { p.force = Vec3{}; });
    const StepOrder& o = sceneOrder();
    const BlocksWalked walked = springsInBlocks(o, stepScratch(), dampingCoefficient);
    const bool everySpring = walked.goOn == nullptr;
    if (!everySpring) springsAlongLinks(o, walked.goOn, walked.cleared);
    return MeasuredDamping{everySpring ? o.cellCount : 0, everySpring};
}

void applySpringForces() { applySpringForcesMeasuringDamping(0.0f); }

void addMeasuredDamping(const MeasuredDamping& measured) {
    const std::size_t count = measured.springs;
    const Float4* damping = stepScratch().damping.data();
    const SpringEnds* ends = stepScratch().ends.data();
    HeldForce held;
    auto add = [&](std::size_t position) LANE_INLINE_LAMBDA {
        held.addHeld(*ends[position].a, damping[position]);
        held.add(*ends[position].b, negateXyz(damping[position]));
    };
    std::size_t k = 0;
    for (; k + kLanes <= count; k += kLanes) {
#pragma GCC unroll 8
        for (std::size_t j = 0; j < kLanes; ++j) add(k + j);
    }
    for (; k < count; ++k) add(k);
    held.flush();
}

void applySpringDamping(float coefficient) {
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
