#pragma once

#include "model/scene_storage.h"
#include "model/spring_list.h"
#include "model/vec3.h"

struct MassPoint;
struct VolumeElement;

// What a spring's elastic force did besides pushing its ends.
struct ElasticOutcome {
    bool yielded;  // it took its current length as rest length (plastic)
    bool tears;    // its force is above its tear force (breakable): it pushed nothing
};

// A damped elastic link between two points. With d = a.position - b.position and L = |d|,
// a stretched spring pulls b toward a and a toward b with (L - restLength) * stiffness.
struct Spring {
    // Rest length = the ends' current distance.
    Spring(MassPoint* a, MassPoint* b, float stiffness, float tearForce);
    // Rest length given (the pendulum's suspension springs).
    Spring(MassPoint* a, MassPoint* b, float stiffness, float tearForce, float restLength);

    // Elastic force of this spring, after a plastic yield when `plastic`, with tearing when
    // `breakable`. Returns the head of the global list, which moves on when this spring stood
    // in the head cell and tore.
    SpringList applyForce(SpringList head, bool breakable, bool plastic);
    // The same, leaving a tearing spring in the list for the caller to unlink.
    ElasticOutcome addElasticForce(bool breakable, bool plastic);
    // Records a volume element that has this spring as an edge.
    void attachElement(VolumeElement* element);
    // Plastic yield: every edge of every element of this spring takes its current length as
    // rest length ...
    void resetElementEdges();
    // ... then every element of this spring takes its current volume as rest volume.
    void refreshElementVolumes();

    MassPoint* a;
    MassPoint* b;
    float tearForce;      // elastic force above which the spring tears while tearing is on
    float stiffness;      // force per unit of length change
    float restLength;     // scene units; changed only by a plastic yield
    float initialLength;  // the ends' distance at construction (kept for reference)
    PointerArray<VolumeElement> elements;  // every element with this spring as an edge
    float builtStiffness;  // the stiffness it was built with; `stiffness` is this times the stiffness scale
    bool torn = false;     // it tore and left the list: its cube is no longer a closed box
};

// The current distance between a spring's ends.
float currentLength(const Spring& spring);

// Plastic yield at length L: beyond 0.5 or 1.5 times the rest length the spring takes L as
// rest length, and its elements take their current shape as rest shape. Returns whether it
// yielded.
bool yieldIfOverstrained(Spring& spring, float L);
