#include "interaction/scene_commands.h"

#include <vector>

#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/presets.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

// Numbers the cube and keeps the builders' scratch as the prepared rows leave it: the second
// cube made, and the last one from the third on.
void noteCube(Cube* cube) {
    std::vector<Cube*>& cubes = sceneCubes();
    cubes.push_back(cube);
    if (cubes.size() == 2) secondCube = cube;
    if (cubes.size() >= 3) tailCube = cube;
}

// A cube's elements follow all elements made before.
void hangElements(Cube& cube) {
    VolumeElement* chain = cube.buildElements();
    if (volumeElements == nullptr) {
        volumeElements = chain;
    } else {
        appendElementChain(volumeElements, chain);
    }
}

// Cube `cube` of the scene, or null. The reader refuses numbers the scene does not have, as it
// follows the scene from the start state; a front end that applies commands to some other
// world gets nothing done instead of a wild pointer.
Cube* cubeNumbered(int cube) {
    const std::vector<Cube*>& cubes = sceneCubes();
    return cube >= 1 && static_cast<std::size_t>(cube) <= cubes.size() ? cubes[static_cast<std::size_t>(cube - 1)]
                                                                        : nullptr;
}

}  // namespace

void startEmptyScene() { resetScene(); }

void buildFreeCube(const FreeCubeArgs& s) {
    Cube* cube = make<Cube>(s.origin.x, s.origin.y, s.origin.z, s.damping, s.mass, s.stiffness, s.edge, springList,
                            chainHead, s.tearForce);
    if (leadCube == nullptr) leadCube = cube;
    if (s.elements) hangElements(*cube);
    noteCube(cube);
}

void attachCubes(int count, float tearForce, bool elements) {
    for (int i = 0; i < count && !sceneCubes().empty(); ++i) {
        Cube* cube = make<Cube>(*sceneCubes().back(), springList, chainHead, tearForce);
        if (elements) hangElements(*cube);
        noteCube(cube);
    }
}

void pinCorners(int cube, unsigned corners) {
    const Cube* owner = cubeNumbered(cube);
    if (owner == nullptr) return;
    MassPoint* pinned[8];
    int n = 0;
    for (int k = 0; k < 8; ++k) {
        if ((corners >> k & 1u) != 0) pinned[n++] = owner->corners[k];
    }
    auto isPinned = [&](const MassPoint* p) {
        for (int i = 0; i < n; ++i) {
            if (pinned[i] == p) return true;
        }
        return false;
    };
    // The first moving point leaves the chain by becoming its head (the old head is dropped),
    // any other by its predecessor's link passing over it, as the wall scene pins its face.
    MassPoint* before = chainHead;
    while (before->next != nullptr) {
        MassPoint* p = before->next;
        if (!isPinned(p)) {
            before = p;
        } else if (before == chainHead) {
            chainHead = p;
            before = p;
        } else {
            before->next = p->next;
        }
    }
    ++sceneStorage().linkEdits;
    // The chain's remembered end may be a point just taken out.
    sceneStorage().hints.chainHead = nullptr;
}

void anchorCorner(const Vec3& at, int cube, int corner, float stiffness, float tearForce, float restLength) {
    const Cube* owner = cubeNumbered(cube);
    if (owner == nullptr || corner < 0 || corner > 7) return;
    MassPoint* anchor = make<MassPoint>(at.x, at.y, at.z, zeroVelocity, kPointDamping, kPointMass, nullptr);  // never read: anchors never move
    MassPoint* end = owner->corners[corner];
    Spring* spring = restLength > 0.0f ? make<Spring>(anchor, end, stiffness, tearForce, restLength)
                                       : make<Spring>(anchor, end, stiffness, tearForce);
    springList->append(spring);
}

void chooseLeadCube(int cube) {
    if (Cube* lead = cubeNumbered(cube)) leadCube = lead;
}

void finishBuilding() { sceneOrder(); }
