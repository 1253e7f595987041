// The grab: a point taken by number and pulled toward a target, as a run's commands.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/cube.h"
#include "model/mass_point.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "sim/constants.h"
#include "sim/grab.h"
#include "sim/scene_counts.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class GrabTest : public WorldTest {
protected:
    static bool reads(const std::string& script) {
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        return parseScript(script, commands, error);
    }
    static void run(const std::string& script) {
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        ASSERT_TRUE(parseScript(script, commands, error)) << error.line << ": " << error.message;
        runScript(commands);
    }
};

TEST_F(GrabTest, TheReaderKnowsHowManyPointsMoveInEveryScene) {
    // What the reader allows `take` to name is what the scene has, prepared or written, pinned
    // or not: the last point can be taken, the one after it cannot.
    const char* scenes[] = {"key 1\n", "key 7\n", "key s\n", "key q\n", "key p\n",
                            "scene\ncube 0 0 2\nattach 2\npin cube 2 near 5\npin 0 1\n",
                            "scene\ncube 0 0 2\ncube 3 0 2\nattach\npin cube 1 top bottom\n"};
    for (const char* scene : scenes) {
        SCOPED_TRACE(scene);
        resetWorld();
        startWorld();
        run(scene);
        const int moving = countMovingPoints();
        EXPECT_TRUE(reads(std::string(scene) + "take " + std::to_string(moving - 1) + "\n"));
        EXPECT_FALSE(reads(std::string(scene) + "take " + std::to_string(moving) + "\n"));
    }
}

TEST_F(GrabTest, ACornerLiftsItsCubeAndRestartsAndPinsLetGo) {
    startWorld();
    // Corner 4 of the one cube (top, over corner 0), pulled 3 units up once the cube has landed.
    run("step 2000\ntake 4\n");
    ASSERT_NE(grab.point, nullptr);
    const Vec3 at = grab.point->position;
    run("move " + std::to_string(at.x) + " " + std::to_string(at.y) + " " + std::to_string(at.z + 3.0f) + "\nstep 4000\n");
    float lowest = 1e9f;
    for (const MassPoint* p : movingPoints()) lowest = std::min(lowest, p->position.z);
    EXPECT_GT(lowest, 0.5f) << "the whole cube hangs from its corner, off the floor";
    run("key 2\n");
    EXPECT_EQ(grab.point, nullptr);
    run("take 3\npin cube 1 near\n");
    EXPECT_EQ(grab.point, nullptr) << "a pin renumbers the chain";
    EXPECT_FALSE(takePoint(countMovingPoints()));
}

TEST_F(GrabTest, APullFarAwayIsBounded) {
    startWorld();
    gravityOn = false;
    run("take 0\nmove 1000 -1000 1000\nstep 1\n");
    const Vec3 v = grab.point->velocity;
    const float speed = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    // One step of the largest pull, less a little for the point's own drag and its springs.
    EXPECT_LE(speed, kMaxGrabAcceleration * kTimeStep * 1.001f);
    EXPECT_GT(speed, kMaxGrabAcceleration * kTimeStep * 0.9f);
}

}  // namespace
