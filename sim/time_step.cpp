#include "sim/time_step.h"

#include "model/cube.h"
#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/room.h"
#include "sim/world.h"

IdleHooks idleHooks;

namespace {

// 80 steps (0.04 s of simulated time) at most between two drawn frames. The product uses the
// float step widened to double, so a count of 79 still steps and 80 does not.
bool simulationAheadOfFrames() { return static_cast<double>(stepsSinceFrame) * static_cast<double>(timeStep) > 0.04; }

void requestRedisplay() {
    if (idleHooks.requestRedisplay != nullptr) idleHooks.requestRedisplay();
}

}  // namespace

void onIdle() {
    timeStep = 0.0005f;
    if (simulationAheadOfFrames()) {
        if (idleHooks.waitForFrame != nullptr) idleHooks.waitForFrame();
        requestRedisplay();
        return;
    }
    stepWorld();
    requestRedisplay();
}

void stepWorld() {
    simTime = simTime + timeStep;

    // Springs: clear the forces, then the elastic force of every spring; the walk over the
    // springs also measures their damping, which no force pass changes, for later
    measureSprings(3.0f);
    addElasticForces();

    // Gravity: the same force on every moving point, from the mass of the lead cube's corner 0
    // (a scene built without a lead cube has no gravity mass)
    if (leadCube != nullptr) {
        const Vec3 gravity{0.0f, 0.0f, -9.81f * leadCube->corners[0]->mass};
        if (gravityOn) addForceToAll(gravity);
    }

    // Push of a mouse drag
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addForceToAll(pushForce);
    }

    // Damping along the springs, as measured above
    addDampingForces();

    // Volume elements
    applyVolumeForces(volumeElements);

    // Integrate: all velocities, then all positions
    integrateVelocities(timeStep);
    integratePositions(timeStep);
}

void addForceToAll(const Vec3& f) {
    // p->addForce(f), three components side by side.
    const Lanes row{f.x, f.y, f.z, -0.0f};
    StrideGuess walk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = walk.next(p, p->next)) addRow(p->force, row);
}

void integrateVelocities(float dt) {
    StrideGuess walk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = walk.next(p, p->next)) {
        p->integrateVelocity(dt);
        bounceVelocity(*p);
    }
}

void integratePositions(float dt) {
    StrideGuess walk;
    for (MassPoint* p = chainHead->next; p != nullptr; p = walk.next(p, p->next)) {
        p->integratePosition(dt);
        clampPosition(*p);
    }
}
