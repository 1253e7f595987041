#include "sim/scene_counts.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/mass_point.h"
#include "model/spring_list.h"
#include "sim/world.h"

bool movingPointsFinite() {
    // A float is not finite when its exponent bits are all ones. The test runs on the bits, four
    // values at a time, so that it raises no floating-point exception and costs little beside
    // the step, after which it runs: the position and the velocity's x, then the velocity.
    using Words = std::int32_t __attribute__((vector_size(16)));
    static_assert(offsetof(MassPoint, velocity) == offsetof(MassPoint, position) + sizeof(Vec3) &&
                  offsetof(MassPoint, velocity) + sizeof(Words) <= sizeof(MassPoint));
    constexpr std::int32_t kExponent = 0x7f800000;
    const Words exponent{kExponent, kExponent, kExponent, kExponent};
    const Words velocityOnly{kExponent, kExponent, kExponent, 0};
    Words notFinite{};
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        Words position, velocity;
        std::memcpy(&position, &p->position, sizeof position);
        std::memcpy(&velocity, &p->velocity, sizeof velocity);
        notFinite |= (position & exponent) == exponent;
        notFinite |= (velocity & velocityOnly) == exponent;
    }
    return (notFinite[0] | notFinite[1] | notFinite[2] | notFinite[3]) == 0;
}

int countMovingPoints() {
    int count = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) ++count;
    return count;
}

int countActiveSprings() {
    int count = 0;
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) ++count;
    return count;
}
