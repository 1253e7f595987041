#include "sim/contact.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/constants.h"
#include "sim/lanes.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

// Vec3 arithmetic that rounds after every operation, in the order written.
Vec3 plus(const Vec3& a, const Vec3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 times(const Vec3& a, float s) { return {a.x * s, a.y * s, a.z * s}; }

// Bit q set where lane q of a comparison holds.
unsigned bitsOf(Mask4 m) {
#if defined(__SSE__)
    return static_cast<unsigned>(_mm_movemask_ps(reinterpret_cast<__m128>(m)));
#else
    return (m[0] != 0 ? 1u : 0u) | (m[1] != 0 ? 2u : 0u) | (m[2] != 0 ? 4u : 0u) | (m[3] != 0 ? 8u : 0u);
#endif
}
Float4 load4(const float* at) { return loadFloat4(at); }

// A point of a face's surface lattice: its face, its place on the face in quarters (u from
// the face's corner 0 toward corner 1, v toward corner 3) and its four bilinear weights on the
// face's corners (in face order), all exact quarters.
struct Sample {
    int face;
    int u, v;
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
                s.u = u;
                s.v = v;
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

// A row of a face's samples: its v, which of its lattice points (bit u) are samples of this
// face, and the number of each.
struct SampleRow {
    int v;
    unsigned owned;
    int sample[kLattice + 1];
};
constexpr int kMostRows = 6 * (kLattice + 1);
struct SampleRows {
    SampleRow row[kMostRows];
    int faceStart[7];  // the first row of each face, and one past the last
};
constexpr SampleRows sampleRows() {
    SampleRows rows{};
    int n = 0;
    for (int f = 0; f < 6; ++f) {
        rows.faceStart[f] = n;
        for (int s = kFaceStart[static_cast<std::size_t>(f)]; s < kFaceStart[static_cast<std::size_t>(f + 1)]; ++s) {
            const Sample& sample = kSamples[static_cast<std::size_t>(s)];
            if (n == rows.faceStart[f] || rows.row[n - 1].v != sample.v) rows.row[n++] = SampleRow{sample.v, 0, {}};
            rows.row[n - 1].owned |= 1u << sample.u;
            rows.row[n - 1].sample[sample.u] = s;
        }
    }
    rows.faceStart[6] = n;
    return rows;
}
constexpr SampleRows kRows = sampleRows();

// Lattice steps as fractions of an edge, and what is left of the edge: exact quarters.
constexpr float kAlong[kLattice + 1] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
constexpr float kRest[kLattice + 1] = {1.0f, 0.75f, 0.5f, 0.25f, 0.0f};
// The same, steps 0 to 3 in the lanes of the first, step 4 in those of the second.
const Float4 kAlongFirst{0.0f, 0.25f, 0.5f, 0.75f}, kRestFirst{1.0f, 0.75f, 0.5f, 0.25f};
const Float4 kAlongLast{1.0f, 1.0f, 1.0f, 1.0f}, kRestLast{0.0f, 0.0f, 0.0f, 0.0f};

// The bounding box of a cube's corners.
ContactBox boxOf(const ContactCube& c) {
    Float4 lo = loadPositionAt1(*c.corners[0]), hi = lo;  // x, y, z in lanes 1 to 3
    for (int k = 1; k < 8; ++k) {
        const Float4 p = loadPositionAt1(*c.corners[k]);
        lo = p < lo ? p : lo;  // std::min(lo, p)
        hi = hi < p ? p : hi;  // std::max(hi, p)
    }
    return ContactBox{{lo[1], lo[2], lo[3]}, {hi[1], hi[2], hi[3]}};
}

bool finiteBox(const ContactBox& box) {
    for (int axis = 0; axis < 3; ++axis) {
        if (!std::isfinite(box.lo[axis]) || !std::isfinite(box.hi[axis])) return false;
    }
    return true;
}

// Whether cubes i and j share a corner: j among i's neighbours (a short ascending list).
bool shareCorner(const ContactScratch& s, std::uint32_t i, std::uint32_t j) {
    const std::uint32_t* n = s.neighbours.data();
    for (std::uint32_t k = s.neighbourStart[i], end = s.neighbourStart[i + 1]; k < end && n[k] <= j; ++k) {
        if (n[k] == j) return true;
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

// One cube of a pair as the pair's passes see it.
struct PairSide {
    const ContactCube& cube;
    const CubeNow& now;
};

// The sample of `a` (face `face`, weights `w`) at p lies `inside.depth` deep in `b`, behind b's
// face `inside.face`: its pressing force (penalty and damping), recorded for the pair.
// `aIsI` tells which of the pair's cubes a is.
void press(const ContactCube& a, int face, const float w[4], const Vec3& p, PairSide b, Depth inside,
           const ContactLaw& law, float sampleMass, bool aIsI, PairContacts& out) {
    const Vec3 n = b.now.planes.normal[inside.face];
    const int* bFace = kCubeFaces[inside.face];
    // Where the sample is pushed to, on b's face, and its weights there.
    const Vec3 q = plus(p, times(n, inside.depth));
    const Vec3 b0 = b.now.corner[bFace[0]];
    const Vec3 e1 = b.now.corner[bFace[1]] - b0;
    const Vec3 e3 = b.now.corner[bFace[3]] - b0;
    const float l1 = dot(e1, e1), l3 = dot(e3, e3);
    const float u = l1 > 0.0f ? unitClamp(dot(q - b0, e1) / l1) : 0.0f;
    const float v = l3 > 0.0f ? unitClamp(dot(q - b0, e3) / l3) : 0.0f;
    const float wb[4] = {(1.0f - u) * (1.0f - v), u * (1.0f - v), u * v, (1.0f - u) * v};

    const Vec3 va = weighted(w, [&](int k) { return cornerVelocity(a, kCubeFaces[face][k]); });
    const Vec3 vb = weighted(wb, [&](int k) { return cornerVelocity(b.cube, bFace[k]); });
    const Vec3 relative = va - vb;
    const float approach = dot(relative, n);  // negative while the sample moves in
    // Beyond kDeepestPush of the smaller edge a sample pushes no harder: a crushed or folded cube
    // sinks into another instead of flinging it away.
    const float depth = std::min(inside.depth, kDeepestPush * std::min(a.edge, b.cube.edge));
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

// Distances behind b's planes: dist[g][k] for plane g of b and corner k of a.
using CornerDistances = float[6][8];

// A sample's distance behind plane g, from the distances of its face's corners (`corners`, in face
// order): at the ends of its row (v), then between them (u). Distance is linear in position, so
// this is the sample's own distance; and from corners all outside a plane it gives a sample
// outside too, as from row ends both outside it.
float rowStart(const float* d, const int* corners, int v) {
    return d[corners[0]] * kRest[v] + d[corners[3]] * kAlong[v];
}
float rowEnd(const float* d, const int* corners, int v) {
    return d[corners[1]] * kRest[v] + d[corners[2]] * kAlong[v];
}
float between(float start, float end, int u) { return start * kRest[u] + end * kAlong[u]; }

// How deep the sample (u, v) of a's face `corners` lies inside b: the least distance behind a
// face of `faces`, and that face (0 and face -1: outside, not behind every plane).
Depth sampleDepth(const CornerDistances& dist, const int* corners, int u, int v, unsigned faces) {
    Depth least{0.0f, -1};
    for (int g = 0; g < 6; ++g) {
        const float d = between(rowStart(dist[g], corners, v), rowEnd(dist[g], corners, v), u);
        if (!(d > 0.0f)) return Depth{0.0f, -1};
        if ((faces >> g & 1u) != 0 && (least.face < 0 || d < least.depth)) least = Depth{d, g};
    }
    return least;
}

// For each set of a cube's corners (bit k: corner k), the faces none of whose corners are in
// it (bit f: face f), and the faces all of whose corners are.
struct FacesOfCorners {
    std::uint8_t none[256];
    std::uint8_t all[256];
};
constexpr FacesOfCorners facesOfCorners() {
    FacesOfCorners t{};
    for (unsigned set = 0; set < 256; ++set) {
        for (int f = 0; f < 6; ++f) {
            unsigned in = 0;
            for (int k = 0; k < 4; ++k) in += set >> kCubeFaces[f][k] & 1u;
            if (in == 0) t.none[set] = static_cast<std::uint8_t>(t.none[set] | 1u << f);
            if (in == 4) t.all[set] = static_cast<std::uint8_t>(t.all[set] | 1u << f);
        }
    }
    return t;
}
constexpr FacesOfCorners kFacesOf = facesOfCorners();

// The samples of `a` inside `b`. A sample's distance behind each of b's planes comes from those
// of its face's corners, so a cube whose eight corners all lie outside one plane has no sample
// inside, nor has a face whose four corners do, nor a row whose two ends do.
void findInside(PairSide a, PairSide b, const ContactLaw& law, float sampleMass, bool aIsI, PairContacts& out) {
    const FacePlanes& planes = b.now.planes;
    if (!planes.valid) return;
    // The distances of a's corners behind b's planes, four corners at a time; the plane that
    // faces a most is taken first, as the one that a most likely lies wholly outside.
    const Vec3 toward = a.now.centre - b.now.centre;
    int first = 0;
    float most = dot(planes.normal[0], toward);
    for (int f = 1; f < 6; ++f) {
        const float along = dot(planes.normal[f], toward);
        if (along > most) {
            most = along;
            first = f;
        }
    }
    // Corners 0 to 3 and 4 to 7, four at a time.
    const Float4 x0 = load4(a.now.x), y0 = load4(a.now.y), z0 = load4(a.now.z);
    const Float4 x1 = load4(a.now.x + 4), y1 = load4(a.now.y + 4), z1 = load4(a.now.z + 4);
    const Float4 zero = broadcast4(0.0f);
    CornerDistances dist;
    unsigned behind[6];  // bit k: corner k lies behind plane g
    for (int t = 0; t < 6; ++t) {
        const int g = t == 0 ? first : (t <= first ? t - 1 : t);
        const Float4 nx = broadcast4(planes.normal[g].x), ny = broadcast4(planes.normal[g].y);
        const Float4 nz = broadcast4(planes.normal[g].z), offset = broadcast4(planes.offset[g]);
        // offset - dot(n, corner), as dot rounds: (n.x x + n.y y) + n.z z
        const Float4 d0 = offset - ((nx * x0 + ny * y0) + nz * z0);
        const Float4 d1 = offset - ((nx * x1 + ny * y1) + nz * z1);
        std::memcpy(dist[g], &d0, sizeof d0);
        std::memcpy(dist[g] + 4, &d1, sizeof d1);
        behind[g] = bitsOf(d0 > zero) | bitsOf(d1 > zero) << 4;
        if (behind[g] == 0) return;  // a lies wholly outside plane g
    }
    // Faces that lie wholly outside one of b's planes, and for each plane the faces wholly behind it.
    unsigned outsideOne = 0, wholly[6];
    for (int g = 0; g < 6; ++g) {
        outsideOne |= kFacesOf.none[behind[g]];
        wholly[g] = kFacesOf.all[behind[g]];
    }
    unsigned faces = 0;  // b's faces that a sample may be pushed out through, found at the first sample inside
    for (int f = 0; f < 6; ++f) {
        if ((outsideOne >> f & 1u) != 0) continue;
        const int* corners = kCubeFaces[f];
        // The planes that some of the face's corners lie outside: only these can rule a sample
        // out. For each, its distances at the starts and ends of the face's five rows (the last
        // in the second four lanes), and the rows whose two ends both lie outside it.
        Float4 start[6][2], end[6][2];
        int opens = 0;
        unsigned rowsOutside = 0;
        for (int g = 0; g < 6; ++g) {
            if ((wholly[g] >> f & 1u) != 0) continue;
            const Float4 d0 = broadcast4(dist[g][corners[0]]), d1 = broadcast4(dist[g][corners[1]]);
            const Float4 d2 = broadcast4(dist[g][corners[2]]), d3 = broadcast4(dist[g][corners[3]]);
            Float4* s0 = start[opens];
            Float4* e0 = end[opens];
            s0[0] = d0 * kRestFirst + d3 * kAlongFirst;
            s0[1] = d0 * kRestLast + d3 * kAlongLast;
            e0[0] = d1 * kRestFirst + d2 * kAlongFirst;
            e0[1] = d1 * kRestLast + d2 * kAlongLast;
            // Bit v: an end of row v lies behind the plane.
            const unsigned endBehind = bitsOf((s0[0] > zero) | (e0[0] > zero)) |
                                       (bitsOf((s0[1] > zero) | (e0[1] > zero)) & 1u) << 4;
            rowsOutside |= ~endBehind;
            ++opens;
        }
        for (int r = kRows.faceStart[f]; r < kRows.faceStart[f + 1]; ++r) {
            const SampleRow& row = kRows.row[r];
            if ((rowsOutside >> row.v & 1u) != 0) continue;
            // The row's samples behind every open plane: between the row's ends, u = 0 to 3 in
            // the first four lanes, u = 4 in the second.
            unsigned in = row.owned;
            const int half = row.v >> 2, lane = row.v & 3;
            for (int o = 0; o < opens && in != 0; ++o) {
                const Float4 rowStart = broadcast4(start[o][half][lane]), rowEnd = broadcast4(end[o][half][lane]);
                const Float4 first = rowStart * kRestFirst + rowEnd * kAlongFirst;
                const Float4 last = rowStart * kRestLast + rowEnd * kAlongLast;
                in &= bitsOf(first > zero) | (bitsOf(last > zero) & 1u) << 4;
            }
            for (; in != 0; in &= in - 1) {
                const int u = __builtin_ctz(in);
                const Sample& sample = kSamples[static_cast<std::size_t>(row.sample[u])];
                if (faces == 0) faces = facesToward(planes, b.now.centre, a.now.centre);
                const Depth inside = sampleDepth(dist, corners, u, row.v, faces);
                if (!(inside.depth > 0.0f)) continue;
                const Vec3 p = weighted(sample.weight, [&](int k) { return a.now.corner[corners[k]]; });
                press(a.cube, f, sample.weight, p, b, inside, law, sampleMass, aIsI, out);
            }
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

// End marks after each band of the sweep, and after the last: a scan reads four entries at a time.
constexpr std::size_t kSweepEnd = 4;
// A band axis whose cubes spread over more than this many band widths is not cut into bands:
// below it, rounding cannot put two cubes whose boxes meet more than one band apart.
constexpr float kMostBands = 1048576.0f;  // 2^20

// Cube indices ordered by (band, key, index): a total order, so any sort gives the same result.
// The order of the last step is nearly right, so an insertion sort mostly just checks it; when it
// has moved many entries (the axis changed, or much moved), it leaves the rest to std::sort.
void sortByKey(std::vector<std::uint32_t>& order, const std::vector<std::uint32_t>& band,
               const std::vector<float>& key) {
    auto before = [&](std::uint32_t x, std::uint32_t y) {
        if (band[x] != band[y]) return band[x] < band[y];
        return key[x] != key[y] ? key[x] < key[y] : x < y;
    };
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

// The cubes from `from` on in the sweep's lists that start (along the sweep's axis) no later
// than entry `at` ends and whose boxes meet its box: found(entry). Stops at the first that starts
// later, or at an end mark.
template <class Found>
void scan(const SweepLists& l, std::size_t at, std::size_t from, Found found) {
    const Float4 hi = broadcast4(l.hi[at]), lo1 = broadcast4(l.lo1[at]), hi1 = broadcast4(l.hi1[at]);
    const Float4 lo2 = broadcast4(l.lo2[at]), hi2 = broadcast4(l.hi2[at]);
    for (std::size_t next = from;; next += 4) {
        const Mask4 reach = load4(&l.lo[next]) <= hi;
        const Mask4 meet = reach & (load4(&l.lo1[next]) <= hi1) & (lo1 <= load4(&l.hi1[next])) &
                           (load4(&l.lo2[next]) <= hi2) & (lo2 <= load4(&l.hi2[next]));
        for (unsigned bits = bitsOf(meet); bits != 0; bits &= bits - 1) {
            found(next + static_cast<std::size_t>(__builtin_ctz(bits)));
        }
        if (reach[3] == 0) return;  // sorted by where they start: the rest start later still
    }
}

// Bounding boxes and the sweep: the pairs that may touch, sorted by cube numbers. Cubes that
// share a corner never touch, nor does a cube with a torn spring. The sweep runs along the axis
// over which the boxes spread most, within bands across the next widest: a band is twice as
// wide as the widest box there, so boxes that meet lie in one band or in two next to each other.
void findPairs(ContactScratch& s) {
    const std::size_t n = s.cubes.size();
    float lowest[3] = {INFINITY, INFINITY, INFINITY}, highest[3] = {-INFINITY, -INFINITY, -INFINITY};
    float widest[3] = {0.0f, 0.0f, 0.0f};
    for (std::size_t i = 0; i < n; ++i) {
        const ContactCube& c = s.cubes[i];
        s.takesPart[i] = 0;
        if (!c.closed) continue;
        const ContactBox box = boxOf(c);
        s.boxes[i] = box;
        if (!finiteBox(box)) continue;
        s.takesPart[i] = 1;
        for (int axis = 0; axis < 3; ++axis) {
            lowest[axis] = std::min(lowest[axis], box.lo[axis]);
            highest[axis] = std::max(highest[axis], box.lo[axis]);
            widest[axis] = std::max(widest[axis], box.hi[axis] - box.lo[axis]);
        }
    }
    float spread[3];
    for (int axis = 0; axis < 3; ++axis) spread[axis] = highest[axis] - lowest[axis];
    int axis = 0;
    for (int a = 1; a < 3; ++a) {
        if (spread[a] > spread[axis]) axis = a;
    }
    const int other1 = axis == 0 ? 1 : 0, other2 = axis == 2 ? 1 : 2;
    const int across = spread[other2] > spread[other1] ? other2 : other1;
    const float bandWidth = 2.0f * widest[across];
    const bool banded = bandWidth > 0.0f && spread[across] / bandWidth <= kMostBands;
    // Cubes out of play sort last.
    for (std::size_t i = 0; i < n; ++i) {
        const ContactBox& b = s.boxes[i];
        s.keys[i] = s.takesPart[i] ? b.lo[axis] : INFINITY;
        s.bands[i] = !s.takesPart[i] ? UINT32_MAX
                     : banded        ? static_cast<std::uint32_t>((b.lo[across] - lowest[across]) / bandWidth)
                                     : 0;
    }
    sortByKey(s.sorted, s.bands, s.keys);
    // The cubes in play in sweep order, their intervals side by side, each band followed by end
    // marks; and where each band starts and ends.
    SweepLists& l = s.sweep;
    s.bandRanges.clear();
    std::size_t at = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint32_t i = s.sorted[k];
        if (!s.takesPart[i]) break;
        if (k == 0 || s.bands[i] != s.bands[s.sorted[k - 1]]) {
            if (k > 0) {
                s.bandRanges.back().end = at;
                for (std::size_t e = 0; e < kSweepEnd; ++e) l.lo[at++] = INFINITY;
            }
            s.bandRanges.push_back(SweepBand{s.bands[i], at, at});
        }
        const ContactBox& b = s.boxes[i];
        l.lo[at] = b.lo[axis];
        l.hi[at] = b.hi[axis];
        l.lo1[at] = b.lo[other1];
        l.hi1[at] = b.hi[other1];
        l.lo2[at] = b.lo[other2];
        l.hi2[at] = b.hi[other2];
        l.cube[at++] = i;
    }
    if (!s.bandRanges.empty()) s.bandRanges.back().end = at;
    for (std::size_t e = 0; e < kSweepEnd; ++e) l.lo[at++] = INFINITY;

    s.pairs.clear();
    auto pair = [&](std::size_t x, std::size_t y) {
        const std::uint32_t i = std::min(l.cube[x], l.cube[y]), j = std::max(l.cube[x], l.cube[y]);
        if (!shareCorner(s, i, j)) s.pairs.push_back(std::uint64_t{i} << 32 | j);
    };
    for (std::size_t b = 0; b < s.bandRanges.size(); ++b) {
        const SweepBand band = s.bandRanges[b];
        // Within the band: each cube against those after it.
        for (std::size_t x = band.begin; x < band.end; ++x) scan(l, x, x + 1, [&](std::size_t y) { pair(x, y); });
        if (b + 1 == s.bandRanges.size() || s.bandRanges[b + 1].band != band.band + 1) continue;
        // Against the next band, each pair once: a cube of this band against those of the next
        // that start no earlier, and a cube of the next against those of this band that start later.
        const SweepBand next = s.bandRanges[b + 1];
        std::size_t from = next.begin;
        for (std::size_t x = band.begin; x < band.end; ++x) {
            while (from < next.end && l.lo[from] < l.lo[x]) ++from;
            scan(l, x, from, [&](std::size_t y) { pair(x, y); });
        }
        from = band.begin;
        for (std::size_t y = next.begin; y < next.end; ++y) {
            while (from < band.end && l.lo[from] <= l.lo[y]) ++from;
            scan(l, y, from, [&](std::size_t x) { pair(x, y); });
        }
    }
    std::sort(s.pairs.begin(), s.pairs.end());
}

PairContacts& pairContacts() {
    static PairContacts contacts;  // one pair at a time; too big for the stack of a web worker
    return contacts;
}

// Four faces side by side, lane by lane: faces 0 to 3, or 4 and 5 and then 0 and 1 again.
constexpr int kLaneFace[2][4] = {{0, 1, 2, 3}, {4, 5, 0, 1}};
Float4 sqrt4(Float4 v) {
    return Float4{__builtin_sqrtf(v[0]), __builtin_sqrtf(v[1]), __builtin_sqrtf(v[2]), __builtin_sqrtf(v[3])};
}

// Corner k of the faces of half H of the lanes, coordinate by coordinate, from the eight corners'
// coordinates (corners 0 to 3, then 4 to 7).
template <int H, int K>
Vec3Of<Float4> faceCorners(const Float4 (&x)[2], const Float4 (&y)[2], const Float4 (&z)[2]) {
    constexpr int a = kCubeFaces[kLaneFace[H][0]][K], b = kCubeFaces[kLaneFace[H][1]][K];
    constexpr int c = kCubeFaces[kLaneFace[H][2]][K], d = kCubeFaces[kLaneFace[H][3]][K];
    return {__builtin_shufflevector(x[0], x[1], a, b, c, d), __builtin_shufflevector(y[0], y[1], a, b, c, d),
            __builtin_shufflevector(z[0], z[1], a, b, c, d)};
}

// The planes of half H of the lanes' faces; false when a face has no area, or no finite one.
template <int H>
bool planesOfHalf(const Float4 (&x)[2], const Float4 (&y)[2], const Float4 (&z)[2], FacePlanes& planes) {
    const Vec3Of<Float4> c0 = faceCorners<H, 0>(x, y, z), c1 = faceCorners<H, 1>(x, y, z);
    const Vec3Of<Float4> c2 = faceCorners<H, 2>(x, y, z), c3 = faceCorners<H, 3>(x, y, z);
    const Vec3Of<Float4> across = cross(c2 - c0, c3 - c1);
    const Float4 size = sqrt4(dot(across, across));  // length(across)
    if (bitsOf((size > broadcast4(0.0f)) & (size < broadcast4(INFINITY))) != 0xf) return false;
    const Float4 inverse = broadcast4(1.0f) / size;
    const Vec3Of<Float4> n{across.x * inverse, across.y * inverse, across.z * inverse};
    const Float4 quarter = broadcast4(0.25f);
    const Vec3Of<Float4> centre{(((c0.x + c1.x) + c2.x) + c3.x) * quarter, (((c0.y + c1.y) + c2.y) + c3.y) * quarter,
                                (((c0.z + c1.z) + c2.z) + c3.z) * quarter};
    const Float4 offset = dot(n, centre);
    for (int lane = 0; lane < (H == 0 ? 4 : 2); ++lane) {
        planes.normal[kLaneFace[H][lane]] = Vec3{n.x[lane], n.y[lane], n.z[lane]};
        planes.offset[kLaneFace[H][lane]] = offset[lane];
    }
    return true;
}

// The planes of the corners at x, y, z (facePlanes), four faces at a time: each lane rounds as
// the plane of one face alone would.
FacePlanes planesOf(const float* x, const float* y, const float* z) {
    const Float4 xs[2] = {load4(x), load4(x + 4)}, ys[2] = {load4(y), load4(y + 4)}, zs[2] = {load4(z), load4(z + 4)};
    FacePlanes planes;
    if (!planesOfHalf<0>(xs, ys, zs, planes) || !planesOfHalf<1>(xs, ys, zs, planes)) return FacePlanes{};
    planes.valid = true;
    // A cube turned inside out (a face's normal pointing into it) has no inside that means anything.
    Vec3 middle{};
    for (int k = 0; k < 8; ++k) middle = plus(middle, Vec3{x[k], y[k], z[k]});
    middle = times(middle, 0.125f);
    for (int f = 0; f < 6; ++f) {
        if (!(planes.offset[f] - dot(planes.normal[f], middle) > 0.0f)) planes.valid = false;
    }
    return planes;
}

// Cube i's corners, centre and planes in this pass.
const CubeNow& cubeNow(ContactScratch& s, std::uint32_t i) {
    CubeNow& now = s.now[i];
    if (now.pass != s.pass) {
        cornerPositions(s.cubes[i], now.corner);
        Vec3 sum{};
        for (int k = 0; k < 8; ++k) {
            const Vec3 p = now.corner[k];
            sum = plus(sum, p);
            now.x[k] = p.x;
            now.y[k] = p.y;
            now.z[k] = p.z;
        }
        now.centre = times(sum, 0.125f);
        now.planes = planesOf(now.x, now.y, now.z);
        now.pass = s.pass;
    }
    return now;
}

}  // namespace

FacePlanes facePlanes(const Vec3 corners[8]) {
    float x[8], y[8], z[8];
    for (int k = 0; k < 8; ++k) {
        x[k] = corners[k].x;
        y[k] = corners[k].y;
        z[k] = corners[k].z;
    }
    return planesOf(x, y, z);
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
    const std::size_t n = cubes.size();
    constexpr std::uint32_t kNone = UINT32_MAX;
    s.stale = false;
    s.cubes.clear();
    // Each cube's corners, 8 i + k: the moving ones are looked up among the moving points, and
    // the corners at each moving point chained together (firstAt, nextAt); the others are kept
    // apart, to be sorted by point.
    const std::less<const MassPoint*> less;
    s.firstAt.assign(sortedMoving.size(), kNone);
    s.nextAt.assign(8 * n, kNone);
    s.fixedOwners.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const Cube* cube = cubes[i];
        ContactCube c{};
        c.cube = cube;
        c.mass = cube->corners[0]->mass;
        c.edge = cube->edge;
        c.closed = closedBox(*cube);
        for (int k = 0; k < 8; ++k) {
            MassPoint* point = cube->corners[k];
            c.corners[k] = point;
            const auto code = static_cast<std::uint32_t>(8 * i + static_cast<std::size_t>(k));
            const auto at = std::lower_bound(sortedMoving.begin(), sortedMoving.end(), point, less);
            if (at != sortedMoving.end() && *at == point) {
                c.moving = static_cast<std::uint8_t>(c.moving | 1u << k);
                std::uint32_t& first = s.firstAt[static_cast<std::size_t>(at - sortedMoving.begin())];
                s.nextAt[code] = first;
                first = code;
            } else {
                s.fixedOwners.push_back(CornerOwner{point, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(k)});
            }
        }
        s.cubes.push_back(c);
    }
    std::sort(s.fixedOwners.begin(), s.fixedOwners.end(),
              [&](const CornerOwner& x, const CornerOwner& y) { return less(x.point, y.point); });
    // Every two cubes with a corner at one point, both ways round.
    s.links.clear();
    for (const std::uint32_t first : s.firstAt) {
        if (first == kNone || s.nextAt[first] == kNone) continue;
        for (std::uint32_t x = first; x != kNone; x = s.nextAt[x]) {
            for (std::uint32_t y = first; y != kNone; y = s.nextAt[y]) {
                if (x / 8 != y / 8) s.links.push_back(CubeLink{x / 8, y / 8});
            }
        }
    }
    for (std::size_t at = 0, end = 0; at < s.fixedOwners.size(); at = end) {
        for (end = at; end < s.fixedOwners.size() && s.fixedOwners[end].point == s.fixedOwners[at].point; ++end) {}
        for (std::size_t x = at; x < end; ++x) {
            for (std::size_t y = at; y < end; ++y) {
                const std::uint32_t i = s.fixedOwners[x].cube, j = s.fixedOwners[y].cube;
                if (i != j) s.links.push_back(CubeLink{i, j});
            }
        }
    }
    // Each cube's neighbours: counted, placed, then each list sorted and kept once.
    std::vector<std::uint32_t>& start = s.neighbourStart;
    start.assign(n + 1, 0);
    for (const CubeLink& l : s.links) ++start[l.from + 1];
    for (std::size_t i = 0; i < n; ++i) start[i + 1] += start[i];
    s.neighbours.resize(start[n]);
    for (const CubeLink& l : s.links) s.neighbours[start[l.from]++] = l.to;
    for (std::size_t i = n; i > 0; --i) start[i] = start[i - 1];
    start[0] = 0;
    std::uint32_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto begin = s.neighbours.begin() + start[i], end = s.neighbours.begin() + start[i + 1];
        start[i] = kept;
        std::sort(begin, end);
        for (auto k = begin; k != end; ++k) {
            if (k == begin || *k != *(k - 1)) s.neighbours[kept++] = *k;
        }
    }
    start[n] = kept;
    s.neighbours.resize(kept);

    s.boxes.resize(n);
    s.takesPart.resize(n);
    s.now.resize(n);
    for (CubeNow& now : s.now) now.pass = 0;
    s.pass = 0;
    s.keys.resize(n);
    s.bands.resize(n);
    s.bandRanges.clear();
    s.bandRanges.reserve(n);
    s.sorted.resize(n);
    for (std::size_t i = 0; i < n; ++i) s.sorted[i] = static_cast<std::uint32_t>(i);
    for (std::vector<float>* v : {&s.sweep.lo, &s.sweep.hi, &s.sweep.lo1, &s.sweep.hi1, &s.sweep.lo2, &s.sweep.hi2}) {
        v->assign(n * (1 + kSweepEnd) + kSweepEnd, 0.0f);  // at most a band a cube
    }
    s.sweep.cube.assign(n * (1 + kSweepEnd) + kSweepEnd, 0);
    // Room for the candidate pairs of any scene whose cubes do not pass into each other. Count
    // each pair at its smaller cube: the boxes of cubes no smaller than a cube, and not inside it
    // or each other, that meet its box, stand in the block of three by three by three cubes
    // around it, 26 when all stand square, and with the cubes alike each pair is counted twice,
    // 13 a cube. Turned cubes have boxes up to sqrt(3) times as wide and meet a few more; piles
    // measure far fewer (a slab of 1024 cubes pressed against a wall with blocks on it: 5 a
    // cube). The friction springs are pairs among these.
    const std::size_t room = kPairsPerCube * n + 64;
    s.pairs.reserve(room);
    s.stretches.reserve(room);
    s.nextStretches.reserve(room);
}

void releaseFrictionSprings() { contactScratch().stretches.clear(); }

const std::vector<PairStretch>& frictionSprings() { return contactScratch().stretches; }

void setFrictionSprings(const std::vector<PairStretch>& springs) { contactScratch().stretches = springs; }

void applyContactForces() {
    const StepOrder& order = sceneOrder();  // marks the cubes stale when the scene has changed
    ContactScratch& s = contactScratch();
    if (s.stale) readContactCubes(s, order.sortedMoving);
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
        const PairSide sideI{a, cubeNow(s, i)}, sideJ{b, cubeNow(s, j)};
        PairContacts& touching = pairContacts();
        touching.count = 0;
        const float sampleMass = pairMass(a, b) / kFaceSamples;
        findInside(sideI, sideJ, law, sampleMass, true, touching);
        findInside(sideJ, sideI, law, sampleMass, false, touching);
        if (touching.count == 0) continue;
        while (before < last.size() && last[before].pair < pair) ++before;
        Vec3 stretch = before < last.size() && last[before].pair == pair ? last[before].stretch : Vec3{};
        applyPair(a, b, touching, law, stretch);
        held.push_back(PairStretch{pair, stretch});
    }
    s.stretches.swap(s.nextStretches);
}
