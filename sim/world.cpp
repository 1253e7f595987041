#include "sim/world.h"

#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "sim/constants.h"
#include "sim/grab.h"
#include "sim/presets.h"
#include "sim/settings.h"
#include "sim/time_step.h"

const float roomMinX = -4.0f;
const float roomMaxX = 2.0f;
const float roomMinY = kNearWallY;
const float roomMaxY = 10.0f;
const float roomMaxZ = 20.0f;
float floorZ = 0.0f;
const float floorBand = 0.05f;
const float floorFriction = 0.9f;

bool gravityOn = true;
bool volumeOn = true;
bool breakableOn = false;
bool plasticOn = false;
bool pushPlaneYZ = true;

const float standardEdge = kStandardEdge;
const float standardStiffness = kStandardStiffness;
const float smallEdge = kSmallEdge;
const float smallStiffness = kSmallStiffness;
const float tearForceLow = kTearForceLow;
const float tearForceHigh = kTearForceHigh;

float simTime = 0.0f;
float timeStep = kTimeStep;

Vec3 pushForce{0.0f, 0.0f, 0.0f};
std::int32_t pushStepsLeft = 0;
std::int32_t pressX = 0;
std::int32_t pressY = 0;
float pressTime = 0.0f;

std::int32_t lastFrameClock = 0;
std::int32_t stepsSinceFrame = 0;
bool frameClockStarted = false;

const Vec3 zeroVelocity{0.0f, 0.0f, 0.0f};

// Static initialisation, in this order: an empty list, then a chain head at the origin in no
// chain, so that both are valid from the first instant on.
SpringList springList = newSpringList();
MassPoint* chainHead = make<MassPoint>(0.0f, 0.0f, 0.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
VolumeElement* volumeElements = nullptr;
Cube* leadCube = nullptr;
Cube* secondCube = nullptr;
Cube* tailCube = nullptr;

std::vector<Cube*>& sceneCubes() {
    static std::vector<Cube*> cubes;
    return cubes;
}

void resetWorldState() {
    gravityOn = true;
    volumeOn = true;
    breakableOn = false;
    plasticOn = false;
    pushPlaneYZ = true;
    simTime = 0.0f;
    timeStep = kTimeStep;
    pushForce = Vec3{0.0f, 0.0f, 0.0f};
    pushStepsLeft = 0;
    pressX = 0;
    pressY = 0;
    pressTime = 0.0f;
    lastFrameClock = 0;
    stepsSinceFrame = 0;
    frameClockStarted = false;
    idleHooks = IdleHooks{};
    settings = SettingValues{};
    letGo();
}
