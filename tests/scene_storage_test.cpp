// Scene storage: what a scene owns and how it lies in memory (restarts keeping memory flat
// are checked by the soak).

#include <vector>

#include "interaction/keyboard.h"
#include "model/scene_storage.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

using SceneStorageTest = WorldTest;

TEST_F(SceneStorageTest, TheSceneOwnsExactlyWhatItBuilt) {
    onKey('3', 0, 0);
    const SceneStorage& storage = sceneStorage();
    EXPECT_EQ(storage.pointCount(), 16u + 1u);  // and the chain head
    EXPECT_EQ(storage.springCount(), 72u);
    EXPECT_EQ(storage.elementCount(), 24u);
    EXPECT_EQ(storage.cubeCount(), 3u);
    // One cell per point list and per list entry: 17 own lists, 72 x 2 own entries,
    // the global list's 72 entries and its terminator.
    EXPECT_EQ(storage.cellCount(), 17u + 144u + 72u + 1u);
}

TEST_F(SceneStorageTest, PointsOfOneSceneLieTogetherInChainOrder) {
    onKey('7', 0, 0);
    const auto points = movingPoints();
    for (size_t i = 1; i < points.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<const char*>(points[i]) - reinterpret_cast<const char*>(points[i - 1]),
                  static_cast<std::ptrdiff_t>(sizeof(MassPoint)));
    }
}

TEST(SlotPoolTest, EverySlotIsFoundAcrossChunksAndNothingElseIs) {
    // Enough slots for several chunks of growing size.
    SlotPool pool(24, 8);
    std::vector<char*> slots;
    for (int i = 0; i < 1000; ++i) slots.push_back(static_cast<char*>(pool.allocate()));
    // Looked up in an order that jumps between chunks, each slot is its number.
    for (size_t i = 0; i < slots.size(); ++i) {
        const size_t k = (i * 389) % slots.size();
        EXPECT_EQ(pool.slotOf(slots[k]), k);
    }
    EXPECT_EQ(pool.slotOf(slots[5] + 8), SlotPool::kNoSlot) << "inside a slot, not at its start";
    int local = 0;
    EXPECT_EQ(pool.slotOf(&local), SlotPool::kNoSlot);
    EXPECT_EQ(pool.slotOf(nullptr), SlotPool::kNoSlot);
    EXPECT_EQ(SlotPool(24, 8).slotOf(slots[0]), SlotPool::kNoSlot) << "an empty pool holds nothing";
}

}  // namespace
