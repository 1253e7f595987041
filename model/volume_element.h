#pragma once

#include "model/vec3.h"

struct MassPoint;
struct Spring;

// A tetrahedron of four points that resists a change of its signed volume. Only c0 and c1
// are pushed, with equal and opposite forces, so the element adds no net force to a body. The
// forces lie along the normal of (c0, c2, c3), not along c0-c1: on a sheared element they are a
// couple, a net torque. In a body whose elements outweigh its springs (soft springs, or a big
// edge: an element's stiffness grows with the edge's fourth power) that torque can spin a
// tumbling body up until it blows up; with the prepared cubes' springs the damping wins.
struct VolumeElement {
    // Records the corners, finds the six edge springs in the corners' own lists and takes the
    // current signed volume as rest volume. The springs must exist already.
    VolumeElement(MassPoint* c0, MassPoint* c1, MassPoint* c2, MassPoint* c3);

    // Pushes c1 (and c0 the other way) so that the volume tends back to restVolume. Does
    // nothing while springs are breakable or the volume constraint is off.
    void applyVolumeForce();
    // The same with stiffness K (force per unit^3 of volume change), whatever the flags.
    void addVolumeForce(float K);
    // Rest volume from the rest lengths of the three edges at c0 along their current directions.
    void recomputeRestVolume();
    // The point at the rest distance from `from` (by the spring joining them) toward `toward`.
    Vec3 restPointToward(const MassPoint* from, const MassPoint* toward) const;

    VolumeElement* next = nullptr;  // next element of the chain, null at its end
    Spring* edges[6];               // (c0,c1) (c0,c2) (c0,c3) (c1,c2) (c1,c3) (c2,c3)
    float restVolume;               // signed, scene units^3
    MassPoint* corners[4];
};

// The elements' stiffness now, force per unit^3 of volume change: softer while springs are plastic.
float volumeStiffness();

// Hangs tail (and everything behind it) after the last element of chain.
void appendElementChain(VolumeElement* chain, VolumeElement* tail);
