#include "model/spring.h"

// The step's passes hand eight-lane vectors only between inlined functions, so the note that
// their calling convention differs with and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <cmath>
#include <cstddef>
#include <algorithm>
#include <cstring>

#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "sim/world.h"

Spring::Spring(MassPoint* endA, MassPoint* endB, float springStiffness, float springTearForce)
    : Spring(endA, endB, springStiffness, springTearForce, 0.0f) {
    restLength = initialLength;
}

Spring::Spring(MassPoint* endA, MassPoint* endB, float springStiffness, float springTearForce, float rest)
    : a(endA), b(endB), tearForce(springTearForce) {
    a->attachSpring(this);
    b->attachSpring(this);
    stiffness = springStiffness;
    initialLength = currentLength(*this);
    restLength = rest;
}

float currentLength(const Spring& spring) { return length(spring.a->position - spring.b->position); }

namespace {

// Plastic yield of a spring at length L: beyond 0.5 or 1.5 times the rest length (both bounds
// against the rest length on entry; the upper one rounded to float) it takes L as rest length,
// and its elements take their current shape as rest shape. Returns whether it yielded.
bool yieldIfOverstrained(Spring& s, float L) {
    const double lower = 0.5 * static_cast<double>(s.restLength);
    const float upper = static_cast<float>(1.5 * static_cast<double>(s.restLength));
    if (static_cast<double>(L) < lower || L > upper) {
        s.restLength = L;
        s.resetElementEdges();
        s.refreshElementVolumes();
        return true;
    }
    return false;
}

// Elastic force on b (a gets the opposite): (L - restLength) * stiffness along d / L.
Vec3 elasticForce(const Spring& s, const Vec3& d, float L) {
    const float f = (L - s.restLength) * s.stiffness;
    return Vec3{f * d.x / L, f * d.y / L, f * d.z / L};
}

}  // namespace

SpringList Spring::applyForce(SpringList head, bool breakable, bool plastic) {
    const Vec3 d = a->position - b->position;
    const float L = length(d);

    if (plastic) yieldIfOverstrained(*this, L);

    // Coincident ends have no direction: such a spring exerts no force (and cannot tear).
    if (L == 0.0f) return head;
    const Vec3 F = elasticForce(*this, d, L);

    if (breakable && length(F) > tearForce) return head->remove(this);

    b->force.x += F.x;
    b->force.y += F.y;
    b->force.z += F.z;
    a->force.x -= F.x;
    a->force.y -= F.y;
    a->force.z -= F.z;
    return head;
}

void Spring::attachElement(VolumeElement* element) { elements.push_back(element); }

// The step's passes over springList.
//
// One walk measures every spring: eight springs at a time, their elastic and damping forces
// are computed side by side in lanes, each lane with the very operations of the
// one-at-a-time code (applyForce, applyDamping). Neither force reads any force accumulator,
// and no force pass moves a point, so the walk can measure both before anything is added; it
// yields and tears in list order exactly as applyForce does. Its records are then added to
// the points in list order by flat passes (the elastic forces at once, the damping forces after
// gravity and push), so every force accumulator sees the same additions in the same order.
// Eight springs of which one tears, yields or has no length, and the last springs of the list,
// are measured one at a time.
namespace {

// Damping force on a (b gets the opposite): -c (w . d) / L along d / L, w = a.velocity - b.velocity.
Vec3 dampingForce(const Spring& s, const Vec3& d, float L, float coefficient) {
    const Vec3 w = s.a->velocity - s.b->velocity;
    const float rate = -coefficient * dot(w, d) / L;
    return Vec3{rate * d.x / L, rate * d.y / L, rate * d.z / L};
}

void applyDamping(Spring& s, float coefficient) {
    const Vec3 d = s.a->position - s.b->position;
    const float L = length(d);
    if (L == 0.0f) return;  // no direction to damp along
    const Vec3 F = dampingForce(s, d, L, coefficient);
    s.a->force.x += F.x;
    s.a->force.y += F.y;
    s.a->force.z += F.z;
    s.b->force.x -= F.x;
    s.b->force.y -= F.y;
    s.b->force.z -= F.z;
}

Lanes additionRow(const Vec3& v) { return Lanes{v.x, v.y, v.z, -0.0f}; }

// A measured spring: its ends and the x, y, z of its elastic force (on b; a gets the opposite)
// and of its damping force (on a; b gets the opposite). Springs that tore or have no length have
// no record: they add nothing. Forty bytes, so that the passes that write and read all records
// move no more memory than they must.
struct SpringRecord {
    MassPoint* a;
    MassPoint* b;
    float elastic[3];
    float damping[3];
};

// Writes a record from rows of additions. Each row is stored whole (four floats), so the
// damping row spills one float past the record: into the next record, which is written after
// it, or into the storage's spare room after the last one.
inline SpringRecord* writeRecord(SpringRecord* out, MassPoint* a, MassPoint* b, Lanes elastic, Lanes damping) {
    out->a = a;
    out->b = b;
    char* bytes = reinterpret_cast<char*>(out);
    std::memcpy(bytes + offsetof(SpringRecord, elastic), &elastic, sizeof elastic);
    std::memcpy(bytes + offsetof(SpringRecord, damping), &damping, sizeof damping);
    return out + 1;
}

// A row of additions read back from the three floats at `offset` in a record (the fourth lane,
// read from past them, becomes -0.0).
inline Lanes readRow(const SpringRecord* r, std::size_t offset) {
    Lanes four;
    std::memcpy(&four, reinterpret_cast<const char*>(r) + offset, sizeof four);
    return __builtin_shuffle(four, Lanes{-0.0f, -0.0f, -0.0f, -0.0f}, LaneMask{0, 1, 2, 4});
}

static_assert(sizeof(SpringRecord) == SceneStorage::kSpringRecordBytes, "records are sized by the storage");

// The last measurement: records of the springs in list order. A list longer than the storage's
// records (springs not made in this scene, or listed twice) has its records end at `rest`:
// the springs from there on are measured and added one at a time.
struct Measurement {
    SpringRecord* first = nullptr;
    SpringRecord* end = nullptr;
    SpringListNode* rest = nullptr;  // first cell not measured, or null
    std::size_t liveUnrecorded = 0;  // springs before `rest` still listed but without a record
    float dampingCoefficient = 0.0f;
};
Measurement measurement;

// Springs are measured sixteen at a time, in three phases: load each spring's rows, compute
// the forces of eight springs at a time side by side in lanes, write the records. Keeping each
// phase's independent work together lets the processor overlap the long chains of square
// roots and divisions.
constexpr int kBlock = 16;
constexpr int kLanes = 8;

struct SpringBlock {
    Spring* springs[kBlock];
    int count = 0;  // springs taken; the last one is repeated up to a multiple of eight
    int groups = 0;
};

void takeBlock(SpringListNode*& cell, StrideGuess& walk, SpringBlock& block) {
    block.count = 0;
    while (block.count < kBlock && cell->next != nullptr) {
        block.springs[block.count++] = cell->spring;
        cell = walk.next(cell, cell->next);
    }
    block.groups = (block.count + kLanes - 1) / kLanes;
    for (int k = block.count; k < kLanes * block.groups; ++k) block.springs[k] = block.springs[block.count - 1];
}

// The forces of eight springs and whether any of them tears, yields or has no length.
struct GroupForces {
    Lanes8 dx, dy, dz, L, magnitude;
    Lanes elastic[kLanes];
    Lanes damping[kLanes];
    bool special;
};

template <bool kBreakable, bool kPlastic>
__attribute__((always_inline)) inline void computeGroup(const Lanes d[kLanes], const Lanes w[kLanes],
                                                        const Lanes fields[kLanes], float coefficient, GroupForces& q) {
    // d = a.position - b.position, L = |d|; zero lengths divide by one instead (unused lanes).
    transpose8<true>(d, q.dx, q.dy, q.dz);
    q.L = sqrtLanes(q.dx * q.dx + q.dy * q.dy + q.dz * q.dz);
    const Lanes8 divisor = select(q.L == 0.0f, broadcast8(1.0f), q.L);

    // Elastic force on b: (L - restLength) * stiffness along d / L.
    Lanes8 tearForce, stiffness, restLength;
    transpose8<false>(fields, tearForce, stiffness, restLength);
    const Lanes8 f = (q.L - restLength) * stiffness;
    const Lanes8 Fx = f * q.dx / divisor;
    const Lanes8 Fy = f * q.dy / divisor;
    const Lanes8 Fz = f * q.dz / divisor;
    untranspose8(Fx, Fy, Fz, q.elastic);

    // Damping force on a: -c (w . d) / L along d / L.
    Lanes8 wx, wy, wz;
    transpose8<true>(w, wx, wy, wz);
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
        special |= q.magnitude > tearForce;
    }
    q.special = anyLane(special);
}

// Measures a block of springs and writes the records of those that neither tore nor have zero
// length from out on; returns the end. Also clears the forces of their ends (nothing is added
// to any force during the measuring walk).
template <bool kBreakable, bool kPlastic>
__attribute__((always_inline)) inline SpringRecord* measureBlock(const SpringBlock& block, float coefficient,
                                                                 SpringRecord* out) {
    Spring* const* s = block.springs;
    Lanes d[kBlock], w[kBlock], fields[kBlock];
    for (int k = 0; k < kLanes * block.groups; ++k) {
        MassPoint* a = s[k]->a;
        MassPoint* b = s[k]->b;
        d[k] = loadShifted(a->position) - loadShifted(b->position);
        w[k] = loadShifted(a->velocity) - loadShifted(b->velocity);
        std::memcpy(&fields[k], &s[k]->tearForce, sizeof fields[k]);  // tearForce, stiffness, restLength, initialLength
        a->force = Vec3{};
        b->force = Vec3{};
    }
    GroupForces groups[kBlock / kLanes];
    for (int g = 0; g < block.groups; ++g) {
        computeGroup<kBreakable, kPlastic>(&d[kLanes * g], &w[kLanes * g], &fields[kLanes * g], coefficient, groups[g]);
    }

    // A yield changes the rest length of the yielding spring and of the edges of its elements,
    // any of which may come later in the block: from then on the block's springs are measured
    // one at a time, with their rest lengths as they now stand.
    bool restChanged = false;
    for (int g = 0; g < block.groups; ++g) {
        GroupForces& group = groups[g];
        Spring* const* gs = &s[kLanes * g];
        const int inGroup = std::min(kLanes, block.count - kLanes * g);
        if (inGroup == kLanes && !group.special && !restChanged) {
            for (int k = 0; k < kLanes; ++k) out = writeRecord(out, gs[k]->a, gs[k]->b, group.elastic[k], group.damping[k]);
            continue;
        }
        for (int k = 0; k < inGroup; ++k) {
            Spring& spring = *gs[k];
            const float L = group.L[k];
            if (kPlastic && yieldIfOverstrained(spring, L)) restChanged = true;
            if (L == 0.0f) {  // no direction: no force, no tearing, no damping
                ++measurement.liveUnrecorded;
                continue;
            }
            if (restChanged) {
                const Vec3 F = elasticForce(spring, Vec3{group.dx[k], group.dy[k], group.dz[k]}, L);
                group.elastic[k] = additionRow(F);
                if (kBreakable) group.magnitude[k] = length(F);
            }
            if (kBreakable && group.magnitude[k] > spring.tearForce) {
                springList = springList->remove(&spring);
                continue;
            }
            out = writeRecord(out, spring.a, spring.b, group.elastic[k], group.damping[k]);
        }
    }
    return out;
}

template <bool kBreakable, bool kPlastic>
__attribute__((always_inline)) inline void measureAll(float coefficient) {
    // A tearing spring unlinks its own cell; the cell keeps its `next`, so the walk goes on.
    // Cells already taken into a block are never relinked by a later spring's tearing.
    SpringRecord* out = measurement.first;
    SpringRecord* const last = measurement.first + sceneStorage().springRecordCapacity();
    StrideGuess walk;
    SpringBlock block;
    for (SpringListNode* cell = springList; cell->next != nullptr;) {
        if (last - out < kBlock) {
            // Out of records: the remaining springs are measured when their forces are added.
            measurement.rest = cell;
            for (; cell->next != nullptr; cell = walk.next(cell, cell->next)) {
                cell->spring->a->force = Vec3{};
                cell->spring->b->force = Vec3{};
            }
            break;
        }
        takeBlock(cell, walk, block);
        out = measureBlock<kBreakable, kPlastic>(block, coefficient, out);
    }
    measurement.end = out;
}

}  // namespace

WIDER_WHERE_AVAILABLE void measureSprings(float dampingCoefficient) {
    // Every moving point is cleared too: a point whose springs have all torn would otherwise
    // keep its force and gather gravity and push again each step. The ends of the listed
    // springs are cleared as they are measured.
    StrideGuess chainWalk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = chainWalk.next(p, p->next)) p->force = Vec3{};

    measurement = Measurement{};
    measurement.first = static_cast<SpringRecord*>(sceneStorage().springRecords());
    measurement.dampingCoefficient = dampingCoefficient;
    if (breakableOn) {
        plasticOn ? measureAll<true, true>(dampingCoefficient) : measureAll<true, false>(dampingCoefficient);
    } else {
        plasticOn ? measureAll<false, true>(dampingCoefficient) : measureAll<false, false>(dampingCoefficient);
    }
}

void addElasticForces() {
    HeldForce<MassPoint> forces;
    for (const SpringRecord* r = measurement.first; r != measurement.end; ++r) {
        const Lanes elastic = readRow(r, offsetof(SpringRecord, elastic));
        forces.add(r->b, elastic);
        forces.addHeld(r->a, negateXyz(elastic));
    }
    forces.flush();
    // Past the records: one spring at a time, in list order (tearing before `rest` never
    // changes the links from `rest` on).
    if (measurement.rest == nullptr) return;
    for (SpringListNode* cell = measurement.rest; cell->next != nullptr; cell = cell->next) {
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
}

void addDampingForces() {
    HeldForce<MassPoint> forces;
    for (const SpringRecord* r = measurement.first; r != measurement.end; ++r) {
        const Lanes damping = readRow(r, offsetof(SpringRecord, damping));
        forces.addHeld(r->a, damping);
        forces.add(r->b, negateXyz(damping));
    }
    forces.flush();
    if (measurement.rest == nullptr) return;
    // The list now holds the springs with a record or without length, then the others.
    SpringListNode* cell = springList;
    const std::size_t measured = static_cast<std::size_t>(measurement.end - measurement.first) + measurement.liveUnrecorded;
    for (std::size_t i = 0; i < measured; ++i) cell = cell->next;
    for (; cell->next != nullptr; cell = cell->next) applyDamping(*cell->spring, measurement.dampingCoefficient);
}

void applySpringForces() {
    measureSprings(0.0f);
    addElasticForces();
}

void applySpringDamping(float coefficient) {
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) applyDamping(*cell->spring, coefficient);
}
