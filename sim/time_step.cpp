#include "sim/time_step.h"

#include "model/cube.h"
#include "model/force_laws.h"
#include "model/volume_element.h"
#include "sim/constants.h"
#include "sim/contact.h"
#include "sim/grab.h"
#include "sim/lanes.h"
#include "sim/room.h"
#include "sim/settings.h"
#include "sim/spring_pass.h"
#include "sim/step_order.h"
#include "sim/world.h"

IdleHooks idleHooks;

namespace {

// At most kFrameBudget of simulated time between two drawn frames. The product uses the float
// step widened to double, so a count of 79 still steps and 80 does not.
bool simulationAheadOfFrames() {
    return static_cast<double>(stepsSinceFrame) * static_cast<double>(timeStep) > kFrameBudget;
}

void requestRedisplay() {
    if (idleHooks.requestRedisplay != nullptr) idleHooks.requestRedisplay();
}

// The velocity update, the three components side by side in lanes, then the room's rules. The
// force row's fourth lane is the damping: it is zeroed, as is the velocity's, so that the spare
// lane computes (0 - 0 * damping) / mass, not damping / mass, which could overflow where the
// one-at-a-time update does not.
LANE_INLINE void velocityUpdate(MassPoint& p, float dt) {
    const Float4 f = reinterpret_cast<Float4>(reinterpret_cast<Mask4>(loadForceRow(p)) & Mask4{-1, -1, -1, 0});
    const Float4 v0 = loadVelocityAt1(p);
    const Float4 v = updatedVelocity(__builtin_shufflevector(v0, Float4{}, 1, 2, 3, 4), f, broadcast4(p.damping),
                                    broadcast4(p.mass), broadcast4(dt));
    p.velocity = Vec3{v[0], v[1], v[2]};
    bounceVelocity(p);
}

// Velocities and positions in one walk: the room's rules look at one point only, and a
// point's position update reads only its own velocity, so this gives the bits of all
// velocities first and all positions after.
WIDER_WHERE_AVAILABLE void integrateMovingPoints(float dt) {
    forEachMovingPoint([dt](MassPoint& p) LANE_INLINE_LAMBDA {
        velocityUpdate(p, dt);
        p.integratePosition(dt);
        clampPosition(p);
    });
}

}  // namespace

void onIdle() {
    timeStep = kTimeStep;
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
    const MeasuredDamping measured = applySpringForcesMeasuringDamping(settings.springDamping);

    // Gravity, from the mass of the lead cube's corner 0 (a scene built without one has none),
    // or from each point's own mass
    if (gravityOn && leadCube != nullptr) {
        if (switchedOn(settings.ownWeight)) {
            addOwnWeights(settings.gravity);
        } else {
            addForceToAll(Vec3{0.0f, 0.0f, -settings.gravity * leadCube->corners[0]->mass});
        }
    }

    // Push of a mouse drag
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addForceToAll(pushForce);
    }

    // A point held by the pointer
    addGrabPull();

    // Damping along the springs. Gravity, push and grab move no point and change no link, so the
    // damping forces that the springs' walk measured still hold. A walk that went on along the
    // links (links changed by hand, or a list longer than the order) did not measure them all,
    // and the list is walked again as it stands.
    if (measured.everySpring) {
        addMeasuredDamping(measured);
    } else {
        applySpringDamping(settings.springDamping);
    }

    // Volume elements
    applyVolumeForces(volumeElements, volumeStiffness());

    // Cubes pushing each other apart
    if (switchedOn(settings.contact)) applyContactForces();

    // Integrate: all velocities, then all positions
    integrateMovingPoints(timeStep);
}

void addOwnWeights(float gravity) {
    // The row of addForceToAll, so that equal masses give its bits.
    forEachMovingPoint([gravity](MassPoint& p) LANE_INLINE_LAMBDA {
        addToForce(p, Float4{0.0f, 0.0f, -gravity * p.mass, -0.0f});
    });
}

void addForceToAll(const Vec3& f) {
    // The fourth lane adds -0.0 to the damping after the force, which leaves it as it is.
    forEachMovingPoint([row = Float4{f.x, f.y, f.z, -0.0f}](MassPoint& p) LANE_INLINE_LAMBDA { addToForce(p, row); });
}
