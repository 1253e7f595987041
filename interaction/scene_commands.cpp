#include "interaction/scene_commands.h"

#include <vector>

#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/grab.h"
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

// Records each moving point's predecessor, walking the chain from its head.
void readChainPredecessors(ChainPredecessors& links) {
    links.head = chainHead;
    links.before.clear();
    for (MassPoint* p = chainHead; p->next != nullptr; p = p->next) links.before[p->next] = p;
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
    letGo();  // the held point may leave the chain, and the points after it are numbered anew
    SceneStorage& storage = sceneStorage();
    ChainPredecessors& links = storage.chainBefore;
    // The named corners still in the chain, with the point before each; only a corner whose
    // recorded predecessor links to it is taken as it is, else the chain is read again.
    MassPoint* pinned[8];
    MassPoint* before[8];
    int n = 0;
    auto findPinned = [&] {
        n = 0;
        for (int k = 0; k < 8; ++k) {
            if ((corners >> k & 1u) == 0) continue;
            const auto found = links.before.find(owner->corners[k]);
            if (found == links.before.end()) continue;
            if (found->second->next != found->first) return false;
            pinned[n] = owner->corners[k];
            before[n++] = found->second;
        }
        return true;
    };
    if (links.head != chainHead || !findPinned()) {
        readChainPredecessors(links);
        findPinned();
    }
    auto isPinned = [&](const MassPoint* p) {
        for (int i = 0; i < n; ++i) {
            if (pinned[i] == p) return true;
        }
        return false;
    };
    // A run of pinned points one after another leaves the chain at once: the run right behind
    // the head makes its last point the head (the old head is dropped), any other is passed
    // over by the link before it, as the wall scene pins its face. The pinned points keep their
    // own links.
    EndHints& hints = storage.hints;
    MassPoint* const head = chainHead;
    for (int i = 0; i < n; ++i) {
        if (isPinned(before[i])) continue;  // inside a run: its first point takes it out
        MassPoint* last = pinned[i];
        while (last->next != nullptr && isPinned(last->next)) last = last->next;
        MassPoint* const after = last->next;
        for (MassPoint* p = pinned[i]; p != after; p = p->next) links.before.erase(p);
        MassPoint* kept = before[i];  // the point now before `after`
        if (kept == head) {
            chainHead = last;
            links.head = last;
            kept = last;
        } else {
            kept->next = after;
        }
        if (after != nullptr) {
            links.before[after] = kept;
        } else if (hints.chainHead == head) {
            hints.chainLast = kept;  // the chain's last point was pinned: it ends before the run now
        }
    }
    if (hints.chainHead == head) hints.chainHead = chainHead;
    ++storage.linkEdits;
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
