// The elements' pass over the tables: eight elements at a time, their forces are computed side
// by side in lanes, each lane with the very operations of VolumeElement::applyVolumeForce, and
// added to the corners element after element in chain order.

// Eight-lane vectors pass only between inlined functions, so the note that their calling
// convention differs with and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <algorithm>

#include "model/lanes.h"
#include "model/step_tables.h"
#include "model/volume_element.h"
#include "sim/table_passes.h"

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

}  // namespace

WIDER_WHERE_AVAILABLE void addVolumeForces(StepTables& t, float k) {
    const std::size_t n = t.elements.size();
    VolumeElement* const* elements = t.elements.data();
    const ElementCorners* corners = t.corners.data();
    const PointRow* rows = t.rows.data();
    Lanes* force = t.force.data();
    for (std::size_t first = 0; first < n; first += kLanes) {
        // A short last group repeats its last element in the lanes left over.
        const int inGroup = static_cast<int>(std::min<std::size_t>(kLanes, n - first));
        Lanes u[kLanes], v[kLanes], w[kLanes], F[kLanes];
        Lanes8 restVolume;
        for (int j = 0; j < kLanes; ++j) {
            const std::size_t e = first + static_cast<std::size_t>(std::min(j, inGroup - 1));
            const std::uint32_t* c = corners[e].c;
            const Lanes p0 = rows[c[0]].position;
            u[j] = rows[c[1]].position - p0;
            v[j] = rows[c[2]].position - p0;
            w[j] = rows[c[3]].position - p0;
            restVolume[j] = elements[e]->restVolume;
        }
        volumeForces(u, v, w, restVolume, k, F);
        for (int j = 0; j < inGroup; ++j) {
            const std::uint32_t* c = corners[first + static_cast<std::size_t>(j)].c;
            force[c[0]] = force[c[0]] + F[j];
            force[c[1]] = force[c[1]] + negateXyz(F[j]);
        }
    }
}
