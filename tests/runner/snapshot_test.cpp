// A snapshot of the world puts it back exactly: saved, stepped on, left for other scenes and
// restored, the world steps on to the bits it reached the first time.

#include "sim/snapshot.h"

#include "model/scene_storage.h"
#include "sim/world.h"
#include "tests/runner/script_world_test.h"

namespace {

using SnapshotTest = ScriptWorldTest;

TEST_F(SnapshotTest, RestoringAndSteppingOnGivesTheBitsOfNeverHavingLeft) {
    const struct {
        const char* before;  // run, then saved
        const char* after;   // run after the save, and again after the restore
    } cases[] = {
        {"key 1\nstep 300\n", "step 500\n"},
        {"key 2\nset damping 10\nset gravity 20\nstep 300\n", "step 400\nkey v\nstep 100\n"},
        {"key 3\nstep 300\n", "press right 400 300\nrelease right 500 100\nstep 600\n"},
        {"key 4\nstep 100\n", "key x\npress left 400 300\nstep 20\nrelease left 300 200\nstep 300\n"},
        {"key 5\nkey g\nstep 100\n", "step 300\n"},
        {"key 6\nstep 1000\n", "set stiffness-scale 0.5\nstep 300\n"},
        {"key 7\nstep 200\n", "step 300\n"},
        {"key s\nstep 200\n", "step 300\n"},
        {"key q\nstep 200\n", "step 300\n"},
        {"key p\nstep 200\n", "step 300\n"},
        // Springs tear and yield after the save: the restore puts them back.
        {"key z\nkey 3\nstep 100\n", "press right 400 300\nrelease right 900 0\nstep 2000\n"},
        {"key u\nkey 2\nstep 100\n", "press right 400 300\nrelease right 800 100\nstep 1500\n"},
        // Torn before the save.
        {"key z\nkey 3\npress right 400 300\nrelease right 900 0\nstep 2000\n", "step 500\n"},
        // A grab held across the save, moved and let go after it.
        {"key 3\ntake 5\nmove -1 6 4\nstep 300\n", "step 200\nmove 0 3 5\nstep 200\nlet go\nstep 100\n"},
        // Cubes touching, their friction springs held, one more dropped after the save.
        {"set contact on\nscene\ncube 0 0 0.1\nstep 1500\ncube 0.04 0.02 1.15\nstep 2500\n",
         "press right 400 300\nrelease right 450 300\nstep 800\ncube 0 0 2.2\nstep 800\n"},
        // Built on after the save: the new cubes' arrays go where they went the first time.
        {"key s\nstep 100\n", "set contact on\ncube -1 4 3\nattach 2\nstep 600\n"},
        // A scene made and pinned after the save.
        {"key 1\nstep 100\n", "scene\ncube 0 0 1\nattach 2\nstep 100\npin cube 3 far\nstep 300\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.before) + "--- saved, then\n" + c.after);
        hashAfter(c.before);
        WorldSnapshot saved;
        saveWorld(saved);
        run(c.after);
        const std::uint64_t first = hashMovingPoints();
        const float time = simTime;
        const std::size_t points = sceneStorage().pointCount(), cubes = sceneStorage().cubeCount();
        // Away: on in the same scene with other settings, then other scenes, and a push armed.
        run(std::string(c.after) +
            "set stiffness-scale 2\nset gravity 5\nset contact off\nstep 100\nkey z\nkey 2\nstep 200\n"
            "scene\ncube 1 1 1\nstep 10\npress right 100 100\nrelease right 500 500\n");
        restoreWorld(saved);
        EXPECT_EQ(sharedSceneStorage(), saved.storage) << "the scene saved is the one in use again";
        run(c.after);
        EXPECT_EQ(sceneStorage().pointCount(), points);
        EXPECT_EQ(sceneStorage().cubeCount(), cubes);
        EXPECT_EQ(hashMovingPoints(), first);
        EXPECT_EQ(simTime, time);
    }
}

}  // namespace
