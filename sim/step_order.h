#pragma once

// The order in which the step visits the scene: the moving points in chain order, the cells of
// the scene's list in list order and the elements in chain order, as arrays of pointers, so
// that a pass loads the next objects without waiting for each link. It holds the order only:
// every pass reads and writes the objects' fields where they live.
//
// The order is read anew whenever the scene's linkEdits or a head (chainHead, springList, volumeElements)
// has changed. Links changed by hand are found too: a walk takes the array a block at a time,
// only while each entry is the object that the previous one's link leads to, and goes on along
// the links from the first block that is not, marking the order stale for the next pass.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/volume_element.h"
#include "sim/lanes.h"  // with the points and springs

// A point outside the chain that ends a listed spring, and the list position of its first such
// spring: the springs' walk clears its force just before that spring's forces are added.
struct FixedEnd {
    MassPoint* point;
    std::size_t firstListed;
};

// Entries a walk checks against the links at once, and by which the lanes' arrays are padded.
constexpr std::size_t kBlock = 16;
// How many blocks ahead of the one in hand the walks ask for the objects of the order. The
// padding of the order goes as many blocks past its last block, so the springs' walk, which
// reads those entries without a check, stays inside it.
constexpr std::size_t kBlocksAhead = 2;

struct StepOrder {
    std::uint64_t edits = 0;  // linkEdits when the order was read
    bool stale = true;        // to be read anew before the next use
    MassPoint* chainHead = nullptr;
    SpringListNode* listHead = nullptr;
    VolumeElement* firstElement = nullptr;
    std::vector<MassPoint*> moving;        // chain order
    std::vector<SpringListNode*> cells;    // list order, without the terminator; then padding
    std::size_t cellCount = 0;             // cells before the padding
    std::vector<FixedEnd> fixedEnds;       // by first listing, each point once
    std::vector<MassPoint*> sortedMoving;  // the moving points by address, to look them up
    std::vector<VolumeElement*> elements;  // chain order; then padding
    std::size_t elementCount = 0;          // elements before the padding
};

// What the springs' walk leaves for later in the same step, apart from the order.
struct SpringEnds {
    MassPoint *a, *b;
};
struct StepScratch {
    std::vector<Float4> damping;              // each listed spring's damping force on a; padded
    std::vector<SpringEnds> ends;             // and its ends, so that adding it reads nothing else
    std::vector<MassPoint*> clearedOnTheWay;  // ends cleared by a walk along the links
};

// The order of the current scene, read anew when the scene's links have changed. The keys call
// it after building a scene, so that stepping a new scene finds room for everything and
// allocates nothing.
StepOrder& sceneOrder();
StepScratch& stepScratch();
// The contact pass's records of the scene (sim/contact.h), read with the order.
struct ContactScratch;
ContactScratch& contactScratch();
// Has the order read anew from the scene before its next use.
void markOrderStale();

// Whether the n entries from `entries` on follow each other along the links, the first being
// `expected`. The entries' addresses come from the array, so the loads do not wait for each
// other as a walk along the links would; the differing bits are gathered without a branch.
template <class T>
LANE_INLINE bool followLinks(T* const* entries, std::size_t n, const T* expected) {
    auto bits = [](const T* entry) { return reinterpret_cast<std::uintptr_t>(entry); };
    std::uintptr_t differ = bits(entries[0]) ^ bits(expected);
    for (std::size_t i = 1; i < n; ++i) differ |= bits(entries[i - 1]->next) ^ bits(entries[i]);
    return differ == 0;
}

// Where each kind of walk along the links ends: a null link, or the list's terminator.
template <class T>
bool pastTheEnd(const T* next) { return next == nullptr; }
inline bool pastTheEnd(const SpringListNode* cell) { return cell->next == nullptr; }

// Walks the n entries of an order from `first`, a block at a time while each block follows
// the links: visit(i, count) takes the count entries from entries[i]. Returns null when the walk
// reached the end of the links, else the object from which the caller goes on along the links,
// and the order is marked stale: links were changed by hand, or the chain goes on past the order.
template <class T, class Visit>
LANE_INLINE T* walkInBlocks(T* const* entries, std::size_t n, T* first, Visit visit) {
    T* next = first;
    // A whole block takes its own copy of the code, with its count known.
    auto step = [&](std::size_t i, std::size_t count) LANE_INLINE_LAMBDA {
        if (!followLinks(entries + i, count, next)) return false;
        next = entries[i + count - 1]->next;
        visit(i, count);
        return true;
    };
    std::size_t i = 0;
    while (i + kBlock <= n && step(i, kBlock)) i += kBlock;
    if (i + kBlock > n && i < n) step(i, n - i);
    if (pastTheEnd(next)) return nullptr;
    markOrderStale();
    return next;
}

// Visits the moving points in chain order: along the order while it follows the chain's links,
// along the links from where it does not.
template <class Visit>
LANE_INLINE void forEachMovingPoint(Visit visit) {
    const StepOrder& o = sceneOrder();
    MassPoint* const* moving = o.moving.data();
    auto block = [&](std::size_t first, std::size_t count) LANE_INLINE_LAMBDA {
        for (std::size_t j = first; j < first + count; ++j) visit(*moving[j]);
    };
    MassPoint* rest = walkInBlocks(moving, o.moving.size(), o.chainHead->next, block);
    for (; rest != nullptr; rest = rest->next) visit(*rest);
}
