#include "model/scene_storage.h"

#include <algorithm>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "model/volume_element.h"

namespace {

constexpr std::size_t kFirstChunkSlots = 64;
constexpr std::size_t kLargestChunkSlots = 1 << 16;
// Points start on cache lines: a step reads and writes every one of them several times.
constexpr std::size_t kCacheLine = 64;

constexpr std::size_t kNoRoom = static_cast<std::size_t>(-1);

std::size_t roundUp(std::size_t size, std::size_t align) { return (size + align - 1) / align * align; }

std::unique_ptr<SceneStorage>& currentStorage() {
    // Made on first use, so that the static initialisation of the world state can use it
    // whatever the order of initialisation between files.
    static std::unique_ptr<SceneStorage> storage = std::make_unique<SceneStorage>();
    return storage;
}

}  // namespace

SlotPool::SlotPool(std::size_t slotSize, std::size_t slotAlign)
    : stride_(roundUp(slotSize, slotAlign)), slotAlign_(slotAlign) {}

void* SlotPool::allocate() {
    if (used_ == capacity_) {
        const std::size_t slots = capacity_ == 0 ? kFirstChunkSlots : std::min(capacity_ * 2, kLargestChunkSlots);
        chunks_.emplace_back(static_cast<std::byte*>(::operator new[](slots * stride_, std::align_val_t(slotAlign_))),
                             AlignedDelete{slotAlign_});
        capacity_ = slots;
        used_ = 0;
    }
    void* slot = chunks_.back().get() + used_ * stride_;
    ++used_;
    ++count_;
    return slot;
}

void* ByteArena::allocate(std::size_t size, std::size_t align) {
    constexpr std::size_t kChunk = 4096;
    auto fits = [&] {
        const std::size_t pad = (align - reinterpret_cast<std::uintptr_t>(next_) % align) % align;
        return left_ >= pad + size ? pad : kNoRoom;
    };
    std::size_t pad = next_ != nullptr ? fits() : kNoRoom;
    if (pad == kNoRoom) {
        // new[] of bytes is aligned for any fundamental type, which is all the arrays hold.
        const std::size_t bytes = std::max(kChunk, size + align);
        chunks_.emplace_back(new std::byte[bytes]);
        next_ = chunks_.back().get();
        left_ = bytes;
        pad = fits();
    }
    void* p = next_ + pad;
    next_ += pad + size;
    left_ -= pad + size;
    return p;
}

SceneStorage::SceneStorage()
    : points_(sizeof(MassPoint), kCacheLine),
      cells_(sizeof(SpringListNode), alignof(SpringListNode)),
      pointListCells_(sizeof(SpringListNode), alignof(SpringListNode)),
      springs_(sizeof(Spring), alignof(Spring)),
      elements_(sizeof(VolumeElement), alignof(VolumeElement)),
      cubes_(sizeof(Cube), alignof(Cube)) {}

SceneStorage& sceneStorage() { return *currentStorage(); }

void replaceSceneStorage() { currentStorage() = std::make_unique<SceneStorage>(); }
