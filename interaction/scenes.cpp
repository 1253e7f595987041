#include "interaction/scenes.h"

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/grab.h"
#include "sim/presets.h"
#include "sim/world.h"

namespace {

Cube* numbered(Cube* cube) {
    sceneCubes().push_back(cube);
    return cube;
}

// The first cube of a prepared scene.
Cube* firstCube(char key) {
    const PreparedScene& s = *preparedScene(key);
    return numbered(
        make<Cube>(s.x, s.y, s.z, kPointDamping, s.mass, s.stiffness, s.edge, springList, chainHead, s.tearForce));
}

}  // namespace

void resetScene() {
    // The old scene's objects go with its storage; the scratch pointers would dangle.
    replaceSceneStorage();
    letGo();
    volumeElements = nullptr;
    leadCube = nullptr;
    secondCube = nullptr;
    tailCube = nullptr;
    sceneCubes().clear();

    springList = newSpringList();
    chainHead = make<MassPoint>(0.0f, 0.0f, 0.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
    simTime = 0.0f;
}


Cube* attachCube(const Cube& base) {
    Cube* cube = numbered(make<Cube>(base, springList, chainHead, tearForceLow));
    appendElementChain(volumeElements, cube->buildElements());
    return cube;
}

void buildRowScene(int n) {
    resetScene();
    leadCube = firstCube(static_cast<char>('0' + n));
    volumeElements = leadCube->buildElements();
    if (n >= 2) secondCube = attachCube(*leadCube);
    if (n >= 3) tailCube = attachCube(*secondCube);
    for (int made = 3; made < n; ++made) tailCube = attachCube(*tailCube);
}

void buildSmallCubesScene() {
    resetScene();
    leadCube = firstCube('s');
    volumeElements = leadCube->buildElements();
    for (int i = 1; i < preparedScene('s')->cubes; ++i) leadCube = attachCube(*leadCube);
}

void buildWallScene() {
    resetScene();
    leadCube = firstCube('q');
    volumeElements = leadCube->buildElements();
    secondCube = attachCube(*leadCube);
    tailCube = attachCube(*secondCube);
    tailCube = attachCube(*tailCube);

    // Pin the face against the near wall (corners 0, 3, 4, 7) by cutting it out of the chain,
    // which runs: old head, corners 0..7 of the first cube, then the other cubes' points.
    MassPoint* const* c = leadCube->corners;
    chainHead = c[0];
    c[2]->next = c[5];
    c[6]->next = c[7]->next;
}

void buildPendulumScene() {
    resetScene();
    leadCube = firstCube('p');
    secondCube = numbered(make<Cube>(*leadCube, springList, chainHead, tearForceLow));
    tailCube = numbered(make<Cube>(*secondCube, springList, chainHead, tearForceLow));
    for (const Suspension& s : kPendulumSuspensions) {
        MassPoint* anchor = make<MassPoint>(s.x, s.y, s.z, zeroVelocity, kPointDamping, kPointMass, nullptr);
        Spring* spring = make<Spring>(anchor, leadCube->corners[s.corner], kSuspensionStiffness, tearForceHigh,
                                      kSuspensionRestLength);
        springList->append(spring);
    }
    volumeElements = nullptr;
}
