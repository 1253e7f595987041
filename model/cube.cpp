#include "model/cube.h"

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"

namespace {

// The corners that an attached cube takes over from its base's far face.
bool isNearFaceCorner(int k) { return k == 0 || k == 3 || k == 4 || k == 7; }

// Element corner order: each cube corner followed by its three edge neighbours.
constexpr int kElementCorners[8][4] = {{0, 1, 3, 4}, {1, 0, 2, 5}, {2, 1, 3, 6}, {3, 0, 2, 7},
                                       {4, 0, 5, 7}, {5, 1, 4, 6}, {6, 2, 5, 7}, {7, 3, 4, 6}};

// The first spring of the scene's list joining p and q. Builders append every spring to that
// list as soon as they make it, and nothing leaves it while a scene is built, so the first such
// spring in p's own list (a dozen cells) is also the first in the scene's list (thousands).
Spring* findSharedSpring(const MassPoint* p, const MassPoint* q) { return p->springs->findByEnds(p, q); }

}  // namespace

void Cube::placeCorner(int k, float damping, float mass, MassPoint* chainHead) {
    // One single-precision sum or difference per coordinate.
    const float x = (k == 2 || k == 3 || k == 6 || k == 7) ? originX - edge : originX;
    const float y = (k == 1 || k == 2 || k == 5 || k == 6) ? originY + edge : originY;
    const float z = k >= 4 ? originZ + edge : originZ;
    corners[k] = make<MassPoint>(x, y, z, Vec3{}, damping, mass, chainHead);  // at rest
}

Cube::Cube(float x, float y, float z, float damping, float mass, float springStiffness, float edgeLength,
           SpringList springList, MassPoint* chainHead, float tearForce)
    : stiffness(springStiffness), edge(edgeLength), originX(x), originY(y), originZ(z) {
    for (int k = 0; k < 8; ++k) placeCorner(k, damping, mass, chainHead);
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j) {
            Spring* s = make<Spring>(corners[i], corners[j], stiffness, tearForce);
            springList->append(s);
            springs.push_back(s);
        }
    }
}

Cube::Cube(const Cube& base, SpringList springList, MassPoint* chainHead, float tearForce)
    : stiffness(base.stiffness),
      edge(base.edge),
      originX(base.corners[0]->position.x),
      originY(base.corners[0]->position.y + base.edge),
      originZ(base.corners[0]->position.z) {
    corners[0] = base.corners[1];
    corners[3] = base.corners[2];
    corners[4] = base.corners[5];
    corners[7] = base.corners[6];
    const float damping = base.corners[0]->damping;
    const float mass = base.corners[0]->mass;
    for (int k : {1, 2, 5, 6}) placeCorner(k, damping, mass, chainHead);
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j) {
            if (isNearFaceCorner(i) && isNearFaceCorner(j)) {
                springs.push_back(findSharedSpring(corners[i], corners[j]));
            } else {
                Spring* s = make<Spring>(corners[i], corners[j], stiffness, tearForce);
                springList->append(s);
                springs.push_back(s);
            }
        }
    }
}

Spring* Cube::findSpring(const MassPoint* p, const MassPoint* q) const {
    for (Spring* s : springs) {
        if ((s->a == p && s->b == q) || (s->a == q && s->b == p)) return s;
    }
    return nullptr;
}

void Cube::attachElementToEdges(MassPoint* p, MassPoint* q, MassPoint* r, MassPoint* s, VolumeElement* element) {
    const MassPoint* pairs[6][2] = {{p, q}, {p, r}, {p, s}, {q, r}, {q, s}, {r, s}};
    for (const auto& pair : pairs) {
        if (Spring* spring = findSpring(pair[0], pair[1])) spring->attachElement(element);
    }
}

VolumeElement* Cube::buildElements() {
    VolumeElement* first = nullptr;
    for (const auto& c : kElementCorners) {
        MassPoint* p = corners[c[0]];
        MassPoint* q = corners[c[1]];
        MassPoint* r = corners[c[2]];
        MassPoint* s = corners[c[3]];
        VolumeElement* element = make<VolumeElement>(p, q, r, s);
        if (first == nullptr) {
            first = element;
        } else {
            appendElementChain(first, element);
        }
        attachElementToEdges(p, q, r, s, element);
    }
    return first;
}
