#include "run/state_hash.h"

#include "model/mass_point.h"
#include "sim/world.h"

std::uint64_t fnv1a(std::uint64_t hash, const void* bytes, std::size_t size) {
    const auto* byte = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= byte[i];
        hash *= kFnvPrime;
    }
    return hash;
}

namespace {

std::uint64_t hashFloats(std::uint64_t hash, const Vec3& v) {
    hash = fnv1a(hash, &v.x, sizeof v.x);
    hash = fnv1a(hash, &v.y, sizeof v.y);
    return fnv1a(hash, &v.z, sizeof v.z);
}

}  // namespace

std::uint64_t hashMovingPoints() {
    std::uint64_t hash = kFnvOffsetBasis;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        hash = hashFloats(hash, p->position);
        hash = hashFloats(hash, p->velocity);
    }
    return hash;
}
