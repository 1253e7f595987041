#pragma once

// A point taken by the pointer and pulled toward a target by a damped spring: an extension
// beside the drags' push, off until a run takes a point (`take N`), so a run that never does
// gives the design's bits. The grab is part of the run (the commands take, move and let go, in
// scene units), so a replay does not depend on the view.

#include "model/vec3.h"

struct MassPoint;

struct Grab {
    MassPoint* point = nullptr;  // the point held, null when none
    int number = -1;             // its place in the moving chain, from 0 (as the trace numbers points)
    Vec3 target{};               // where it is pulled to, scene units
};
extern Grab grab;

// Takes the moving point numbered `number` (chain order, from 0) and pulls it toward where it
// is. Returns false, holding nothing, when the chain has no such point.
bool takePoint(int number);
// Moves the target of the point held (none held: nothing happens).
void moveGrabTarget(const Vec3& to);
// Lets go of the point held. A restart, a scene command and pinning the point let go too.
void letGo();

// The pull on the point held, in the step after the push: per unit of the point's mass, the
// spring's stiffness times the distance to the target (at most kMaxGrabReach) less its damping
// times the point's velocity, at most kMaxGrabAcceleration long, so that no flick blows a scene
// up. Both bounds shrink for a body softer or heavier than a prepared cube, by its springs'
// stiffness per unit of mass. Worked out in double and rounded once, so it raises no
// floating-point exception whatever the positions.
void addGrabPull();
