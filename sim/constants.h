#pragma once

// The simulation's physical constants, each written once, with its unit.

// Gravity's acceleration, units/s^2 downward (-z); a point's weight uses the lead cube's mass.
inline constexpr float kGravity = 9.81f;
// Damping along the springs: force per unit of length change per second.
inline constexpr float kSpringDamping = 3.0f;
// Volume elements' stiffness: force per unit^3 of volume change; softer while springs are plastic.
inline constexpr float kVolumeStiffness = 12000.0f;
inline constexpr float kPlasticVolumeStiffness = 3000.0f;
// One step of simulated time, s.
inline constexpr float kTimeStep = 0.0005f;
// Simulated time allowed between two drawn frames, s: 80 steps (the product with the float step
// is formed in double, so a count of 79 still steps and 80 does not).
inline constexpr double kFrameBudget = 0.04;
// A drag's push per pixel dragged: a right drag's force, a left drag's force times the drag's
// duration in s.
inline constexpr float kPushScale = 0.1f;
// The near wall of the room, y in scene units (the wall scene's first cube stands against it).
inline constexpr float kNearWallY = -2.0f;
