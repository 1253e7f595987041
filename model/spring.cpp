#include "model/spring.h"

#include <cmath>
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
// One walk measures every spring: four springs at a time, their elastic and damping forces
// are computed side by side in lanes, each lane with the very operations of the
// one-at-a-time code (applyForce, applyDamping). Neither force reads any force accumulator,
// and no force pass moves a point, so the walk can measure both before anything is added; it
// yields and tears in list order exactly as applyForce does. Its records are then added to
// the points in list order by flat passes (the elastic forces at once, the damping forces after
// gravity and push), so every force accumulator sees the same additions in the same order.
// Four springs of which one tears, yields or has no length, and the last springs of the list,
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

// A measured spring: its ends and rows of additions of its elastic force (on b; a gets the
// opposite) and of its damping force (on a; b gets the opposite). Springs that tore or have no
// length have no record: they add nothing.
struct SpringRecord {
    MassPoint* a;
    MassPoint* b;
    Lanes elastic;
    Lanes damping;
};
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
// four quads of forces, write the records. Keeping each phase's independent work together lets
// the processor overlap the long chains of square roots and divisions of different quads.
constexpr int kBlock = 16;

struct SpringBlock {
    Spring* springs[kBlock];
    int count = 0;  // springs taken; the last one is repeated up to a multiple of four
    int quads = 0;
};

void takeBlock(SpringListNode*& cell, StrideGuess& walk, SpringBlock& block) {
    block.count = 0;
    while (block.count < kBlock && cell->next != nullptr) {
        block.springs[block.count++] = cell->spring;
        cell = walk.next(cell, cell->next);
    }
    block.quads = (block.count + 3) / 4;
    for (int k = block.count; k < 4 * block.quads; ++k) block.springs[k] = block.springs[block.count - 1];
}

// The quad's forces and whether any of its springs tears, yields or has no length.
struct QuadForces {
    Lanes dx, dy, dz, L, magnitude;
    Lanes elastic[4];
    Lanes damping[4];
    bool special;
};

template <bool kBreakable, bool kPlastic>
void computeQuad(const Lanes d[4], const Lanes w[4], const Lanes fields[4], Lanes minusCoefficient, QuadForces& q) {
    // d = a.position - b.position, L = |d|; zero lengths divide by one instead (unused lanes).
    transposeShifted(d[0], d[1], d[2], d[3], q.dx, q.dy, q.dz);
    q.L = sqrtLanes(q.dx * q.dx + q.dy * q.dy + q.dz * q.dz);
    const Lanes divisor = select(q.L == 0.0f, Lanes{1.0f, 1.0f, 1.0f, 1.0f}, q.L);

    // Elastic force on b: (L - restLength) * stiffness along d / L.
    Lanes tearForce, stiffness, restLength;
    transpose(fields[0], fields[1], fields[2], fields[3], tearForce, stiffness, restLength);
    const Lanes f = (q.L - restLength) * stiffness;
    const Lanes Fx = f * q.dx / divisor;
    const Lanes Fy = f * q.dy / divisor;
    const Lanes Fz = f * q.dz / divisor;
    untranspose(Fx, Fy, Fz, q.elastic);

    // Damping force on a: -c (w . d) / L along d / L.
    Lanes wx, wy, wz;
    transposeShifted(w[0], w[1], w[2], w[3], wx, wy, wz);
    const Lanes rate = minusCoefficient * (wx * q.dx + wy * q.dy + wz * q.dz) / divisor;
    untranspose(rate * q.dx / divisor, rate * q.dy / divisor, rate * q.dz / divisor, q.damping);

    LaneMask special = q.L == 0.0f;
    if (kPlastic) special |= lessInDouble(q.L, 0.5, restLength) | (q.L > scaleInDouble(restLength, 1.5));
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
SpringRecord* measureBlock(const SpringBlock& block, Lanes minusCoefficient, SpringRecord* out) {
    Spring* const* s = block.springs;
    Lanes d[kBlock], w[kBlock], fields[kBlock];
    for (int k = 0; k < 4 * block.quads; ++k) {
        MassPoint* a = s[k]->a;
        MassPoint* b = s[k]->b;
        d[k] = loadShifted(a->position) - loadShifted(b->position);
        w[k] = loadShifted(a->velocity) - loadShifted(b->velocity);
        std::memcpy(&fields[k], &s[k]->tearForce, sizeof fields[k]);  // tearForce, stiffness, restLength, initialLength
        a->force = Vec3{};
        b->force = Vec3{};
    }
    QuadForces quads[kBlock / 4];
    for (int q = 0; q < block.quads; ++q) {
        computeQuad<kBreakable, kPlastic>(&d[4 * q], &w[4 * q], &fields[4 * q], minusCoefficient, quads[q]);
    }

    // A yield changes the rest length of the yielding spring and of the edges of its elements,
    // any of which may come later in the block: from then on the block's springs are measured
    // one at a time, with their rest lengths as they now stand.
    bool restChanged = false;
    for (int q = 0; q < block.quads; ++q) {
        QuadForces& quad = quads[q];
        const int inQuad = std::min(4, block.count - 4 * q);
        if (inQuad == 4 && !quad.special && !restChanged) {
            for (int k = 0; k < 4; ++k) *out++ = SpringRecord{s[4 * q + k]->a, s[4 * q + k]->b, quad.elastic[k], quad.damping[k]};
            continue;
        }
        for (int k = 0; k < inQuad; ++k) {
            Spring& spring = *s[4 * q + k];
            const float L = quad.L[k];
            if (kPlastic && yieldIfOverstrained(spring, L)) restChanged = true;
            if (L == 0.0f) {  // no direction: no force, no tearing, no damping
                ++measurement.liveUnrecorded;
                continue;
            }
            if (restChanged) {
                const Vec3 F = elasticForce(spring, Vec3{quad.dx[k], quad.dy[k], quad.dz[k]}, L);
                quad.elastic[k] = additionRow(F);
                if (kBreakable) quad.magnitude[k] = length(F);
            }
            if (kBreakable && quad.magnitude[k] > spring.tearForce) {
                springList = springList->remove(&spring);
                continue;
            }
            *out++ = SpringRecord{spring.a, spring.b, quad.elastic[k], quad.damping[k]};
        }
    }
    return out;
}

template <bool kBreakable, bool kPlastic>
void measureAll(Lanes minusCoefficient) {
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
        out = measureBlock<kBreakable, kPlastic>(block, minusCoefficient, out);
    }
    measurement.end = out;
}

}  // namespace

void measureSprings(float dampingCoefficient) {
    // Every moving point is cleared too: a point whose springs have all torn would otherwise
    // keep its force and gather gravity and push again each step. The ends of the listed
    // springs are cleared as they are measured.
    StrideGuess chainWalk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = chainWalk.next(p, p->next)) p->force = Vec3{};

    measurement = Measurement{};
    measurement.first = static_cast<SpringRecord*>(sceneStorage().springRecords());
    measurement.dampingCoefficient = dampingCoefficient;
    const Lanes minusCoefficient = -Lanes{dampingCoefficient, dampingCoefficient, dampingCoefficient, dampingCoefficient};
    if (breakableOn) {
        plasticOn ? measureAll<true, true>(minusCoefficient) : measureAll<true, false>(minusCoefficient);
    } else {
        plasticOn ? measureAll<false, true>(minusCoefficient) : measureAll<false, false>(minusCoefficient);
    }
}

void addElasticForces() {
    HeldForce<MassPoint> forces;
    for (const SpringRecord* r = measurement.first; r != measurement.end; ++r) {
        forces.add(r->b, r->elastic);
        forces.addHeld(r->a, negateXyz(r->elastic));
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
        forces.addHeld(r->a, r->damping);
        forces.add(r->b, negateXyz(r->damping));
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
