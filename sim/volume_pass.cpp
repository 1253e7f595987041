// The elements' pass: eight elements at a time, their forces are computed side by side in lanes
// by the force law that VolumeElement::applyVolumeForce uses one element at a time, and added
// to the corners element after element in chain order.

#include <algorithm>

#include "model/force_laws.h"
#include "model/volume_element.h"
#include "sim/lanes.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {

constexpr std::size_t kLanes = 8;

// Forces on c0 of the elements from `first` on, eight of them, the last repeated in lanes past
// `count`.
LANE_INLINE void volumeForces(VolumeElement* const* elements, std::size_t count, float K, Lanes F[kLanes]) {
    Lanes u[kLanes], v[kLanes], w[kLanes];
    Lanes8 restVolume;
    for (std::size_t j = 0; j < kLanes; ++j) {
        const VolumeElement& e = *elements[std::min(j, count - 1)];
        const Lanes p0 = loadPositionAt1(*e.corners[0]);
        u[j] = loadPositionAt1(*e.corners[1]) - p0;
        v[j] = loadPositionAt1(*e.corners[2]) - p0;
        w[j] = loadPositionAt1(*e.corners[3]) - p0;
        restVolume[j] = e.restVolume;
    }
    untranspose8(volumeForce(transpose8<1>(u), transpose8<1>(v), transpose8<1>(w), restVolume, broadcast8(K)), F);
}

}  // namespace

WIDER_WHERE_AVAILABLE void applyVolumeForces(VolumeElement* first) {
    if (breakableOn || !volumeOn) return;
    // Force per unit^3 of volume change, softer while springs are plastic.
    const float K = plasticOn ? settings.plasticVolumeStiffness : settings.volumeStiffness;
    const StepOrder& o = sceneOrder();
    VolumeElement* next = first;
    if (first == o.firstElement) {
        VolumeElement* const* elements = o.elements.data();
        const std::size_t n = o.elements.size();
        // Sixteen elements at a time, two groups computed before either is added, so that the
        // processor overlaps their divisions; a block only while it follows the chain's links.
        constexpr std::size_t kBlock = 2 * kLanes;
        std::size_t block = 0;
        for (; block < n; block += kBlock) {
            const std::size_t inBlock = std::min(kBlock, n - block);
            if (!followLinks(elements + block, inBlock, next)) break;
            next = elements[block + inBlock - 1]->next;
            // Fetch ahead the elements two blocks on, the cache lines of their link and of their
            // corners: in a big scene the elements come from memory every step.
            for (std::size_t j = block + 2 * kBlock; j < std::min(n, block + 3 * kBlock); ++j) {
                __builtin_prefetch(elements[j]);
                __builtin_prefetch(elements[j]->corners);
            }
            Lanes F[kBlock];
            for (std::size_t g = 0; g < inBlock; g += kLanes) volumeForces(elements + block + g, inBlock - g, K, F + g);
            for (std::size_t j = 0; j < inBlock; ++j) {
                addToForce(*elements[block + j]->corners[0], F[j]);
                addToForce(*elements[block + j]->corners[1], negateXyz(F[j]));
            }
        }
        if (block >= n && next == nullptr) return;
    }
    // The chain goes on past the order, or leaves it: elements hung on or relinked by hand.
    readOrderAgain();
    for (VolumeElement* e = next; e != nullptr; e = e->next) e->applyVolumeForce();
}
