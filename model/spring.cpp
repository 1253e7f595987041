#include "model/spring.h"

#include "model/force_laws.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/volume_element.h"
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

    if (breakable && tears<FloatMath>(F, tearForce)) {
        torn = true;
        return {yielded, true};
    }

    b->addForce(F);
    a->addForce(-F);
    return {yielded, false};
}

void Spring::attachElement(VolumeElement* element) { elements.push_back(element); }

// Plastic yield: a spring stretched or squeezed too far takes its current length as rest
// length, and so do all edges of its volume elements, whose rest volumes then follow.

// Both bounds are taken against the rest length on entry.
bool yieldIfOverstrained(Spring& s, float L) {
    if (overstrained<FloatMath>(L, s.restLength)) {
        s.restLength = L;
        s.resetElementEdges();
        s.refreshElementVolumes();
        return true;
    }
    return false;
}

void Spring::resetElementEdges() {
    for (VolumeElement* element : elements) {
        for (Spring* edge : element->edges) {
            if (edge != nullptr) edge->restLength = currentLength(*edge);
        }
    }
}

void Spring::refreshElementVolumes() {
    // Runs after every edge of every element has been reset, so each new rest volume is the
    // element's current volume up to rounding.
    for (VolumeElement* element : elements) element->recomputeRestVolume();
}
