// Plastic yield: a spring stretched or squeezed too far takes its current length as rest
// length, and so do all edges of its volume elements, whose rest volumes then follow.

#include "model/force_laws.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"

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
