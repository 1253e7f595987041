#include "model/spring.h"

#include "model/force_laws.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "sim/settings.h"

Spring::Spring(MassPoint* endA, MassPoint* endB, float springStiffness, float springTearForce)
    : Spring(endA, endB, springStiffness, springTearForce, 0.0f) {
    restLength = initialLength;
}

Spring::Spring(MassPoint* endA, MassPoint* endB, float springStiffness, float springTearForce, float rest)
    : a(endA), b(endB), tearForce(springTearForce) {
    a->attachSpring(this);
    b->attachSpring(this);
    stiffness = springStiffness * settings.stiffnessScale;  // exactly springStiffness at the design scale 1
    builtStiffness = springStiffness;
    initialLength = currentLength(*this);
    restLength = rest;
}

float currentLength(const Spring& spring) { return length(spring.a->position - spring.b->position); }

SpringList Spring::applyForce(SpringList head, bool breakable, bool plastic) {
    return addElasticForce(breakable, plastic).tears ? head->remove(this) : head;
}

ElasticOutcome Spring::addElasticForce(bool breakable, bool plastic) {
    const Vec3 d = a->position - b->position;
    const float L = length(d);

    const bool yielded = plastic && yieldIfOverstrained(*this, L);

    // Coincident ends have no direction: such a spring exerts no force (and cannot tear).
    if (L == 0.0f) return {yielded, false};
    const Vec3 F = elasticForce(d, L, restLength, stiffness);

    if (breakable && tears<FloatMath>(F, tearForce)) return {yielded, true};

    b->addForce(F);
    a->addForce(-F);
    return {yielded, false};
}

void Spring::attachElement(VolumeElement* element) { elements.push_back(element); }
