#include "sim/snapshot.h"

#include "sim/step_order.h"
#include "sim/world.h"

std::size_t WorldSnapshot::size() const {
    return sizeof *this + objects.size() + cubes.size() * sizeof(Cube*) +
           frictionSprings.size() * sizeof(PairStretch);
}

void saveWorld(WorldSnapshot& s) {
    s.storage = sharedSceneStorage();
    s.storage->save(s.objects);
    s.gravityOn = gravityOn;
    s.volumeOn = volumeOn;
    s.breakableOn = breakableOn;
    s.plasticOn = plasticOn;
    s.pushPlaneYZ = pushPlaneYZ;
    s.simTime = simTime;
    s.timeStep = timeStep;
    s.pushForce = pushForce;
    s.pushStepsLeft = pushStepsLeft;
    s.pressX = pressX;
    s.pressY = pressY;
    s.pressTime = pressTime;
    s.springList = springList;
    s.chainHead = chainHead;
    s.volumeElements = volumeElements;
    s.leadCube = leadCube;
    s.secondCube = secondCube;
    s.tailCube = tailCube;
    s.cubes = sceneCubes();
    s.settings = settings;
    s.grab = grab;
    s.frictionSprings = frictionSprings();
}

void restoreWorld(const WorldSnapshot& s) {
    useSceneStorage(s.storage);
    s.storage->restore(s.objects);
    gravityOn = s.gravityOn;
    volumeOn = s.volumeOn;
    breakableOn = s.breakableOn;
    plasticOn = s.plasticOn;
    pushPlaneYZ = s.pushPlaneYZ;
    simTime = s.simTime;
    timeStep = s.timeStep;
    pushForce = s.pushForce;
    pushStepsLeft = s.pushStepsLeft;
    pressX = s.pressX;
    pressY = s.pressY;
    pressTime = s.pressTime;
    springList = s.springList;
    chainHead = s.chainHead;
    volumeElements = s.volumeElements;
    leadCube = s.leadCube;
    secondCube = s.secondCube;
    tailCube = s.tailCube;
    sceneCubes() = s.cubes;
    settings = s.settings;
    grab = s.grab;
    // The step's order is read anew from the restored scene before contact's springs are set,
    // as reading it would let them go.
    markOrderStale();
    sceneOrder();
    setFrictionSprings(s.frictionSprings);
}
