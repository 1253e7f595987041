#include "interaction/scenes.h"

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"

namespace {

constexpr float kFirstCubeDamping = 0.2f;
constexpr float kFirstCubeMass = 1.0f;
constexpr float kPendulumMass = 3.0f;
constexpr float kSuspensionStiffness = 1000.0f;
constexpr float kSuspensionRestLength = 1.0f;

std::vector<Cube*> cubesMade;

Cube* numbered(Cube* cube) {
    cubesMade.push_back(cube);
    return cube;
}

Cube* freeCube(float x, float y, float z, float mass, float stiffness, float edge, float tearForce) {
    return numbered(make<Cube>(x, y, z, kFirstCubeDamping, mass, stiffness, edge, springList, chainHead, tearForce));
}

}  // namespace

void resetScene() {
    // The old scene's objects go with its storage; the scratch pointers would dangle.
    replaceSceneStorage();
    volumeElements = nullptr;
    leadCube = nullptr;
    secondCube = nullptr;
    tailCube = nullptr;
    cubesMade.clear();

    springList = newSpringList();
    chainHead = make<MassPoint>(0.0f, 0.0f, 0.0f, zeroVelocity, 1.0f, 1.0f, nullptr);
    simTime = 0.0f;
}

std::vector<Cube*>& sceneCubes() { return cubesMade; }

Cube* attachCube(const Cube& base) {
    Cube* cube = numbered(make<Cube>(base, springList, chainHead, tearForceLow));
    appendElementChain(volumeElements, cube->buildElements());
    return cube;
}

void buildRowScene(int n) {
    resetScene();
    leadCube = freeCube(0.0f, 0.0f, 2.0f, kFirstCubeMass, standardStiffness, standardEdge, tearForceLow);
    volumeElements = leadCube->buildElements();
    if (n >= 2) secondCube = attachCube(*leadCube);
    if (n >= 3) tailCube = attachCube(*secondCube);
    for (int made = 3; made < n; ++made) tailCube = attachCube(*tailCube);
}

void buildSmallCubesScene() {
    resetScene();
    leadCube = freeCube(0.0f, 0.0f, 2.0f, kFirstCubeMass, smallStiffness, smallEdge, tearForceLow);
    volumeElements = leadCube->buildElements();
    for (int i = 0; i < 19; ++i) leadCube = attachCube(*leadCube);
}

void buildWallScene() {
    resetScene();
    leadCube = freeCube(0.0f, roomMinY, 5.0f, kFirstCubeMass, standardStiffness, standardEdge, tearForceLow);
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
    leadCube = freeCube(0.0f, 5.5f, 8.0f, kPendulumMass, standardStiffness, standardEdge, tearForceHigh);
    secondCube = numbered(make<Cube>(*leadCube, springList, chainHead, tearForceLow));
    tailCube = numbered(make<Cube>(*secondCube, springList, chainHead, tearForceLow));

    struct Suspension {
        Vec3 anchor;
        int corner;
    };
    const Suspension suspensions[4] = {
        {{0.0f, 4.0f, 5.5f}, 0}, {{0.0f, 5.0f, 5.5f}, 4}, {{-1.0f, 5.0f, 5.5f}, 7}, {{-1.0f, 4.0f, 5.5f}, 3}};
    for (const Suspension& s : suspensions) {
        MassPoint* anchor =
            make<MassPoint>(s.anchor.x, s.anchor.y, s.anchor.z, zeroVelocity, kFirstCubeDamping, kFirstCubeMass, nullptr);
        Spring* spring = make<Spring>(anchor, leadCube->corners[s.corner], kSuspensionStiffness, tearForceHigh,
                                      kSuspensionRestLength);
        springList->append(spring);
    }
    volumeElements = nullptr;
}
