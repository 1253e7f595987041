#pragma once

struct VolumeElement;

// applyVolumeForce on every element of the chain that starts at first, in chain order, with
// stiffness K (force per unit^3 of volume change). Nothing while breakableOn or !volumeOn.
void applyVolumeForces(VolumeElement* first, float K);
