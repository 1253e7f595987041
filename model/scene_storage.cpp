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

std::size_t roundUp(std::size_t size, std::size_t align) { return (size + align - 1) / align * align; }

std::unique_ptr<SceneStorage>& currentStorage() {
    // Made on first use, so that the static initialisation of the world state can use it
    // whatever the order of initialisation between files.
    static std::unique_ptr<SceneStorage> storage = std::make_unique<SceneStorage>();
    return storage;
}

}  // namespace

void* SlotPool::allocate() {
    if (used_ == capacity_) {
        const std::size_t slots = capacity_ == 0 ? kFirstChunkSlots : std::min(capacity_ * 2, kLargestChunkSlots);
        const std::size_t stride = roundUp(slotSize_, slotAlign_);
        chunks_.emplace_back(static_cast<std::byte*>(::operator new[](slots * stride, std::align_val_t(slotAlign_))),
                             AlignedDelete{slotAlign_});
        capacity_ = slots;
        used_ = 0;
    }
    void* slot = chunks_.back().get() + used_ * roundUp(slotSize_, slotAlign_);
    ++used_;
    ++count_;
    return slot;
}

SceneStorage::SceneStorage()
    : points_(sizeof(MassPoint), kCacheLine),
      cells_(sizeof(SpringListNode), alignof(SpringListNode)),
      pointListCells_(sizeof(SpringListNode), alignof(SpringListNode)),
      springs_(sizeof(Spring), alignof(Spring)),
      elements_(sizeof(VolumeElement), alignof(VolumeElement)),
      cubes_(sizeof(Cube), alignof(Cube)),
      bytes_(4096) {}

void SceneStorage::AlignedDelete::operator()(std::byte* p) const { ::operator delete[](p, std::align_val_t(kCacheLine)); }

void SceneStorage::growSpringRecords() {
    // The records are scratch between passes of one step: nothing needs copying.
    const std::size_t capacity = std::max<std::size_t>(kFirstChunkSlots, 2 * springRecordCapacity_);
    const std::size_t spare = 16;  // a record's last float may be written as part of four
    springRecords_.reset(
        static_cast<std::byte*>(::operator new[](capacity * kSpringRecordBytes + spare, std::align_val_t(kCacheLine))));
    springRecordCapacity_ = capacity;
}

SceneStorage& sceneStorage() { return *currentStorage(); }

void replaceSceneStorage() { currentStorage() = std::make_unique<SceneStorage>(); }
