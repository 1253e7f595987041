#pragma once

#include "model/scene_storage.h"
#include "model/spring_list.h"

struct MassPoint;
struct Spring;
struct VolumeElement;

// Eight corner points joined pairwise by 28 springs. Corner k of a cube with origin (x, y, z)
// and edge e: 0 (x, y, z), 1 (x, y+e, z), 2 (x-e, y+e, z), 3 (x-e, y, z), and 4..7 are 0..3
// raised by e. The near face is 0, 3, 4, 7; the far (+y) face 1, 2, 5, 6 is what an attached
// cube shares. The cube only remembers what it made; the step never walks cubes.
struct Cube {
    // A free cube: eight new corners (joining the chain in index order) and 28 new springs in
    // pair order (0,1), (0,2), ..., (6,7), each appended to springList.
    Cube(float originX, float originY, float originZ, float damping, float mass, float stiffness, float edge,
         SpringList springList, MassPoint* chainHead, float tearForce);
    // A cube against base's far face: shares its four corners and six springs, makes corners
    // 1, 2, 5, 6 (with the mass and damping of base's corner 0) and 22 new springs.
    Cube(const Cube& base, SpringList springList, MassPoint* chainHead, float tearForce);

    // The spring of this cube joining p and q (either order), or null.
    Spring* findSpring(const MassPoint* p, const MassPoint* q) const;
    // Gives element to the six springs among the four corners.
    void attachElementToEdges(MassPoint* p, MassPoint* q, MassPoint* r, MassPoint* s, VolumeElement* element);
    // Makes the eight corner elements and returns the first; the others are chained behind it.
    VolumeElement* buildElements();

    float stiffness;
    float edge;
    float originX;
    float originY;
    float originZ;
    MassPoint* corners[8];
    PointerArray<Spring> springs;  // 28, in pair order

private:
    void placeCorner(int index, float damping, float mass, MassPoint* chainHead);
};
