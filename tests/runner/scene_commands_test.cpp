// Scenes built from commands, and the settings, carried out on the world.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interaction/scene_commands.h"
#include "interaction/scenes.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "sim/presets.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/runner/script_world_test.h"
#include "tests/test_support.h"

namespace {

class SceneCommands : public ScriptWorldTest {};

// A cube dropped off-centre onto another: they touch within the 1500 steps.
constexpr const char* kStack = "scene\ncube 0 0 0\ncube 0.2 0.1 1.1\n";
constexpr const char* kContactStack = "set contact on\nscene\ncube 0 0 0\ncube 0.2 0.1 1.1\n";

TEST_F(SceneCommands, EverySettingActsAndItsDesignValueGivesTheBitsOfNone) {
    const struct {
        const char* name;
        const char* other;
        const char* scene;
    } cases[] = {
        {"gravity", "3", "key 2\n"},
        {"damping", "20", "key 2\n"},
        {"volume-stiffness", "2000", "key 2\n"},
        {"plastic-volume-stiffness", "9000", "key u\nkey 2\n"},
        {"stiffness-scale", "0.5", "key 2\n"},
        {"own-weight", "on", "scene\ncube 0 0 4\ncube -2 3 4 mass 3\n"},
        {"contact", "on", kStack},
        {"contact-stiffness", "50000", kContactStack},
        {"contact-damping", "20", kContactStack},
        {"friction", "0", kContactStack},
    };
    ASSERT_EQ(std::size(cases), static_cast<std::size_t>(kSettingCount));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int i = findSetting(c.name);
        ASSERT_GE(i, 0);
        const std::string design = kSettings[i].isSwitch ? "off" : std::to_string(kSettings[i].design());
        const std::string steps = "step 1500\n";
        const std::uint64_t none = hashAfter(std::string(c.scene) + steps);
        EXPECT_EQ(hashAfter(std::string(c.scene) + "set " + c.name + " " + design + "\n" + steps), none);
        EXPECT_NE(hashAfter(std::string(c.scene) + "set " + c.name + " " + c.other + "\n" + steps), none);
    }
}

TEST_F(SceneCommands, RestartsKeepTheSettingsAndTheStiffnessScaleRewritesEverySpring) {
    run("set gravity 0\nset stiffness-scale 2\nkey p\nstep 1\n");
    EXPECT_EQ(settings.gravity, 0.0f);
    for (const Spring* s : activeSprings()) EXPECT_EQ(s->stiffness, 2.0f * s->builtStiffness);
    run("set stiffness-scale 1\n");
    for (const Spring* s : activeSprings()) EXPECT_EQ(s->stiffness, s->builtStiffness) << "back to the bits as built";
    run("key 3\nstep 200\n");
    for (const MassPoint* p : movingPoints()) EXPECT_EQ(p->position.z >= 2.0f, true) << "no gravity after a restart";
}

TEST_F(SceneCommands, PinnedCornersLeaveTheChainAndStayPut) {
    // Pinning the chain's first point, a middle one and its last one.
    run("scene\ncube 0 0 4\nattach\npin cube 1 0 5\npin cube 2 6\nstep 2000\n");
    EXPECT_EQ(movingPoints().size(), 9u);
    const Cube& first = *sceneCubes()[0];
    EXPECT_TRUE(sameBits(first.corners[0]->position, Vec3{0.0f, 0.0f, 4.0f}));
    EXPECT_TRUE(sameBits(first.corners[5]->position, Vec3{0.0f, 1.0f, 5.0f}));
    EXPECT_TRUE(sameBits(sceneCubes()[1]->corners[6]->position, Vec3{-1.0f, 2.0f, 5.0f}));
    // A cube built after the pins joins the moving points.
    run("cube 0 5 4\nstep 1\n");
    EXPECT_EQ(movingPoints().size(), 17u);
    // Commands for cubes the scene lacks (made by hand: the reader refuses them) do nothing.
    const std::size_t springs = activeSprings().size();
    pinCorners(4, 0xffu);
    anchorCorner(Vec3{}, 0, 0, 1.0f, 1.0f, 1.0f);
    chooseLeadCube(4);
    EXPECT_EQ(movingPoints().size(), 17u);
    EXPECT_EQ(activeSprings().size(), springs);
    EXPECT_EQ(leadCube, sceneCubes()[0]);
    // Also when a pin took out the chain's last point.
    for (const char* pinsTheLast : {"scene\ncube 0 0 4\npin top\ncube 0 3 4\n", "scene\ncube 0 0 4\nattach\npin far\nattach\n"}) {
        run(pinsTheLast);
        EXPECT_EQ(movingPoints().size(), 12u) << pinsTheLast;
    }
}

TEST_F(SceneCommands, AnchorsHoldCornersAndTheLeadCubeGivesTheGravityMass) {
    run("scene\ncube 0 0 4 elements off\ncube 0 3 4 mass 2\nanchor 0 0 6 cube 1 corner 4\nlead 2\n");
    EXPECT_EQ(leadCube, sceneCubes()[1]);
    const Spring* anchor = activeSprings().back();
    EXPECT_EQ(anchor->b, sceneCubes()[0]->corners[4]);
    EXPECT_EQ(anchor->restLength, 1.0f) << "the start distance";
    EXPECT_EQ(elementCount(), 8) << "only the second cube has elements";
    run("set damping 0\nstep 1\n");
    // After one step from rest, a free point's velocity is the gravity force over its mass.
    const float dt = 0.0005f;
    EXPECT_EQ(sceneCubes()[1]->corners[0]->velocity.z, ((0.0f - 0.0f * 0.2f) + -9.81f * 2.0f) / 2.0f * dt);
}

}  // namespace

namespace {

// The reader follows each prepared scene from the same table the builders use: a row attached
// to it lands one edge beyond the last cube built, and the reader counts its cubes right.
TEST_F(SceneCommands, TheReaderFollowsEveryPreparedSceneAsBuilt) {
    for (const PreparedScene& p : kPreparedScenes) {
        SCOPED_TRACE(p.key);
        const std::string key = std::string("key ") + p.key + "\n";
        run(key);
        ASSERT_EQ(sceneCubes().size(), static_cast<std::size_t>(p.cubes));
        const Cube& last = *sceneCubes().back();
        EXPECT_EQ(last.corners[0]->position.y, static_cast<float>(p.lastY()));
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        EXPECT_TRUE(parseScript(key + "lead " + std::to_string(p.cubes), commands, error)) << error.message;
        EXPECT_FALSE(parseScript(key + "lead " + std::to_string(p.cubes + 1), commands, error));
        // A cube attached without options is made like the scene's own.
        run(key + "attach\n");
        EXPECT_EQ(elementCount(), p.elements ? 8 * (p.cubes + 1) : 0);
    }
}

}  // namespace
