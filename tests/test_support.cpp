#include "tests/test_support.h"

#include <cstring>

#include "interaction/scenes.h"
#include "model/volume_element.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"

void resetWorld() {
    resetWorldState();
    resetScene();
}

void WorldTest::simulate(int steps) {
    for (int i = 0; i < steps; ++i) onIdle();
}

std::vector<MassPoint*> movingPoints() {
    std::vector<MassPoint*> points;
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) points.push_back(p);
    return points;
}

std::vector<Spring*> activeSprings() {
    std::vector<Spring*> springs;
    for (SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) springs.push_back(cell->spring);
    return springs;
}

int elementCount() {
    int n = 0;
    for (VolumeElement* e = volumeElements; e != nullptr; e = e->next) ++n;
    return n;
}

MassPoint* pointAt(float x, float y, float z, bool moving) {
    return make<MassPoint>(x, y, z, zeroVelocity, 0.2f, 1.0f, moving ? chainHead : nullptr);
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(const Vec3& a, const Vec3& b) { return sameBits(a.x, b.x) && sameBits(a.y, b.y) && sameBits(a.z, b.z); }
