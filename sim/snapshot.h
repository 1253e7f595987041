#pragma once

// The whole state of the simulation at a moment between two steps, to go back to: the scene
// with every object in it (as bytes, links and all), the switches, settings, push, clock, grab,
// and what contact keeps from step to step. Restoring one and stepping on gives exactly the
// bits of never having left it, whatever ran in between (other steps, restarts, other scenes).
// The frame pacing is the front end's and is not part of it.
//
// A snapshot holds its scene's storage, so that the scene's objects keep their addresses: a
// restart after it does not release the scene while the snapshot lives. Saving and restoring
// allocate; stepping does not.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/scene_storage.h"
#include "model/spring_list.h"
#include "model/vec3.h"
#include "sim/contact.h"
#include "sim/grab.h"
#include "sim/settings.h"

struct Cube;
struct MassPoint;
struct VolumeElement;

struct WorldSnapshot {
    std::shared_ptr<SceneStorage> storage;
    SceneStorage::Image objects;
    // The globals of the world.
    bool gravityOn, volumeOn, breakableOn, plasticOn, pushPlaneYZ;
    float simTime, timeStep;
    Vec3 pushForce;
    std::int32_t pushStepsLeft, pressX, pressY;
    float pressTime;
    SpringList springList;
    MassPoint* chainHead;
    VolumeElement* volumeElements;
    Cube *leadCube, *secondCube, *tailCube;
    std::vector<Cube*> cubes;
    SettingValues settings;
    Grab grab;
    std::vector<PairStretch> frictionSprings;

    // Bytes it holds, the scene's objects and the arrays beside them.
    std::size_t size() const;
};

void saveWorld(WorldSnapshot& snapshot);
void restoreWorld(const WorldSnapshot& snapshot);
