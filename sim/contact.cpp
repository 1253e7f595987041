#include "sim/contact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/constants.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

// Vec3 arithmetic that rounds after every operation, in the order written.
Vec3 plus(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 times(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }

// A point of a face's surface lattice: its face and its four bilinear weights on the face's
// corners (in face order), all exact quarters.
struct Sample {
    int face;
    float weight[4];
};

constexpr int kLattice = 4;  // quarter edges
constexpr float kFaceSamples = (kLattice + 1) * (kLattice + 1);
constexpr int kSampleCount = 6 * (kLattice + 1) * (kLattice + 1) - 12 * (kLattice - 1) - 8 * 2;  // 98

// The corners' places on the lattice, in quarters: corner k of a cube of edge 1 lies at
// (x, y, z) with x toward -x, as the cube builds it.
constexpr int kCornerAt[8][3] = {{0, 0, 0}, {0, 4, 0}, {4, 4, 0}, {4, 0, 0},
                                 {0, 0, 4}, {0, 4, 4}, {4, 4, 4}, {4, 0, 4}};

// The samples by face, each lattice point once (on the first face that has it), each face row
// by row (v, then u).
constexpr std::array<Sample, kSampleCount> makeSamples() {
    std::array<Sample, kSampleCount> samples{};
    bool seen[kLattice + 1][kLattice + 1][kLattice + 1] = {};
    int n = 0;
    for (int f = 0; f < 6; ++f) {
        for (int v = 0; v <= kLattice; ++v) {
            for (int u = 0; u <= kLattice; ++u) {
                const int w[4] = {(kLattice - u) * (kLattice - v), u * (kLattice - v), u * v, (kLattice - u) * v};
                int at[3] = {};
                for (int k = 0; k < 4; ++k) {
                    for (int axis = 0; axis < 3; ++axis) at[axis] += w[k] * kCornerAt[kCubeFaces[f][k]][axis];
                }
                bool& taken = seen[at[0] / 16][at[1] / 16][at[2] / 16];
                if (taken) continue;
                taken = true;
                Sample& s = samples[static_cast<std::size_t>(n++)];
                s.face = f;
                for (int k = 0; k < 4; ++k) s.weight[k] = static_cast<float>(w[k]) / (kLattice * kLattice);
            }
        }
    }
    return samples;
}

constexpr std::array<Sample, kSampleCount> kSamples = makeSamples();

// The first sample of each face, and one past the last.
constexpr std::array<int, 7> faceStarts() {
    std::array<int, 7> starts{};
    for (int f = 0, i = 0; f <= 6; ++f) {
        while (i < kSampleCount && kSamples[static_cast<std::size_t>(i)].face < f) ++i;
        starts[static_cast<std::size_t>(f)] = i;
    }
    return starts;
}
constexpr std::array<int, 7> kFaceStart = faceStarts();

bool overlaps(const ContactBox& a, const ContactBox& b) {
    return a.lo[0] <= b.hi[0] && b.lo[0] <= a.hi[0] && a.lo[1] <= b.hi[1] && b.lo[1] <= a.hi[1] &&
           a.lo[2] <= b.hi[2] && b.lo[2] <= a.hi[2];
}

bool contains(const ContactBox& box, const Vec3& p) {
    return p.x >= box.lo[0] && p.x <= box.hi[0] && p.y >= box.lo[1] && p.y <= box.hi[1] && p.z >= box.lo[2] &&
           p.z <= box.hi[2];
}

ContactBox common(const ContactBox& a, const ContactBox& b) {
    ContactBox c;
    for (int axis = 0; axis < 3; ++axis) {
        c.lo[axis] = std::max(a.lo[axis], b.lo[axis]);
        c.hi[axis] = std::min(a.hi[axis], b.hi[axis]);
    }
    return c;
}

template <std::size_t N>
ContactBox boundsOf(const Vec3 (&points)[N]) {
    ContactBox box{{points[0].x, points[0].y, points[0].z}, {points[0].x, points[0].y, points[0].z}};
    for (std::size_t k = 1; k < N; ++k) {
        const float at[3] = {points[k].x, points[k].y, points[k].z};
        for (int axis = 0; axis < 3; ++axis) {
            box.lo[axis] = std::min(box.lo[axis], at[axis]);
            box.hi[axis] = std::max(box.hi[axis], at[axis]);
        }
    }
    return box;
}

bool finiteBox(const ContactBox& box) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!std::isfinite(box.lo[axis]) || !std::isfinite(box.hi[axis])) return false;
    }
    return true;
}

bool shareCorner(const ContactCube& a, const ContactCube& b) {
    for (const MassPoint* p : a.corners) {
        for (const MassPoint* q : b.corners) {
            if (p == q) return true;
        }
    }
    return false;
}

// A cube whose springs are all whole is a closed box.
bool closedBox(const Cube& cube) {
    for (const Spring* s : cube.springs) {
        if (s->torn) return false;
    }
    return true;
}

void cornerPositions(const ContactCube& c, Vec3 out[8]) {
    for (int k = 0; k < 8; ++k) out[k] = c.corners[k]->position;
}

// A corner's velocity as contact sees it: a fixed corner does not move.
Vec3 cornerVelocity(const ContactCube& c, int corner) {
    return (c.moving >> corner & 1u) != 0 ? c.corners[corner]->velocity : Vec3{};
}

// sum of weight[k] * value of face corner k, in corner order, skipping weights of 0.
template <class Value>
Vec3 weighted(const float weight[4], Value value) {
    Vec3 sum{};
    for (int k = 0; k < 4; ++k) {
        if (weight[k] != 0.0f) sum = plus(sum, times(value(k), weight[k]));
    }
    return sum;
}

void addToFace(const ContactCube& c, int face, const float weight[4], const Vec3& force) {
    for (int k = 0; k < 4; ++k) {
        const int corner = kCubeFaces[face][k];
        if (weight[k] == 0.0f || (c.moving >> corner & 1u) == 0) continue;
        MassPoint& p = *c.corners[corner];
        p.force.x = p.force.x + weight[k] * force.x;
        p.force.y = p.force.y + weight[k] * force.y;
        p.force.z = p.force.z + weight[k] * force.z;
    }
}

Vec3 centreOf(const ContactCube& c) {
    Vec3 sum{};
    for (const MassPoint* p : c.corners) sum = plus(sum, p->position);
    return times(sum, 0.125f);
}

float unitClamp(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

struct ContactLaw {
    float stiffness;  // per unit mass
    float damping;    // per unit mass
    float friction;
};

// The mass that a pair's contact forces count with: the two cubes' reduced mass (as if each
// were rigid), so that a pair touching over a whole face rings at sqrt(2 * stiffness) rad/s
// and is damped alike whatever the masses. Each touching sample takes a share of it, as the
// 25 samples of a face share the face.
float pairMass(const ContactCube& i, const ContactCube& j) {
    const float mi = 8.0f * i.mass, mj = 8.0f * j.mass;
    return mi * mj / (mi + mj);
}

// One sample of a pair's cube inside the other: where its force goes on each cube, and what
// friction needs. Cube i is the pair's lower-numbered cube, j the other.
struct Contact {
    int faceI;
    float weightI[4];
    int faceJ;
    float weightJ[4];
    Vec3 push;       // the pressing force on i (j gets the opposite)
    float pressing;  // its size
    Vec3 slip;       // velocity of i's surface past j's there, across the normal
};

// The samples of one pair that touch: at most every sample of both cubes.
struct PairContacts {
    Contact at[2 * kSampleCount];
    int count = 0;
};

// The sample of `a` (face `face`, weights `w`) at p lies `inside.depth` deep in `b`, behind b's
// face `inside.face`: its pressing force (penalty and damping), recorded for the pair.
// `aIsI` tells which of the pair's cubes a is.
void press(const ContactCube& a, int face, const float w[4], const Vec3& p, const ContactCube& b,
           const FacePlanes& planes, Depth inside, const ContactLaw& law, float sampleMass, bool aIsI,
           PairContacts& out) {
    const Vec3 n = planes.normal[inside.face];
    const int* bFace = kCubeFaces[inside.face];
    // Where the sample is pushed to, on b's face, and its weights there.
    const Vec3 q = plus(p, times(n, inside.depth));
    const Vec3 b0 = b.corners[bFace[0]]->position;
    const Vec3 e1 = b.corners[bFace[1]]->position - b0;
    const Vec3 e3 = b.corners[bFace[3]]->position - b0;
    const float l1 = dot(e1, e1), l3 = dot(e3, e3);
    const float u = l1 > 0.0f ? unitClamp(dot(q - b0, e1) / l1) : 0.0f;
    const float v = l3 > 0.0f ? unitClamp(dot(q - b0, e3) / l3) : 0.0f;
    const float wb[4] = {(1.0f - u) * (1.0f - v), u * (1.0f - v), u * v, (1.0f - u) * v};

    const Vec3 va = weighted(w, [&](int k) { return cornerVelocity(a, kCubeFaces[face][k]); });
    const Vec3 vb = weighted(wb, [&](int k) { return cornerVelocity(b, bFace[k]); });
    const Vec3 relative = va - vb;
    const float approach = dot(relative, n);  // negative while the sample moves in
    // Beyond kDeepestPush of the smaller edge a sample pushes no harder: a crushed or folded cube
    // sinks into another instead of flinging it away.
    const float depth = std::min(inside.depth, kDeepestPush * std::min(a.edge, b.edge));
    const float pressing = sampleMass * (law.stiffness * depth - law.damping * approach);
    if (!(pressing > 0.0f)) return;  // contact only pushes

    Contact& c = out.at[out.count++];
    const Vec3 push = times(n, pressing);
    const Vec3 slip = relative - times(n, approach);
    c.faceI = aIsI ? face : inside.face;
    c.faceJ = aIsI ? inside.face : face;
    for (int k = 0; k < 4; ++k) {
        c.weightI[k] = aIsI ? w[k] : wb[k];
        c.weightJ[k] = aIsI ? wb[k] : w[k];
    }
    c.push = aIsI ? push : -push;
    c.pressing = pressing;
    c.slip = aIsI ? slip : -slip;
}

// The samples of `a` inside `b`; `both` is the intersection of their boxes.
void findInside(const ContactCube& a, const ContactCube& b, const FacePlanes& planes, const ContactBox& both,
                const ContactLaw& law, float sampleMass, bool aIsI, PairContacts& out) {
    const unsigned faces = facesToward(planes, centreOf(b), centreOf(a));
    for (int f = 0; f < 6; ++f) {
        Vec3 c[4];
        for (int k = 0; k < 4; ++k) c[k] = a.corners[kCubeFaces[f][k]]->position;
        if (!overlaps(boundsOf(c), both)) continue;  // the face's samples lie within its corners' box
        for (int s = kFaceStart[static_cast<std::size_t>(f)]; s < kFaceStart[static_cast<std::size_t>(f + 1)]; ++s) {
            const float* w = kSamples[static_cast<std::size_t>(s)].weight;
            const Vec3 p = weighted(w, [&](int k) { return c[k]; });
            if (!contains(both, p)) continue;
            const Depth inside = depthInside(planes, p, faces);
            if (inside.depth > 0.0f) press(a, f, w, p, b, planes, inside, law, sampleMass, aIsI, out);
        }
    }
}

// Friction of the pair as one, a spring that holds the two surfaces where they first touched:
// its stretch follows their mean slip (weighted by pressing), and it pulls back with the
// contact's stiffness and damping (per unit of the pair's mass), at most the friction
// coefficient times the whole pressing force. Beyond that the surfaces slide, and the stretch
// shrinks to what the bound holds. So a sideways load below the bound holds the cubes still,
// where a force against the slip alone would let it creep. `stretch` carries from step to step.
Vec3 pairFriction(const PairContacts& pair, float mass, const ContactLaw& law, Vec3& stretch) {
    float pressing = 0.0f;
    Vec3 slip{};
    for (int k = 0; k < pair.count; ++k) {
        pressing = pressing + pair.at[k].pressing;
        slip = plus(slip, times(pair.at[k].slip, pair.at[k].pressing));
    }
    slip = times(slip, 1.0f / pressing);
    stretch = plus(stretch, times(slip, kTimeStep));
    const Vec3 pull = times(plus(times(stretch, law.stiffness), times(slip, law.damping)), -mass);
    const float size = length(pull);
    const float bound = law.friction * pressing;
    if (!(size > bound)) return pull;
    const float share = bound / size;
    stretch = times(stretch, share);
    return times(pull, share);
}

// The pair's forces, in the order of its contacts: each contact's push and its share of the
// friction (as it presses) on i's face corners, then the opposite on j's.
void applyPair(const ContactCube& i, const ContactCube& j, const PairContacts& pair, const ContactLaw& law,
               Vec3& stretch) {
    const Vec3 friction = pairFriction(pair, pairMass(i, j), law, stretch);
    float pressing = 0.0f;
    for (int k = 0; k < pair.count; ++k) pressing = pressing + pair.at[k].pressing;
    for (int k = 0; k < pair.count; ++k) {
        const Contact& c = pair.at[k];
        const Vec3 force = plus(c.push, times(friction, c.pressing / pressing));
        addToFace(i, c.faceI, c.weightI, force);
        addToFace(j, c.faceJ, c.weightJ, -force);
    }
}

// Cube indices ordered by (key, index): a total order, so any sort gives the same result. The
// order of the last step is nearly right, so an insertion sort mostly just checks it; when it
// has moved many entries (the axis changed, or much moved), it leaves the rest to std::sort.
void sortByKey(std::vector<std::uint32_t>& order, const std::vector<float>& key) {
    auto before = [&](std::uint32_t x, std::uint32_t y) { return key[x] != key[y] ? key[x] < key[y] : x < y; };
    const std::size_t n = order.size();
    std::size_t moves = 0;
    for (std::size_t at = 1; at < n; ++at) {
        const std::uint32_t item = order[at];
        std::size_t to = at;
        while (to > 0 && before(item, order[to - 1])) {
            order[to] = order[to - 1];
            --to;
        }
        order[to] = item;
        moves += at - to;
        if (moves > 4 * n) {
            std::sort(order.begin(), order.end(), before);
            return;
        }
    }
}

// Bounding boxes and the sweep: the pairs that may touch, sorted by cube numbers. Cubes that
// share a corner never touch, nor does a cube with a torn spring.
void findPairs(ContactScratch& s) {
    const std::size_t n = s.cubes.size();
    float lowest[3] = {INFINITY, INFINITY, INFINITY}, highest[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < n; ++i) {
        Vec3 corners[8];
        cornerPositions(s.cubes[i], corners);
        s.boxes[i] = boundsOf(corners);
        s.takesPart[i] = finiteBox(s.boxes[i]);
        if (!s.takesPart[i]) continue;
        for (int axis = 0; axis < 3; ++axis) {
            lowest[axis] = std::min(lowest[axis], s.boxes[i].lo[axis]);
            highest[axis] = std::max(highest[axis], s.boxes[i].lo[axis]);
        }
    }
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (highest[a] - lowest[a] > highest[axis] - lowest[axis]) axis = a;
    }
    // Cubes out of play sort last.
    for (std::size_t i = 0; i < n; ++i) s.keys[i] = s.takesPart[i] ? s.boxes[i].lo[axis] : INFINITY;
    sortByKey(s.sorted, s.keys);
    s.pairs.clear();
    for (std::size_t at = 0; at < n; ++at) {
        const std::uint32_t i = s.sorted[at];
        if (!s.takesPart[i]) break;
        for (std::size_t next = at + 1; next < n; ++next) {
            const std::uint32_t j = s.sorted[next];
            if (!s.takesPart[j] || s.boxes[j].lo[axis] > s.boxes[i].hi[axis]) break;
            if (!overlaps(s.boxes[i], s.boxes[j]) || shareCorner(s.cubes[i], s.cubes[j])) continue;
            if (!closedBox(*s.cubes[i].cube) || !closedBox(*s.cubes[j].cube)) continue;
            s.pairs.push_back(std::uint64_t{std::min(i, j)} << 32 | std::max(i, j));
        }
    }
    std::sort(s.pairs.begin(), s.pairs.end());
}

PairContacts& pairContacts() {
    static PairContacts contacts;  // one pair at a time; too big for the stack of a web worker
    return contacts;
}

const FacePlanes& planesOf(ContactScratch& s, std::uint32_t i) {
    if (s.planesPass[i] != s.pass) {
        Vec3 corners[8];
        cornerPositions(s.cubes[i], corners);
        s.planes[i] = facePlanes(corners);
        s.planesPass[i] = s.pass;
    }
    return s.planes[i];
}

}  // namespace

FacePlanes facePlanes(const Vec3 corners[8]) {
    FacePlanes planes{};
    planes.valid = true;
    for (int f = 0; f < 6; ++f) {
        const Vec3 c0 = corners[kCubeFaces[f][0]], c1 = corners[kCubeFaces[f][1]];
        const Vec3 c2 = corners[kCubeFaces[f][2]], c3 = corners[kCubeFaces[f][3]];
        const Vec3 across = cross(c2 - c0, c3 - c1);
        const float size = length(across);
        if (!(size > 0.0f) || !std::isfinite(size)) {
            planes.valid = false;
            return planes;
        }
        const Vec3 n = times(across, 1.0f / size);
        const Vec3 centre = times(plus(plus(plus(c0, c1), c2), c3), 0.25f);
        planes.normal[f] = n;
        planes.offset[f] = dot(n, centre);
    }
    // A cube turned inside out (a face's normal pointing into it) has no inside that means anything.
    Vec3 middle{};
    for (int k = 0; k < 8; ++k) middle = plus(middle, corners[k]);
    middle = times(middle, 0.125f);
    for (int f = 0; f < 6; ++f) {
        if (!(planes.offset[f] - dot(planes.normal[f], middle) > 0.0f)) planes.valid = false;
    }
    return planes;
}

Depth depthInside(const FacePlanes& planes, const Vec3& p, unsigned faces) {
    Depth least{0.0f, -1};
    if (!planes.valid) return least;
    for (int f = 0; f < 6; ++f) {
        const float d = planes.offset[f] - dot(planes.normal[f], p);
        if (!(d > 0.0f)) return Depth{0.0f, -1};
        if ((faces >> f & 1u) != 0 && (least.face < 0 || d < least.depth)) least = Depth{d, f};
    }
    return least.face < 0 ? Depth{0.0f, -1} : least;
}

unsigned facesToward(const FacePlanes& planes, const Vec3& from, const Vec3& to) {
    const Vec3 d = to - from;
    const float reach = kFacingShare * length(d);
    unsigned faces = 0;
    for (int f = 0; f < 6; ++f) {
        if (dot(planes.normal[f], d) > reach) faces |= 1u << f;
    }
    return faces != 0 ? faces : kAllFaces;
}

void readContactCubes(ContactScratch& s, const std::vector<MassPoint*>& sortedMoving) {
    const std::vector<Cube*>& cubes = sceneCubes();
    s.cubes.clear();
    for (const Cube* cube : cubes) {
        ContactCube c{};
        c.cube = cube;
        c.mass = cube->corners[0]->mass;
        c.edge = cube->edge;
        for (int k = 0; k < 8; ++k) {
            c.corners[k] = cube->corners[k];
            if (std::binary_search(sortedMoving.begin(), sortedMoving.end(), cube->corners[k], std::less<>())) {
                c.moving = static_cast<std::uint8_t>(c.moving | 1u << k);
            }
        }
        s.cubes.push_back(c);
    }
    const std::size_t n = s.cubes.size();
    s.boxes.resize(n);
    s.takesPart.resize(n);
    s.planes.resize(n);
    s.planesPass.assign(n, 0);
    s.pass = 0;
    s.keys.resize(n);
    s.sorted.resize(n);
    for (std::size_t i = 0; i < n; ++i) s.sorted[i] = static_cast<std::uint32_t>(i);
    s.pairs.reserve(4 * n + 16);
    s.stretches.clear();
    s.stretches.reserve(4 * n + 16);
    s.nextStretches.reserve(4 * n + 16);
}

void releaseFrictionSprings() { contactScratch().stretches.clear(); }

const std::vector<PairStretch>& frictionSprings() { return contactScratch().stretches; }

void setFrictionSprings(const std::vector<PairStretch>& springs) { contactScratch().stretches = springs; }

void applyContactForces() {
    sceneOrder();  // reads the cubes anew when the scene has changed
    ContactScratch& s = contactScratch();
    if (s.cubes.size() < 2) return;
    ++s.pass;
    findPairs(s);
    const ContactLaw law{settings.contactStiffness, settings.contactDamping, settings.friction};
    // The friction springs of the pairs that touched in the last step, by pair; those of the
    // pairs that touch now go into `held`, in the same order.
    const std::vector<PairStretch>& last = s.stretches;
    std::vector<PairStretch>& held = s.nextStretches;
    held.clear();
    std::size_t before = 0;
    for (const std::uint64_t pair : s.pairs) {
        const auto i = static_cast<std::uint32_t>(pair >> 32), j = static_cast<std::uint32_t>(pair);
        const ContactCube &a = s.cubes[i], &b = s.cubes[j];
        const ContactBox both = common(s.boxes[i], s.boxes[j]);
        PairContacts& touching = pairContacts();
        touching.count = 0;
        const float sampleMass = pairMass(a, b) / kFaceSamples;
        findInside(a, b, planesOf(s, j), both, law, sampleMass, true, touching);
        findInside(b, a, planesOf(s, i), both, law, sampleMass, false, touching);
        if (touching.count == 0) continue;
        while (before < last.size() && last[before].pair < pair) ++before;
        Vec3 stretch = before < last.size() && last[before].pair == pair ? last[before].stretch : Vec3{};
        applyPair(a, b, touching, law, stretch);
        held.push_back(PairStretch{pair, stretch});
    }
    s.stretches.swap(s.nextStretches);
}
