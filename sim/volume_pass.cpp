// The elements' pass over the tables: eight elements at a time, their forces are computed side
// by side in lanes, each lane with the very operations of VolumeElement::applyVolumeForce, and
// added to the corners element after element in chain order.

// Eight-lane vectors pass only between always-inlined functions, so the note that their calling
// convention differs with and without AVX does not apply (a call that passed one from a clone
// for one instruction set to code built for another would garble it).
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>

#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/step_tables.h"
#include "model/volume_element.h"
#include "sim/table_passes.h"
#include "sim/world.h"

namespace {

constexpr int kLanes = 8;

// Forces on c0 of eight elements from their edge vectors u = c1 - c0, v = c2 - c0, w = c3 - c0.
// The one-at-a-time formulas divide by 6 in double and round to float; for a float dividend
// that is always the float quotient (53 bits hold the float quotient's rounding exactly), so
// the lanes divide in float.
__attribute__((always_inline)) inline void volumeForces(const Lanes u[kLanes], const Lanes v[kLanes],
                                                        const Lanes w[kLanes], const Lanes8& restVolume, float k,
                                                        Lanes F[kLanes]) {
    Lanes8 ux, uy, uz, vx, vy, vz, wx, wy, wz;
    transpose8(u, ux, uy, uz);
    transpose8(v, vx, vy, vz);
    transpose8(w, wx, wy, wz);
    const Lanes8 six = broadcast8(6.0f);
    // n = v x w; D = (u . n) / 6 - restVolume; F = K D n / 6.
    const Lanes8 nx = vy * wz - vz * wy;
    const Lanes8 ny = vz * wx - vx * wz;
    const Lanes8 nz = vx * wy - vy * wx;
    const Lanes8 D = (ux * nx + uy * ny + uz * nz) / six - restVolume;
    const Lanes8 KD = broadcast8(k) * D;
    untranspose8(KD * nx / six, KD * ny / six, KD * nz / six, F);
}

// Adds the forces of the elements from `first` on along the chain's links, one at a time: to
// the rows of points the tables use, and straight to the other points, which the tables neither
// clear nor store.
void addAlongChain(StepTables& t, VolumeElement* first, float k) {
    const SceneStorage& storage = sceneStorage();
    auto add = [&](MassPoint* p, const Vec3& F) {
        const std::size_t slot = storage.pointSlot(p);
        if (slot != SlotPool::kNoSlot && slot < t.role.size() && t.role[slot] != RowRole::unused) {
            t.force[slot] = t.force[slot] + Lanes{F.x, F.y, F.z, -0.0f};
        } else {
            p->addForce(F);
        }
    };
    for (VolumeElement* e = first; e != nullptr; e = e->next) {
        const Vec3 F = e->volumeForce(k);
        add(e->corners[0], F);
        add(e->corners[1], Vec3{-F.x, -F.y, -F.z});
    }
}

// How many elements from the start of the tables the chain still has, and the chain's element
// after them (null when the chain ends there): all of them when the chain starts with the
// tables' first element and the last one still ends it, none when it starts elsewhere. Elements
// hung on since the tables were built come after them.
std::size_t elementsStillLinked(const StepTables& t, VolumeElement*& after) {
    const std::size_t n = t.elements.size();
    if (n == 0 || volumeElements != t.elements[0]) {
        after = volumeElements;
        return 0;
    }
    after = t.elements[n - 1]->next;
    return n;
}

}  // namespace

WIDER_WHERE_AVAILABLE void addVolumeForces(StepTables& t, float k) {
    VolumeElement* after = nullptr;
    const std::size_t linked = elementsStillLinked(t, after);
    const ElementCorners* corners = t.corners.data();
    const float* restVolumes = t.restVolume.data();
    const PointRow* rows = t.rows.data();
    Lanes* force = t.force.data();
    // Sixteen elements at a time, two groups computed before either is added, so that the
    // processor overlaps their divisions.
    constexpr std::size_t kBlock = 2 * kLanes;
    for (std::size_t block = 0; block < linked; block += kBlock) {
        Lanes F[kBlock];
        const std::size_t inBlock = std::min(kBlock, linked - block);
        for (std::size_t first = block; first < block + inBlock; first += kLanes) {
            // A short last group repeats its last element in the lanes left over.
            const std::size_t last = std::min(first + kLanes, linked) - 1;
            Lanes u[kLanes], v[kLanes], w[kLanes];
            Lanes8 restVolume;
            for (std::size_t j = 0; j < kLanes; ++j) {
                const std::size_t e = std::min(first + j, last);
                const std::uint32_t* c = corners[e].c;
                const Lanes p0 = rows[c[0]].position;
                u[j] = rows[c[1]].position - p0;
                v[j] = rows[c[2]].position - p0;
                w[j] = rows[c[3]].position - p0;
                restVolume[j] = restVolumes[e];
            }
            volumeForces(u, v, w, restVolume, k, &F[first - block]);
        }
        for (std::size_t j = 0; j < inBlock; ++j) {
            const std::uint32_t* c = corners[block + j].c;
            force[c[0]] = force[c[0]] + F[j];
            force[c[1]] = force[c[1]] + negateXyz(F[j]);
        }
    }
    // The chain goes on past the tables, or starts elsewhere: elements hung on or relinked by
    // hand since the tables were built.
    if (after != nullptr) {
        addAlongChain(t, after, k);
        t.built = false;
    }
}
