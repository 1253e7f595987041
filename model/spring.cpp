#include "model/spring.h"

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

Vec3 elasticForce(const Spring& s, const Vec3& d, float L) {
    const float f = (L - s.restLength) * s.stiffness;
    return Vec3{f * d.x / L, f * d.y / L, f * d.z / L};
}

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

namespace {

// Damping force on a (b gets the opposite): -c (w . d) / L along d / L, w = a.velocity - b.velocity.
Vec3 dampingForce(const Spring& s, const Vec3& d, float L, float coefficient) {
    const Vec3 w = s.a->velocity - s.b->velocity;
    const float rate = -coefficient * dot(w, d) / L;
    return Vec3{rate * d.x / L, rate * d.y / L, rate * d.z / L};
}

}  // namespace

void applySpringForces() {
    // Every moving point is cleared too: a point whose springs have all torn would otherwise
    // keep its force and gather gravity and push again each step.
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) p->force = Vec3{};
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        cell->spring->a->force = Vec3{};
        cell->spring->b->force = Vec3{};
    }
    // A tearing spring unlinks its own cell; the cell keeps its `next`, so the walk goes on.
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        springList = cell->spring->applyForce(springList, breakableOn, plasticOn);
    }
}

void applySpringDamping(float coefficient) {
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        Spring& s = *cell->spring;
        const Vec3 d = s.a->position - s.b->position;
        const float L = length(d);
        if (L == 0.0f) continue;  // no direction to damp along
        const Vec3 F = dampingForce(s, d, L, coefficient);
        s.a->force.x += F.x;
        s.a->force.y += F.y;
        s.a->force.z += F.z;
        s.b->force.x -= F.x;
        s.b->force.y -= F.y;
        s.b->force.z -= F.z;
    }
}
