#pragma once

// The order in which the step visits the scene: the moving points in chain order, the cells of
// the scene's list in list order and the elements in chain order, kept as arrays of pointers so
// that a pass loads the next objects without waiting for each link. Only the order is kept:
// every pass reads and writes the objects' fields where they live.
//
// The order is read anew from the scene whenever linkEdits or a head (chainHead, springList,
// volumeElements) has changed. Links changed by hand are found too: a pass follows the array
// only while each entry is the object that the previous one's link leads to, and goes on along
// the links from the first that is not, which has the order read anew for the next pass. So
// that this holds for the clearing of ends outside the chain, the springs' walk clears each
// of them just before the first spring that it finds listed with it adds a force.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/mass_point.h"
#include "sim/lanes.h"

struct Spring;
struct SpringListNode;
struct VolumeElement;

// A spring's damping force on its end a (b gets the opposite), measured on the springs' walk
// for the damping pass. A null a marks a spring that adds none.
struct MeasuredDamping {
    MassPoint* a;
    MassPoint* b;
    Lanes force;
};

// A point outside the chain that ends a listed spring, and the list position of its first such
// spring: the springs' walk clears its force just before that spring's forces are added.
struct FixedEnd {
    MassPoint* point;
    std::size_t firstListed;
};

struct StepOrder {
    std::uint64_t edits = 0;  // linkEdits when the order was read
    bool read = false;        // false: to be read anew before the next use
    MassPoint* chainHead = nullptr;
    SpringListNode* listHead = nullptr;
    VolumeElement* firstElement = nullptr;
    std::vector<MassPoint*> moving;         // chain order
    std::vector<SpringListNode*> cells;     // list order, without the terminator
    std::vector<FixedEnd> fixedEnds;        // by first listing, each point once
    std::vector<MassPoint*> sortedMoving;   // the moving points by address, to look them up
    std::vector<VolumeElement*> elements;   // chain order
    std::vector<MeasuredDamping> damping;   // by list position, filled and read within one step
    std::vector<MassPoint*> clearedOnTheWay;  // ends cleared by a walk along the links
};

// The order of the current scene, read anew when the scene's links have changed. The keys call
// it after building a scene, so that the step after a restart finds room for the order and
// allocates nothing.
StepOrder& sceneOrder();

// Reads the order anew from the current scene before its next use.
void readOrderAgain();

// Whether the n entries from `entries` on follow each other along the links, the first being
// `expected`. The entries' addresses come from the array, so the loads do not wait for each
// other as a walk along the links would.
template <class T>
bool followLinks(T* const* entries, std::size_t n, const T* expected) {
    // The differing bits of each pair, gathered without a branch or a comparison per entry.
    auto bits = [](const T* p) { return reinterpret_cast<std::uintptr_t>(p); };
    std::uintptr_t differ = bits(entries[0]) ^ bits(expected);
    for (std::size_t i = 1; i < n; ++i) differ |= bits(entries[i - 1]->next) ^ bits(entries[i]);
    return differ == 0;
}

// Visits the moving points in chain order: along the order while its entries follow the
// chain's links, along the links from where they do not (or past its end).
template <class Visit>
void forEachMovingPoint(Visit visit) {
    const StepOrder& o = sceneOrder();
    constexpr std::size_t kRun = 16;
    MassPoint* next = o.chainHead->next;
    std::size_t i = 0;
    for (; i < o.moving.size(); i += kRun) {
        const std::size_t n = std::min(kRun, o.moving.size() - i);
        if (!followLinks(&o.moving[i], n, next)) break;
        for (std::size_t j = i; j < i + n; ++j) visit(*o.moving[j]);
        next = o.moving[i + n - 1]->next;
    }
    if (i >= o.moving.size() && next == nullptr) return;
    readOrderAgain();
    for (; next != nullptr; next = next->next) visit(*next);
}
