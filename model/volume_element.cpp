#include "model/volume_element.h"

// The element pass hands eight-lane vectors only between inlined functions, so the note that
// their calling convention differs with and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#include <cstring>

#include "model/lanes.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "sim/world.h"

namespace {
// Element chains as short as one cube's are walked; the scene's long chain remembers its end.
constexpr int kLongWalk = 32;
}  // namespace

VolumeElement::VolumeElement(MassPoint* c0, MassPoint* c1, MassPoint* c2, MassPoint* c3)
    : corners{c0, c1, c2, c3} {
    edges[0] = c0->springs->findByEnds(c0, c1);
    edges[1] = c0->springs->findByEnds(c0, c2);
    edges[2] = c0->springs->findByEnds(c0, c3);
    edges[3] = c1->springs->findByEnds(c1, c2);
    edges[4] = c1->springs->findByEnds(c1, c3);
    edges[5] = c2->springs->findByEnds(c2, c3);
    restVolume = signedVolume(c0->position, c1->position, c2->position, c3->position);
}

void VolumeElement::applyVolumeForce() {
    if (breakableOn || !volumeOn) return;
    const float K = plasticOn ? 3000.0f : 12000.0f;  // force per unit^3 of volume change, softer when plastic
    const Vec3& p0 = corners[0]->position;
    const Vec3 n = cross(corners[2]->position - p0, corners[3]->position - p0);
    // The current volume is rounded to float like the rest volume, so an undeformed element
    // has D = 0 exactly.
    const float D = signedVolume(p0, corners[1]->position, corners[2]->position, corners[3]->position) - restVolume;
    const Vec3 F{static_cast<float>(K * D * n.x / 6.0), static_cast<float>(K * D * n.y / 6.0),
                 static_cast<float>(K * D * n.z / 6.0)};
    corners[0]->addForce(F);
    corners[1]->addForce(Vec3{-F.x, -F.y, -F.z});
}

// Elements sixteen at a time, in three phases: load each element's edge vectors, compute the
// forces of eight elements at a time side by side in lanes (each lane with the very operations
// of applyVolumeForce), then add them to the corners element after element in chain order.
// Keeping each phase's independent work together lets the processor overlap the long chains of
// divisions. The last elements of the chain go one at a time.
namespace {

constexpr int kBlock = 16;
constexpr int kLanes = 8;

__attribute__((always_inline)) inline void volumeForcesOfGroup(const Lanes u[kLanes], const Lanes v[kLanes],
                                                               const Lanes w[kLanes], const float restVolume[kLanes],
                                                               float k, Lanes F[kLanes]) {
    Lanes8 ux, uy, uz, vx, vy, vz, wx, wy, wz;
    transpose8<true>(u, ux, uy, uz);
    transpose8<true>(v, vx, vy, vz);
    transpose8<true>(w, wx, wy, wz);
    Lanes8 rest;
    std::memcpy(&rest, restVolume, sizeof rest);
    // n = v x w; the signed volume (u . n) / 6 with the division in double.
    const Lanes8 nx = vy * wz - vz * wy;
    const Lanes8 ny = vz * wx - vx * wz;
    const Lanes8 nz = vx * wy - vy * wx;
    const Lanes8 D = divideInDouble(ux * nx + uy * ny + uz * nz, 6.0) - rest;
    const Lanes8 KD = broadcast8(k) * D;
    untranspose8(divideInDouble(KD * nx, 6.0), divideInDouble(KD * ny, 6.0), divideInDouble(KD * nz, 6.0), F);
}

}  // namespace

WIDER_WHERE_AVAILABLE void applyVolumeForces(VolumeElement* first) {
    if (breakableOn || !volumeOn) return;
    const float k = plasticOn ? 3000.0f : 12000.0f;
    StrideGuess walk;
    VolumeElement* block[kBlock];
    for (VolumeElement* e = first; e != nullptr;) {
        int count = 0;
        while (count < kBlock && e != nullptr) {
            block[count++] = e;
            e = walk.next(e, e->next);
        }
        const int groups = count / kLanes;
        Lanes u[kBlock], v[kBlock], w[kBlock], F[kBlock];
        float restVolume[kBlock];
        for (int i = 0; i < kLanes * groups; ++i) {
            MassPoint* const* c = block[i]->corners;
            const Lanes p0 = loadShifted(c[0]->position);
            u[i] = loadShifted(c[1]->position) - p0;
            v[i] = loadShifted(c[2]->position) - p0;
            w[i] = loadShifted(c[3]->position) - p0;
            restVolume[i] = block[i]->restVolume;
        }
        for (int g = 0; g < groups; ++g) {
            volumeForcesOfGroup(&u[kLanes * g], &v[kLanes * g], &w[kLanes * g], &restVolume[kLanes * g], k, &F[kLanes * g]);
        }
        for (int i = 0; i < kLanes * groups; ++i) {
            addRow(block[i]->corners[0]->force, F[i]);
            addRow(block[i]->corners[1]->force, negateXyz(F[i]));
        }
        for (int i = kLanes * groups; i < count; ++i) block[i]->applyVolumeForce();
    }
}

Vec3 VolumeElement::restPointToward(const MassPoint* from, const MassPoint* toward) const {
    const Vec3 d = toward->position - from->position;
    const float L = length(d);
    const Spring* s = from->springs->findByEnds(from, toward);
    // Coincident points give no direction; a missing spring gives no rest length.
    if (L == 0.0f || s == nullptr) return from->position;
    return Vec3{from->position.x + (d.x / L) * s->restLength, from->position.y + (d.y / L) * s->restLength,
                from->position.z + (d.z / L) * s->restLength};
}

void VolumeElement::recomputeRestVolume() {
    const Vec3 p1 = restPointToward(corners[0], corners[1]);
    const Vec3 p2 = restPointToward(corners[0], corners[2]);
    const Vec3 p3 = restPointToward(corners[0], corners[3]);
    restVolume = signedVolume(corners[0]->position, p1, p2, p3);
}

void appendElementChain(VolumeElement* chain, VolumeElement* tail) {
    if (chain == nullptr) return;  // nothing to hang the tail on
    EndHints& hints = sceneStorage().hints;
    const bool hinted = hints.elementFirst == chain;
    VolumeElement* last = hinted ? hints.elementLast : chain;
    int walked = 0;
    while (last->next != nullptr) {
        last = last->next;
        ++walked;
    }
    last->next = tail;
    if (hinted || walked > kLongWalk) {
        VolumeElement* newLast = tail != nullptr ? tail : last;
        while (newLast->next != nullptr) newLast = newLast->next;
        hints.elementFirst = chain;
        hints.elementLast = newLast;
    }
}
