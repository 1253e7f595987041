#pragma once

// Contact between cubes, an extension that is off by default (`set contact on`).
//
// Every cube is a closed deformable box: its eight corners and its six faces, each face a
// plane through the mean of its four corners, facing out along the cross product of its
// diagonals. A point lies inside a cube when it is behind all six planes; its depth is the
// least of its six distances, and the face of that distance is the one it is pushed out of.
// The surface of a cube is sampled on a lattice of quarter edges (98 points: the corners, three
// points on each edge, nine inside each face), so that an edge or a face that passes into
// another cube is found as well as a corner. A sample's distance behind a plane is not measured
// from its position: it is interpolated from the distances of its face's corners, first to the
// two ends of its row, then between them. Distance is linear in position, so that is the
// sample's own distance up to rounding, and it lets whole cubes, faces and rows be passed over:
// samples outside a face plane of the other cube that all of a cube's corners lie outside, or
// all of a face's, or both ends of a row, cannot lie inside it.
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
// most, within bands across the next widest axis, so the cost follows the pairs a scene has,
// not all pairs.
//
// The order of the forces, on which the bits depend: pairs by their cube numbers (i < j, by i
// then j); within a pair, the samples of i inside j, then those of j inside i; samples by face
// (bottom, top, near, far, +x, -x) and within a face row by row; at each sample, the corners
// of its own face in face order, then those of the other face. Nothing depends on where objects
// lie in memory.

#include <cstddef>
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
    bool closed;         // no spring of it has torn (a tear has the cubes read anew)
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

// A cube in the current step, as the pairs it is in need it: its corners (also coordinate by
// coordinate), centre and planes.
struct CubeNow {
    Vec3 corner[8];
    float x[8], y[8], z[8];
    Vec3 centre;
    FacePlanes planes;
    std::uint64_t pass;  // the pass that computed it
};

// The cubes that take part, in sweep order, band by band: each one's interval along the sweep's
// axis (lo, hi) and along the other two; after each band end marks that no interval reaches.
struct SweepLists {
    std::vector<float> lo, hi, lo1, hi1, lo2, hi2;
    std::vector<std::uint32_t> cube;
};
// A band of the sweep: its number and its entries in the sweep's lists.
struct SweepBand {
    std::uint32_t band;
    std::size_t begin, end;
};

// The friction spring of a pair that touches: how far its surfaces have been pulled apart
// along the contact since they first touched (scene units). Kept from step to step.
struct PairStretch {
    std::uint64_t pair;  // i << 32 | j, i < j
    Vec3 stretch;
};

// Cube `from` shares a corner with cube `to`.
struct CubeLink {
    std::uint32_t from, to;
};

// A corner of a cube at a point that does not move, to find the cubes that share it.
struct CornerOwner {
    const MassPoint* point;
    std::uint32_t cube;
    std::uint32_t corner;
};

// The contact pass's records of a scene, sized when they are read (with the scene's order while
// contact is on, else on the first contact step after the order changed), so that a step
// allocates nothing.
struct ContactScratch {
    bool stale = true;                // to be read anew before the next contact step
    std::vector<ContactCube> cubes;   // in cube number order
    // The cubes that share a corner with cube i, ascending: neighbours[neighbourStart[i]] up to
    // neighbours[neighbourStart[i + 1]].
    std::vector<std::uint32_t> neighbourStart;
    std::vector<std::uint32_t> neighbours;
    // While the cubes are read: at each moving point (by address) the first corner of a cube there,
    // 8 i + k, and from each corner the next at the same point; the corners at fixed points.
    std::vector<std::uint32_t> firstAt;
    std::vector<std::uint32_t> nextAt;
    std::vector<CornerOwner> fixedOwners;
    std::vector<CubeLink> links;  // cubes that share a corner, each way round, as found
    std::vector<ContactBox> boxes;        // this step's bounding boxes
    std::vector<std::uint8_t> takesPart;  // closed, with a finite box this step
    std::vector<float> keys;              // this step's sweep key of each cube
    std::vector<std::uint32_t> bands;     // and its band
    std::vector<SweepBand> bandRanges;
    std::vector<std::uint32_t> sorted;    // cube indices by the sweep key (kept: the next step starts from it)
    SweepLists sweep;
    std::vector<std::uint64_t> pairs;     // candidate pairs, i << 32 | j with i < j
    // The friction springs of the pairs that touched in the last step, by pair: state that the
    // step keeps, as the points' positions are. When the scene's order is read anew they start
    // slack (a scene that changes starts its friction afresh).
    std::vector<PairStretch> stretches;
    std::vector<PairStretch> nextStretches;
    std::vector<CubeNow> now;
    std::uint64_t pass = 0;
};

// Reads the scene's cubes (sceneCubes) into the records; `sortedMoving` holds the moving points
// sorted by address, to tell the moving corners.
void readContactCubes(ContactScratch& scratch, const std::vector<MassPoint*>& sortedMoving);
// Candidate pairs the records make room for, per cube (see readContactCubes).
inline constexpr std::size_t kPairsPerCube = 16;

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
