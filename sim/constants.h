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

// Contact between cubes (off by default). Stiffness and damping count per unit of the two
// cubes' reduced mass, so two cubes touching over a face ring at sqrt(2 * kContactStiffness)
// rad/s whatever their masses: 200 rad/s, 0.1 rad a step, well inside what the explicit step
// keeps stable.
inline constexpr float kContactStiffness = 100000.0f;  // 1/s^2
inline constexpr float kContactDamping = 100.0f;      // 1/s, half of critical over a face
inline constexpr float kContactFriction = 0.5f;       // largest slip force over pressing force
// A point inside another cube pushes harder the deeper it lies, up to this share of the smaller
// cube's edge.
inline constexpr float kDeepestPush = 0.05f;

// The grab's spring, per unit of the held point's mass: a corner of a cube of eight equal
// corners lifts its cube 8 x 9.81 / kGrabStiffness = 0.2 below the target; the damping is
// critical for the point alone.
inline constexpr float kGrabStiffness = 400.0f;        // 1/s^2
inline constexpr float kGrabDamping = 40.0f;           // 1/s
inline constexpr float kMaxGrabAcceleration = 800.0f;  // units/s^2: the pull's bound
// A target further off pulls as one this far away: a spring stretched across the room would
// tear the held point out of its cube faster than the cube's springs can follow.
inline constexpr float kMaxGrabReach = 0.5f;  // units
