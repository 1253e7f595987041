#include "model/volume_element.h"

#include "model/force_laws.h"
#include "model/mass_point.h"
#include "model/scene_storage.h"
#include "model/spring.h"
#include "sim/settings.h"
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
    addVolumeForce(volumeStiffness());
}

void VolumeElement::addVolumeForce(float K) {
    const Vec3& p0 = corners[0]->position;
    const Vec3 F = volumeForce(corners[1]->position - p0, corners[2]->position - p0, corners[3]->position - p0,
                               restVolume, K);
    corners[0]->addForce(F);
    corners[1]->addForce(-F);
}

float volumeStiffness() { return plasticOn ? settings.plasticVolumeStiffness : settings.volumeStiffness; }

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
    ++sceneStorage().linkEdits;
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
