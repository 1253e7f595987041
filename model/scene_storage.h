#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

struct MassPoint;
struct SpringListNode;
struct Spring;
struct VolumeElement;
struct Cube;

// Fixed-size slots handed out in order from chunks that are never moved, so that objects
// made one after another lie one after another in memory (the step walks them in that order).
// A chunk lives as long as the pool: an image of the pool's slots can always be written back
// where it was taken.
class SlotPool {
public:
    SlotPool(std::size_t slotSize, std::size_t slotAlign);
    void* allocate();
    std::size_t count() const { return count_; }

    // The slots in use, bytes and all.
    struct Image {
        std::vector<std::pair<std::byte*, std::size_t>> chunks;  // in use: address and slots
        std::size_t used = 0;                                     // slots used in the last
        std::size_t count = 0;
        std::vector<std::byte> bytes;
    };
    void save(Image& image) const;
    // Writes an image of this pool back: its slots as they were, and slots handed out after
    // it was taken free again.
    void restore(const Image& image);

private:
    struct AlignedDelete {
        std::size_t align;
        void operator()(std::byte* p) const { ::operator delete[](p, std::align_val_t(align)); }
    };
    std::vector<std::unique_ptr<std::byte[], AlignedDelete>> owned_;
    std::vector<std::pair<std::byte*, std::size_t>> inUse_;  // address and slots, in order of use
    std::size_t stride_;
    std::size_t slotAlign_;
    std::size_t used_ = 0;  // slots used in the last chunk in use
    std::size_t count_ = 0;
};

// Raw memory for the scene's growable arrays, handed out from chunks that live as long as
// the storage (portable: some standard libraries have no std::pmr).
class ByteArena {
public:
    void* allocate(std::size_t size, std::size_t align);

    struct Image {
        std::vector<std::pair<std::byte*, std::size_t>> chunks;  // in use: address and size
        std::size_t left = 0;                                     // bytes free at the end of the last
        std::vector<std::byte> bytes;
    };
    void save(Image& image) const;
    void restore(const Image& image);

private:
    std::vector<std::unique_ptr<std::byte[]>> owned_;
    std::vector<std::pair<std::byte*, std::size_t>> inUse_;
    std::byte* next_ = nullptr;
    std::size_t left_ = 0;
};

// Remembered ends of long chains, so that appending to them while a big scene is built does
// not walk from the start each time. A hint only says where to start walking: the walk to the
// real end (the first null link) still runs, so a stale hint can cost time but never change
// a result.
struct EndHints {
    const SpringListNode* listHead = nullptr;
    SpringListNode* listEnd = nullptr;
    const MassPoint* chainHead = nullptr;
    MassPoint* chainLast = nullptr;
    const VolumeElement* elementFirst = nullptr;
    VolumeElement* elementLast = nullptr;
    // The ends of the points' own lists that grew long (a corner holding many anchors), by
    // head cell. Those lists are never shortened, so a remembered cell stays in its list.
    std::unordered_map<const SpringListNode*, SpringListNode*> pointListEnds;
};

// The moving chain's links read backward: each moving point's predecessor, for the chain that
// starts at `head`. Made by the first pin of a scene (one walk of the chain), then kept by the
// points that join that chain and by the later pins, so that a pin finds the points before its
// corners at once. A pin reads the chain again when its head is not `head` or a recorded
// predecessor no longer links to its point (a point linked in by hand). A point cut out by hand
// keeps its own link and goes unnoticed: a scene cut by hand gets a new head, as the wall
// scene does.
struct ChainPredecessors {
    const MassPoint* head = nullptr;
    std::unordered_map<const MassPoint*, MassPoint*> before;
};

// Everything one scene is made of: points, list cells, springs, volume elements, cubes and
// the arrays they grow. Destroying the storage releases the whole scene at once; the objects'
// destructors are never run, so they hold no resources of their own.
class SceneStorage {
public:
    SceneStorage();
    SceneStorage(const SceneStorage&) = delete;
    SceneStorage& operator=(const SceneStorage&) = delete;

    template <class T>
    void* allocate() {
        static_assert(std::is_trivially_destructible_v<T>, "scene objects are released without destructors");
        return poolFor<T>().allocate();
    }
    // A cell of a point's own spring list: these come from a pool of their own, so that the
    // cells of the scene's list lie together.
    void* allocatePointListCell() { return pointListCells_.allocate(); }
    // Raw memory for growable arrays of scene objects.
    void* allocateBytes(std::size_t size, std::size_t align) { return bytes_.allocate(size, align); }

    EndHints hints;
    ChainPredecessors chainBefore;
    // Counts the operations that change a link of the scene: a spring listed or unlinked, a
    // point joining a chain, elements hung on. The step compares it with the count it last read
    // the scene's order at.
    std::uint64_t linkEdits = 0;
    // The step's own records of this scene (its order and scratch), made on the step's first
    // use: they go with the scene, so a restart starts them afresh with everything else.
    std::shared_ptr<void> stepRecords;

    // Every object of the scene as it is now. Written back over the same storage, it puts the
    // scene back exactly, links and all; objects made since are dropped.
    struct Image {
        SlotPool::Image points, cells, pointListCells, springs, elements, cubes;
        ByteArena::Image bytes;
        std::uint64_t linkEdits = 0;
        std::size_t size() const;  // bytes held
    };
    void save(Image& image) const;
    // The hints are dropped (they may name objects made after the image); the step is told to
    // read the scene's order anew.
    void restore(const Image& image);

    std::size_t pointCount() const { return points_.count(); }
    std::size_t springCount() const { return springs_.count(); }
    std::size_t cellCount() const { return cells_.count() + pointListCells_.count(); }
    std::size_t elementCount() const { return elements_.count(); }
    std::size_t cubeCount() const { return cubes_.count(); }

private:
    template <class Storage, class StorageImage, class Visit>
    static void eachPart(Storage& storage, StorageImage& image, Visit visit);

    template <class T>
    SlotPool& poolFor() {
        if constexpr (std::is_same_v<T, MassPoint>) return points_;
        else if constexpr (std::is_same_v<T, SpringListNode>) return cells_;
        else if constexpr (std::is_same_v<T, Spring>) return springs_;
        else if constexpr (std::is_same_v<T, VolumeElement>) return elements_;
        else {
            static_assert(std::is_same_v<T, Cube>, "not a scene object");
            return cubes_;
        }
    }

    SlotPool points_;
    SlotPool cells_;
    SlotPool pointListCells_;
    SlotPool springs_;
    SlotPool elements_;
    SlotPool cubes_;
    ByteArena bytes_;
};

// The storage of the current scene. A scene restart replaces it, which releases the old scene
// unless something else still holds it (a snapshot of the world).
SceneStorage& sceneStorage();
std::shared_ptr<SceneStorage> sharedSceneStorage();
// Makes `storage` the current scene's storage again.
void useSceneStorage(std::shared_ptr<SceneStorage> storage);
// Replaces the current storage with a new, empty one and releases the old one.
void replaceSceneStorage();

// Makes a scene object in the current scene's storage.
template <class T, class... Args>
T* make(Args&&... args) {
    return ::new (sceneStorage().allocate<T>()) T(std::forward<Args>(args)...);
}

// A growable array of pointers whose buffer lives in the current scene's storage (only
// pushed to while its scene is being built). Insertion order is kept.
template <class T>
class PointerArray {
public:
    void push_back(T* item) {
        if (size_ == capacity_) grow();
        items_[size_++] = item;
    }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* operator[](std::size_t i) const { return items_[i]; }
    T* const* begin() const { return items_; }
    T* const* end() const { return items_ + size_; }

private:
    void grow() {
        const std::uint32_t newCapacity = capacity_ == 0 ? 4 : capacity_ * 2;
        auto** fresh = static_cast<T**>(sceneStorage().allocateBytes(newCapacity * sizeof(T*), alignof(T*)));
        for (std::uint32_t i = 0; i < size_; ++i) fresh[i] = items_[i];
        items_ = fresh;
        capacity_ = newCapacity;
    }
    T** items_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
};
