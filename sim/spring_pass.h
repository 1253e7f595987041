#pragma once

// The step's force passes over the springs and the elements.

#include <cstddef>

struct VolumeElement;

// First force pass of a step: clears the forces of every moving point and of every end of a
// listed spring, then adds every listed spring's elastic force, after a plastic yield while
// plasticOn, with tearing while breakableOn (a tearing spring leaves springList).
void applySpringForces();
// The same, measuring on the same walk each spring's damping force with `dampingCoefficient`
// (force per unit of length change per second) into the step's scratch; returns what it
// measured. When that is every listed spring's, addMeasuredDamping adds them, if nothing has
// moved a point or changed a link in between; else applySpringDamping has to.
struct MeasuredDamping {
    std::size_t springs = 0;   // list positions measured, from the first
    bool everySpring = false;  // they are all the listed springs
};
MeasuredDamping applySpringForcesMeasuringDamping(float dampingCoefficient);
void addMeasuredDamping(const MeasuredDamping& measured);
// Damping along every listed spring, opposing the change of its length: coefficient is force
// per unit of length change per second.
void applySpringDamping(float coefficient);

// applyVolumeForce on every element of the chain that starts at first, in chain order, with
// stiffness K (force per unit^3 of volume change). Nothing while breakableOn or !volumeOn.
void applyVolumeForces(VolumeElement* first, float K);
