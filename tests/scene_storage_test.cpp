// Scene storage: what a scene owns and how it lies in memory (restarts keeping memory flat
// are checked by the soak).

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

}  // namespace
