#include "sim/time_step.h"

#include "model/cube.h"
#include "model/force_laws.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/lanes.h"
#include "sim/room.h"
#include "sim/settings.h"
#include "sim/spring_pass.h"
#include "sim/step_order.h"
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

    // Springs; their walk also measures the damping added after gravity and push
    measureDampingOnNextSpringWalk(settings.springDamping);
    applySpringForces();

    // Gravity, from the mass of the lead cube's corner 0 (a scene built without one has none)
    if (gravityOn && leadCube != nullptr) {
        addForceToAll(Vec3{0.0f, 0.0f, -settings.gravity * leadCube->corners[0]->mass});
    }

    // Push of a mouse drag
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addForceToAll(pushForce);
    }

    // Damping along the springs
    applySpringDamping(settings.springDamping);

    // Volume elements
    applyVolumeForces(volumeElements);

    // Integrate: all velocities, then all positions
    integrateVelocities(timeStep);
    integratePositions(timeStep);
}

void addForceToAll(const Vec3& f) {
    const Lanes row = additionRow(f);
    forEachMovingPoint([row](MassPoint& p) { addToForce(p, row); });
}

// The three components go through the velocity update side by side in lanes.
WIDER_WHERE_AVAILABLE void integrateVelocities(float dt) {
    forEachMovingPoint([dt](MassPoint& p) {
        const Lanes f = reinterpret_cast<Lanes>(reinterpret_cast<LaneMask>(loadForceRow(p)) & LaneMask{-1, -1, -1, 0});
        const Lanes v0 = loadVelocityAt1(p);
        const Lanes v = updatedVelocity(__builtin_shufflevector(v0, Lanes{}, 1, 2, 3, 4), f, broadcast(p.damping),
                                        broadcast(p.mass), broadcast(dt));
        p.velocity = Vec3{v[0], v[1], v[2]};
        bounceVelocity(p);
    });
}

void integratePositions(float dt) {
    forEachMovingPoint([dt](MassPoint& p) {
        p.integratePosition(dt);
        clampPosition(p);
    });
}
