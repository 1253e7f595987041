// The elements' pass: eight elements at a time, their forces are computed side by side in lanes
// by the force law that VolumeElement::applyVolumeForce uses one element at a time, and added
// to the corners element after element in chain order.

#include "sim/spring_pass.h"

#include "model/force_laws.h"
#include "model/volume_element.h"
#include "sim/lanes.h"
#include "sim/step_order.h"
#include "sim/world.h"

namespace {


// Forces on c0 of eight elements.
LANE_INLINE void volumeForces(VolumeElement* const* elements, float K, Float4 forces[kLanes]) {
    Float4 uRows[kLanes], vRows[kLanes], wRows[kLanes];
    RowLanes restVolume;
    for (std::size_t j = 0; j < kLanes; ++j) {
        const VolumeElement& e = *elements[j];
        const Float4 p0 = loadPositionAt1(*e.corners[0]);
        uRows[j] = loadPositionAt1(*e.corners[1]) - p0;
        vRows[j] = loadPositionAt1(*e.corners[2]) - p0;
        wRows[j] = loadPositionAt1(*e.corners[3]) - p0;
        restVolume.setRow(j, e.restVolume);
    }
    const Vec3Of<Float8> u = transpose8<1>(uRows), v = transpose8<1>(vRows), w = transpose8<1>(wRows);
    untranspose8(volumeForce(u, v, w, restVolume.lanes, broadcast8(K)), forces);
}

}  // namespace

WIDER_WHERE_AVAILABLE void applyVolumeForces(VolumeElement* first, float K) {
    if (breakableOn || !volumeOn) return;
    const StepOrder& o = sceneOrder();
    VolumeElement* const* elements = o.elements.data();
    const std::size_t n = o.elementCount;
    // Two groups computed before either is added, so that the processor overlaps their divisions.
    auto block = [&](std::size_t i, std::size_t count) LANE_INLINE_LAMBDA {
        // Fetch ahead the elements kBlocksAhead blocks on, the cache lines of their link and of
        // their corners: in a big scene the elements come from memory every step.
        const std::size_t ahead = i + kBlocksAhead * kBlock;
        for (std::size_t j = ahead; j < std::min(n, ahead + kBlock); ++j) {
            __builtin_prefetch(elements[j]);
            __builtin_prefetch(elements[j]->corners);
        }
        Float4 forces[kBlock];
        for (std::size_t g = 0; g < count; g += kLanes) volumeForces(elements + i + g, K, forces + g);
        for (std::size_t j = 0; j < count; ++j) {
            addToForce(*elements[i + j]->corners[0], forces[j]);
            addToForce(*elements[i + j]->corners[1], negateXyz(forces[j]));
        }
    };
    // Another chain than the scene's fails the check of its first block and goes along its links.
    VolumeElement* rest = walkInBlocks(elements, n, first, block);
    // The chain goes on past the order, or leaves it: elements hung on or relinked by hand.
    for (VolumeElement* e = rest; e != nullptr; e = e->next) e->addVolumeForce(K);
}
