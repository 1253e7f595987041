#include "model/spring.h"

#include <cmath>
#include <cstring>

#include "model/lanes.h"
#include "model/mass_point.h"
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

// The passes over springList take the springs four at a time: the four forces are computed
// side by side in lanes, each lane with the very operations of the one-at-a-time code, and
// then added to the points spring after spring in list order, so every force accumulator
// sees the same additions in the same order. Four springs of which one tears, yields or has
// no length, and the last springs of the list, go through the one-at-a-time code.
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

// Four consecutive springs of the list and their geometry: d = a.position - b.position, L = |d|.
struct SpringQuad {
    Spring* springs[4];
    Lanes dx, dy, dz, L;
    Lanes divisor;  // L, or 1 where L is 0 (those lanes are never used)
};

// Takes up to four springs from the list starting at cell; returns how many, and moves cell
// past them.
int takeQuad(SpringListNode*& cell, StrideGuess& walk, SpringQuad& quad) {
    int count = 0;
    while (count < 4 && cell->next != nullptr) {
        quad.springs[count++] = cell->spring;
        cell = walk.next(cell, cell->next);
    }
    return count;
}

void measureQuad(SpringQuad& quad) {
    Lanes d[4];
    for (int k = 0; k < 4; ++k) d[k] = loadVec3(quad.springs[k]->a->position) - loadVec3(quad.springs[k]->b->position);
    transpose(d[0], d[1], d[2], d[3], quad.dx, quad.dy, quad.dz);
    quad.L = sqrtLanes(quad.dx * quad.dx + quad.dy * quad.dy + quad.dz * quad.dz);
    quad.divisor = select(quad.L == 0.0f, Lanes{1.0f, 1.0f, 1.0f, 1.0f}, quad.L);
}

// The elastic forces of four springs, added to their ends unless one of them tears, yields or
// has no length; returns whether they were added.
template <bool kBreakable, bool kPlastic>
bool applyElasticQuad(const SpringQuad& quad, HeldForce<MassPoint>& forces) {
    // Each spring's tearForce, stiffness, restLength (and initialLength) side by side.
    Lanes fields[4];
    for (int k = 0; k < 4; ++k) std::memcpy(&fields[k], &quad.springs[k]->tearForce, sizeof fields[k]);
    Lanes tearForce, stiffness, restLength;
    transpose(fields[0], fields[1], fields[2], fields[3], tearForce, stiffness, restLength);

    LaneMask special = quad.L == 0.0f;
    if (kPlastic) {
        special |= lessInDouble(quad.L, 0.5, restLength);
        special |= quad.L > scaleInDouble(restLength, 1.5);
    }
    const Lanes f = (quad.L - restLength) * stiffness;
    const Lanes Fx = f * quad.dx / quad.divisor;
    const Lanes Fy = f * quad.dy / quad.divisor;
    const Lanes Fz = f * quad.dz / quad.divisor;
    if (kBreakable) special |= sqrtLanes(Fx * Fx + Fy * Fy + Fz * Fz) > tearForce;
    if (anyLane(special)) return false;

    Lanes F[4];
    untranspose(Fx, Fy, Fz, F);
    for (int k = 0; k < 4; ++k) {
        forces.add(quad.springs[k]->b, F[k]);
        forces.addHeld(quad.springs[k]->a, negateXyz(F[k]));
    }
    return true;
}

template <bool kBreakable, bool kPlastic>
void applyElasticForces() {
    // A tearing spring unlinks its own cell; the cell keeps its `next`, so the walk goes on.
    // Cells already taken into a quad are never relinked by a later spring's tearing.
    StrideGuess walk;
    SpringQuad quad;
    HeldForce<MassPoint> forces;
    for (SpringListNode* cell = springList; cell->next != nullptr;) {
        const int count = takeQuad(cell, walk, quad);
        if (count == 4) {
            measureQuad(quad);
            if (applyElasticQuad<kBreakable, kPlastic>(quad, forces)) continue;
        }
        forces.flush();
        for (int k = 0; k < count; ++k) springList = quad.springs[k]->applyForce(springList, kBreakable, kPlastic);
    }
    forces.flush();
}

}  // namespace

void applySpringForces() {
    // Every moving point is cleared too: a point whose springs have all torn would otherwise
    // keep its force and gather gravity and push again each step.
    StrideGuess chainWalk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = chainWalk.next(p, p->next)) p->force = Vec3{};
    StrideGuess clearWalk;
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = clearWalk.next(cell, cell->next)) {
        cell->spring->a->force = Vec3{};
        cell->spring->b->force = Vec3{};
    }
    if (breakableOn) {
        if (plasticOn) applyElasticForces<true, true>();
        else applyElasticForces<true, false>();
    } else {
        if (plasticOn) applyElasticForces<false, true>();
        else applyElasticForces<false, false>();
    }
}

void applySpringDamping(float coefficient) {
    const Lanes minusCoefficient = -Lanes{coefficient, coefficient, coefficient, coefficient};
    StrideGuess walk;
    SpringQuad quad;
    HeldForce<MassPoint> forces;
    for (SpringListNode* cell = springList; cell->next != nullptr;) {
        const int count = takeQuad(cell, walk, quad);
        if (count == 4) {
            measureQuad(quad);
            if (!anyLane(quad.L == 0.0f)) {
                Lanes w[4];
                for (int k = 0; k < 4; ++k) {
                    w[k] = loadVec3After(quad.springs[k]->a->velocity) - loadVec3After(quad.springs[k]->b->velocity);
                }
                Lanes wx, wy, wz;
                transpose(w[0], w[1], w[2], w[3], wx, wy, wz);
                const Lanes rate = minusCoefficient * (wx * quad.dx + wy * quad.dy + wz * quad.dz) / quad.L;
                Lanes F[4];
                untranspose(rate * quad.dx / quad.L, rate * quad.dy / quad.L, rate * quad.dz / quad.L, F);
                for (int k = 0; k < 4; ++k) {
                    forces.addHeld(quad.springs[k]->a, F[k]);
                    forces.add(quad.springs[k]->b, negateXyz(F[k]));
                }
                continue;
            }
        }
        forces.flush();
        for (int k = 0; k < count; ++k) applyDamping(*quad.springs[k], coefficient);
    }
    forces.flush();
}
