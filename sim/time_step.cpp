#include "sim/time_step.h"

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/room.h"
#include "sim/step_tables.h"
#include "sim/table_passes.h"
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

namespace {

// The scene's gravity, from the mass of the lead cube's corner 0; a scene built without a lead
// cube has none.
bool sceneGravity(Vec3& gravity) {
    if (leadCube == nullptr || !gravityOn) return false;
    gravity = Vec3{0.0f, 0.0f, -9.81f * leadCube->corners[0]->mass};
    return true;
}

// The scene's tables with their rows loaded, built anew when the scene's links have changed
// since; null when the scene does not fit them.
StepTables* readyTables() {
    SceneStorage& storage = sceneStorage();
    StepTables& tables = storage.stepTables();
    if (headsMatchTables(tables) && loadRows(tables)) return &tables;
    if (stillUnfit(tables) || !buildTables(tables, storage)) return nullptr;
    loadRows(tables);  // fresh tables match the chain
    return &tables;
}

// The step over the scene's flat tables (see model/step_tables.h), whose rows are loaded.
void stepOnTables(StepTables& tables) {
    // Springs: the elastic force of every spring on forces cleared as the rows were loaded;
    // the walk over the springs also measures their damping, which no force pass changes, for
    // later
    addSpringForces(tables, 3.0f);

    // Gravity
    Vec3 gravity;
    if (sceneGravity(gravity)) addToMovingRows(tables, gravity);

    // Push of a mouse drag
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addToMovingRows(tables, pushForce);
    }

    // Damping along the springs, as measured above
    addRecordedDamping(tables);

    // Volume elements
    if (!breakableOn && volumeOn) addVolumeForces(tables, plasticOn ? 3000.0f : 12000.0f);

    // Integrate: forces back into the points, then velocities and positions
    storeAndIntegrate(tables, timeStep);
}

// The same step one object at a time, for scenes that do not fit the tables.
void stepObjectByObject() {
    // Springs
    applySpringForces();

    // Gravity
    Vec3 gravity;
    if (sceneGravity(gravity)) addForceToAll(gravity);

    // Push of a mouse drag
    if (pushStepsLeft > 0) {
        pushStepsLeft = pushStepsLeft - 1;
        addForceToAll(pushForce);
    }

    // Damping along the springs
    applySpringDamping(3.0f);

    // Volume elements
    applyVolumeForces(volumeElements);

    // Integrate: all velocities, then all positions
    integrateVelocities(timeStep);
    integratePositions(timeStep);
}

}  // namespace

void stepWorld() {
    simTime = simTime + timeStep;
    if (StepTables* tables = readyTables()) {
        stepOnTables(*tables);
    } else {
        stepObjectByObject();
    }
}

void addForceToAll(const Vec3& f) {
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) p->addForce(f);
}

void integrateVelocities(float dt) {
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        p->integrateVelocity(dt);
        bounceVelocity(*p);
    }
}

void integratePositions(float dt) {
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        p->integratePosition(dt);
        clampPosition(*p);
    }
}
