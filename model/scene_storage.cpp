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

std::shared_ptr<SceneStorage>& currentStorage() {
    // Made on first use, so that the static initialisation of the world state can use it
    // whatever the order of initialisation between files.
    static std::shared_ptr<SceneStorage> storage = std::make_shared<SceneStorage>();
    return storage;
}

}  // namespace

SlotPool::SlotPool(std::size_t slotSize, std::size_t slotAlign)
    : stride_(roundUp(slotSize, slotAlign)), slotAlign_(slotAlign) {}

void* SlotPool::allocate() {
    if (inUse_.empty() || used_ == inUse_.back().second) {
        const std::size_t last = inUse_.empty() ? 0 : inUse_.back().second;
        const std::size_t slots = last == 0 ? kFirstChunkSlots : std::min(last * 2, kLargestChunkSlots);
        owned_.emplace_back(static_cast<std::byte*>(::operator new[](slots * stride_, std::align_val_t(slotAlign_))),
                            AlignedDelete{slotAlign_});
        inUse_.emplace_back(owned_.back().get(), slots);
        used_ = 0;
    }
    void* slot = inUse_.back().first + used_ * stride_;
    ++used_;
    ++count_;
    return slot;
}

void SlotPool::save(Image& image) const {
    image.chunks = inUse_;
    image.used = used_;
    image.count = count_;
    image.bytes.clear();
    for (std::size_t c = 0; c < inUse_.size(); ++c) {
        const std::size_t slots = c + 1 < inUse_.size() ? inUse_[c].second : used_;
        image.bytes.insert(image.bytes.end(), inUse_[c].first, inUse_[c].first + slots * stride_);
    }
}

void SlotPool::restore(const Image& image) {
    const std::byte* from = image.bytes.data();
    for (std::size_t c = 0; c < image.chunks.size(); ++c) {
        const std::size_t size = (c + 1 < image.chunks.size() ? image.chunks[c].second : image.used) * stride_;
        std::copy(from, from + size, image.chunks[c].first);
        from += size;
    }
    inUse_ = image.chunks;
    used_ = image.used;
    count_ = image.count;
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
        owned_.emplace_back(new std::byte[bytes]);
        inUse_.emplace_back(owned_.back().get(), bytes);
        next_ = owned_.back().get();
        left_ = bytes;
        pad = fits();
    }
    void* p = next_ + pad;
    next_ += pad + size;
    left_ -= pad + size;
    return p;
}

void ByteArena::save(Image& image) const {
    image.chunks = inUse_;
    image.left = left_;
    image.bytes.clear();
    for (std::size_t c = 0; c < inUse_.size(); ++c) {
        const std::size_t size = inUse_[c].second - (c + 1 < inUse_.size() ? 0 : left_);
        image.bytes.insert(image.bytes.end(), inUse_[c].first, inUse_[c].first + size);
    }
}

void ByteArena::restore(const Image& image) {
    const std::byte* from = image.bytes.data();
    for (std::size_t c = 0; c < image.chunks.size(); ++c) {
        const std::size_t size = image.chunks[c].second - (c + 1 < image.chunks.size() ? 0 : image.left);
        std::copy(from, from + size, image.chunks[c].first);
        from += size;
    }
    inUse_ = image.chunks;
    left_ = image.left;
    next_ = inUse_.empty() ? nullptr : inUse_.back().first + (inUse_.back().second - left_);
}

SceneStorage::SceneStorage()
    : points_(sizeof(MassPoint), kCacheLine),
      cells_(sizeof(SpringListNode), alignof(SpringListNode)),
      pointListCells_(sizeof(SpringListNode), alignof(SpringListNode)),
      springs_(sizeof(Spring), alignof(Spring)),
      elements_(sizeof(VolumeElement), alignof(VolumeElement)),
      cubes_(sizeof(Cube), alignof(Cube)) {}

SceneStorage& sceneStorage() { return *currentStorage(); }

std::shared_ptr<SceneStorage> sharedSceneStorage() { return currentStorage(); }

void useSceneStorage(std::shared_ptr<SceneStorage> storage) { currentStorage() = std::move(storage); }

void replaceSceneStorage() { currentStorage() = std::make_shared<SceneStorage>(); }

// Scene objects are copied as bytes: they must hold nothing but values and pointers.
static_assert(std::is_trivially_copyable_v<MassPoint> && std::is_trivially_copyable_v<SpringListNode> &&
              std::is_trivially_copyable_v<Spring> && std::is_trivially_copyable_v<VolumeElement> &&
              std::is_trivially_copyable_v<Cube>);

std::size_t SceneStorage::Image::size() const {
    return points.bytes.size() + cells.bytes.size() + pointListCells.bytes.size() + springs.bytes.size() +
           elements.bytes.size() + cubes.bytes.size() + bytes.bytes.size();
}

// Each pool and the arena of `storage` with its part of `image`.
template <class Storage, class StorageImage, class Visit>
void SceneStorage::eachPart(Storage& storage, StorageImage& image, Visit visit) {
    visit(storage.points_, image.points);
    visit(storage.cells_, image.cells);
    visit(storage.pointListCells_, image.pointListCells);
    visit(storage.springs_, image.springs);
    visit(storage.elements_, image.elements);
    visit(storage.cubes_, image.cubes);
    visit(storage.bytes_, image.bytes);
}

void SceneStorage::save(Image& image) const {
    eachPart(*this, image, [](const auto& part, auto& into) { part.save(into); });
    image.linkEdits = linkEdits;
}

void SceneStorage::restore(const Image& image) {
    eachPart(*this, image, [](auto& part, const auto& from) { part.restore(from); });
    hints = EndHints{};
    chainBefore = ChainPredecessors{};
    // Counted on from where it stood plus one, so the step's order, read at any count, is stale.
    linkEdits = std::max(linkEdits, image.linkEdits) + 1;
}
