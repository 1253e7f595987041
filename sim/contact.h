#pragma once

// Contact between cubes, an extension that is off by default (`set contact on`).
//
// Every cube is a closed deformable box: its eight corners and its six faces, each face a
// plane through the mean of its four corners, facing out along the cross product of its
// diagonals. A point lies inside a cube when it is behind all six planes; its depth is the
// least of its six distances, and the face of that distance is the one it is pushed out of.
// The surface of a cube is sampled on a lattice of quarter edges (98 points: the corners, three
// points on each edge, nine inside each face), so that an edge or a face that passes into
// another cube is found as well as a corner.
//
// Each sample inside another cube gets a penalty force out along that face's normal, with
// damping against the approach, and a friction force against the slip of the two surfaces,
// at most the friction coefficient times the pressing force. The force is shared among the
// corners of the sample's face by the sample's weights, and the opposite force among the
// corners of the other cube's face by the weights of the point where the sample is pushed to.
// Stiffness and damping count per unit of the lighter of the two cubes' masses.
//
// Which cubes touch: cubes that share a corner never do (the cubes of a row), and a cube one
// of whose springs has torn is no longer a closed box and takes no part. Candidate pairs come
// from a sort and sweep of the cubes' bounding boxes along the axis over which the boxes spread
// most, so the cost follows the pairs a scene has, not all pairs.
//
// The order of the forces, on which the bits depend: pairs by their cube numbers (i < j, by i
// then j); within a pair, the samples of i inside j, then those of j inside i; samples by face
// (bottom, top, near, far, +x, -x) and within a face row by row; at each sample, the corners
// of its own face in face order, then those of the other face. Nothing depends on where objects
// lie in memory.

#include <cstdint>
#include <vector>

#include "model/vec3.h"

struct Cube;
struct MassPoint;

// A cube as contact sees it, read with the step's order.
struct ContactCube {
    MassPoint* corners[8];
    const Cube* cube;
    float mass;          // its corner 0's mass
    float edge;          // as built
    std::uint8_t moving; // bit k: corner k is a moving point (a pinned corner's velocity is not used)
};

struct ContactBox {
    float lo[3];
    float hi[3];
};

// A cube's six face planes in the current step: a point p is inside when
// offset[f] - dot(normal[f], p) > 0 for every face f.
struct FacePlanes {
    Vec3 normal[6];
    float offset[6];
    bool valid;  // false when a face has no area (a crushed cube): nothing is inside it
};

// The friction spring of a pair that touches: how far its surfaces have been pulled apart
// along the contact since they first touched (scene units). Kept from step to step.
struct PairStretch {
    std::uint64_t pair;  // i << 32 | j, i < j
    Vec3 stretch;
};

// The contact pass's records of a scene, sized when the scene's order is read, so that a step
// allocates nothing (but for the pairs' array, which grows when a scene has more candidate pairs
// than ever before).
struct ContactScratch {
    std::vector<ContactCube> cubes;   // in cube number order
    std::vector<ContactBox> boxes;    // this step's bounding boxes
    std::vector<std::uint8_t> takesPart;  // finite box this step
    std::vector<float> keys;              // this step's sweep key of each cube
    std::vector<std::uint32_t> sorted;    // cube indices by the sweep key (kept: the next step starts from it)
    std::vector<std::uint64_t> pairs;     // candidate pairs, i << 32 | j with i < j
    // The friction springs of the pairs that touched in the last step, by pair: state that the
    // step keeps, as the points' positions are. Read anew with the scene's cubes, they start
    // slack (a scene that changes starts its friction afresh).
    std::vector<PairStretch> stretches;
    std::vector<PairStretch> nextStretches;
    std::vector<FacePlanes> planes;
    std::vector<std::uint64_t> planesPass;  // the pass that computed planes[i]
    std::uint64_t pass = 0;
};

// Reads the scene's cubes (sceneCubes) into the records; `sortedMoving` holds the moving points
// sorted by address, to tell the moving corners.
void readContactCubes(ContactScratch& scratch, const std::vector<MassPoint*>& sortedMoving);

// The contact forces of the current state, added to the corners' forces.
void applyContactForces();
// Lets every pair's friction spring go slack (contact switched on or off).
void releaseFrictionSprings();
// The friction springs of the pairs that touched in the last step, by pair, and setting them
// (a snapshot of the world keeps them).
const std::vector<PairStretch>& frictionSprings();
void setFrictionSprings(const std::vector<PairStretch>& springs);

// The faces' corners, each face ordered so that the cross product of its diagonals,
// (c2 - c0) x (c3 - c1), points out of the cube: bottom, top, near, far, +x, -x.
inline constexpr int kCubeFaces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 4, 7, 3},
                                         {1, 2, 6, 5}, {0, 1, 5, 4}, {3, 7, 6, 2}};

// The planes of a box of eight corners (positions in corner order).
FacePlanes facePlanes(const Vec3 corners[8]);
// How deep p lies inside the planes: the least distance behind a face of `faces` (bit f for
// face f), and that face; a depth of 0 (face -1) means outside.
struct Depth {
    float depth;
    int face;
};
inline constexpr unsigned kAllFaces = 0x3f;
Depth depthInside(const FacePlanes& planes, const Vec3& p, unsigned faces = kAllFaces);

// The faces a point of another cube is pushed out through: those that face it, their normal
// within about 72 degrees of the way from this cube's centre `from` to the other's `to` (all
// six when none does). So a block resting on a smaller one is held up by its top face, not
// pushed off sideways by a side face that a bottom sample happens to lie nearer to.
inline constexpr float kFacingShare = 0.3f;
unsigned facesToward(const FacePlanes& planes, const Vec3& from, const Vec3& to);
