#pragma once

#include <cstdint>
#include <vector>

#include "model/spring_list.h"
#include "model/vec3.h"

struct Cube;
struct MassPoint;
struct VolumeElement;

// The world state that the callbacks share: plain globals, read and written directly.
// Positions in scene units (z up), times in seconds of simulated time.

// Room: a floor patch over roomMinX..roomMaxX at floorZ, walls at y = roomMinY and
// y = roomMaxY, a ceiling at roomMaxZ, and no wall in x.
extern const float roomMinX;       // -4.0
extern const float roomMaxX;       //  2.0
extern const float roomMinY;       // -2.0, the near wall
extern const float roomMaxY;       // 10.0, the far wall
extern const float roomMaxZ;       // 20.0, the ceiling
extern float floorZ;               //  0.0, never assigned
extern const float floorBand;      //  0.05 below floorZ still counts as on the floor
extern const float floorFriction;  //  0.9, factor on x and y velocity per step on the floor

// Option flags, each flipped by its key; restarts leave them alone.
extern bool gravityOn;    // 'g', starts true
extern bool volumeOn;     // 'v' and 'i', starts true
extern bool breakableOn;  // 'z', starts false: springs tear above their tear force
extern bool plasticOn;    // 'u', starts false: springs yield when stretched or squeezed too far
extern bool pushPlaneYZ;  // 'x', starts true: a left drag pushes in y-z, else in x-y

// Material presets of the scene builders.
extern const float standardEdge;       // 1.0
extern const float standardStiffness;  // 1660.0
extern const float smallEdge;          // 0.5
extern const float smallStiffness;     // 5000.0
extern const float tearForceLow;       // 700.0
extern const float tearForceHigh;      // 7000.0

// Simulated time of the current scene and the step length.
extern float simTime;   // seconds since the scene was started
extern float timeStep;  // 0.0005 s

// Push armed by a mouse drag, spent by the steps; restarts leave it alone.
extern Vec3 pushForce;              // force added to every moving point
extern std::int32_t pushStepsLeft;  // steps still to push
extern std::int32_t pressX;         // window pixels of the last left or right press, y down
extern std::int32_t pressY;
extern float pressTime;  // simTime at the last left press

// Frame pacing, owned by the display callback.
extern std::int32_t lastFrameClock;   // ms of real time at the last drawn frame
extern std::int32_t stepsSinceFrame;  // display calls since then that drew nothing
extern bool frameClockStarted;        // false until the first display call read the clock

// The current scene.
extern SpringList springList;          // every active spring
extern MassPoint* chainHead;           // head of the PointChain; the points behind it move
extern VolumeElement* volumeElements;  // the element chain, null when the scene has none
extern Cube* leadCube;                 // camera target; its corner 0 gives the gravity mass
extern Cube* secondCube;               // builders' scratch
extern Cube* tailCube;                 // builders' scratch
extern const Vec3 zeroVelocity;        // start velocity of every new point
// The cubes of the current scene in the order they were made (numbered from 1 in scripts):
// the bodies that touch when contact is on.
std::vector<Cube*>& sceneCubes();

// Every switch, setting, push, the clock, the pacing and the step's hooks back to their values
// at start-up, for tests and benchmarks that run many worlds in one process; the scene stays
// (a restart replaces it).
void resetWorldState();
