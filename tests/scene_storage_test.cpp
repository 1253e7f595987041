// Scene storage: a restart releases the old scene at once, and memory stays flat.

#include <malloc.h>

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

TEST_F(SceneStorageTest, RestartsDoNotGrowMemory) {
    onKey('s', 0, 0);
    const size_t before = mallinfo2().uordblks;
    if (before == 0) GTEST_SKIP() << "the allocator keeps no statistics here (sanitizer build: LeakSanitizer checks)";
    for (int i = 0; i < 300; ++i) onKey(i % 2 ? 's' : 'p', 0, 0);
    onKey('s', 0, 0);
    const size_t after = mallinfo2().uordblks;
    EXPECT_LT(after, before + 64 * 1024) << "before " << before << " after " << after;
}

}  // namespace
