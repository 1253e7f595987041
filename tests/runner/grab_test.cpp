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
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/runner/script_world_test.h"
#include "tests/test_support.h"

namespace {

class GrabTest : public ScriptWorldTest {
protected:
    static bool reads(const std::string& script) {
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        return parseScript(script, commands, error);
    }
};

TEST_F(GrabTest, TheReaderKnowsHowManyPointsMoveInEveryScene) {
    // What the reader allows `take` to name is what the scene has, prepared or written, pinned
    // or not: the last point can be taken, the one after it cannot.
    const char* scenes[] = {"key 1\n", "key 7\n", "key s\n", "key q\n", "key p\n",
                            "scene\ncube 0 0 2\nattach 2\npin cube 2 near 5\npin 0 1\n",
                            "scene\ncube 0 0 2\ncube 3 0 2\nattach\npin cube 1 top bottom\n",
                            // One point named twice: cube 1's corner 2 is cube 2's corner 3.
                            "scene\ncube 0 0 2\nattach\npin cube 1 2\npin cube 2 3\n"};
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
    ASSERT_TRUE(takePoint(0));
    resetWorldState();
    EXPECT_EQ(grab.point, nullptr) << "a new run holds nothing";
}

TEST_F(GrabTest, AHeldPointComesToItsTargetWithoutRinging) {
    // A lone point, no gravity: the spring is damped about critically, so the point reaches the
    // target a unit away and barely passes it.
    MassPoint* p = pointAt(0.0f, 0.0f, 5.0f, true);
    gravityOn = false;
    ASSERT_TRUE(takePoint(0));
    moveGrabTarget(Vec3{1.0f, 0.0f, 5.0f});
    float furthest = 0.0f;
    for (int i = 0; i < 4000; ++i) {
        onIdle();
        furthest = std::max(furthest, p->position.x);
    }
    EXPECT_NEAR(p->position.x, 1.0f, 1e-3f);
    EXPECT_LT(furthest, 1.02f);
}

TEST_F(GrabTest, TakingHoldsTheNumberedPointWhereItIs) {
    startWorld();
    const std::vector<MassPoint*> points = movingPoints();
    for (const int n : {0, 5, static_cast<int>(points.size()) - 1}) {
        ASSERT_TRUE(takePoint(n));
        EXPECT_EQ(grab.point, points[static_cast<std::size_t>(n)]);
        EXPECT_TRUE(sameBits(grab.target, points[static_cast<std::size_t>(n)]->position)) << "no yank at the take";
    }
    for (const int n : {-1, static_cast<int>(points.size())}) {
        ASSERT_TRUE(takePoint(0));
        EXPECT_FALSE(takePoint(n));
        EXPECT_EQ(grab.point, nullptr) << "a take of no point lets go of the one held";
    }
    moveGrabTarget(Vec3{1.0f, 2.0f, 3.0f});
    EXPECT_TRUE(sameBits(grab.target, Vec3{})) << "a move with nothing held does nothing";
}

TEST_F(GrabTest, ThePullIsASpringWithDampingPerUnitOfMassAndBoundedWhole) {
    const struct {
        const char* what;
        float mass;
        Vec3 reach, velocity;
    } cases[] = {
        {"at rest, near", 1.0f, {0.1f, -0.2f, 0.3f}, {0.0f, 0.0f, 0.0f}},
        {"heavy, moving", 3.0f, {0.1f, 0.0f, -0.2f}, {0.5f, -1.0f, 2.0f}},
        {"far: pulled as from kMaxGrabReach off", 2.0f, {30.0f, 0.0f, -40.0f}, {0.0f, 0.0f, 0.0f}},
        {"far and fleeing: the bound", 1.0f, {0.0f, 50.0f, 0.0f}, {0.0f, -60.0f, 0.0f}},
        {"fast near its target: the damping counts in the bound", 1.0f, {0.01f, 0.0f, 0.0f}, {0.0f, 0.0f, -80.0f}},
        {"beyond any float reach", 1.0f, {3e37f, 0.0f, -3e37f}, {0.0f, 0.0f, 0.0f}},
        {"beyond any float speed: bounded before it is rounded", 1.0f, {0.0f, 0.0f, 0.1f}, {0.0f, 0.0f, -1e37f}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetWorld();
        MassPoint* p = pointAt(0.0f, 0.0f, 1.0f, true);
        p->mass = c.mass;
        p->velocity = c.velocity;
        ASSERT_TRUE(takePoint(0));
        moveGrabTarget(Vec3{c.reach.x, c.reach.y, 1.0f + c.reach.z});
        addGrabPull();
        const double length = std::sqrt(double{c.reach.x} * c.reach.x + double{c.reach.y} * c.reach.y +
                                        double{c.reach.z} * c.reach.z);
        const double spring = kGrabStiffness * std::min(1.0, kMaxGrabReach / length);
        const double want[3] = {spring * c.reach.x - double{kGrabDamping} * c.velocity.x,
                                spring * c.reach.y - double{kGrabDamping} * c.velocity.y,
                                spring * c.reach.z - double{kGrabDamping} * c.velocity.z};
        const double size = std::sqrt(want[0] * want[0] + want[1] * want[1] + want[2] * want[2]);
        const double shrink = std::min(1.0, kMaxGrabAcceleration / size);
        EXPECT_NEAR(p->force.x, want[0] * shrink * c.mass, 1e-3 * c.mass);
        EXPECT_NEAR(p->force.y, want[1] * shrink * c.mass, 1e-3 * c.mass);
        EXPECT_NEAR(p->force.z, want[2] * shrink * c.mass, 1e-3 * c.mass);
    }
}

TEST_F(GrabTest, APointThatBlewUpIsNotPulled) {
    MassPoint* p = pointAt(0.0f, 0.0f, 1.0f, true);
    ASSERT_TRUE(takePoint(0));
    p->position.y = INFINITY;
    addGrabPull();  // raises no floating-point exception (the tests trap them)
    EXPECT_TRUE(sameBits(p->force, Vec3{})) << "no NaN force on it";
}

TEST_F(GrabTest, BothBoundsScaleWithTheHeldBodysStiffnessPerUnitOfMass) {
    const struct {
        const char* what;
        const char* scene;
        double share;  // of the full pull
        float speed;   // the held point's, straight down
        bool tornSoftSpring = false;
    } cases[] = {
        {"a prepared corner", "key 1\n", 1.0, 0.0f},
        {"springs a quarter as stiff", "key 1\nset stiffness-scale 0.25\n", 0.25, 0.0f},
        {"and fast: the whole bound, scaled", "key 1\nset stiffness-scale 0.25\n", 0.25, 100.0f},
        {"three times as heavy", "scene\ncube 0 0 1 mass 3\n", 1.0 / 3.0, 0.0f},
        {"stiffer than prepared: no more than in full", "scene\ncube 0 0 1 stiffness 5000\n", 1.0, 0.0f},
        {"a torn spring does not count", "key 1\n", 1.0, 0.0f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        resetWorld();
        startWorld();
        run(std::string(c.scene) + "take 0\n");
        MassPoint* p = grab.point;
        ASSERT_NE(p, nullptr);
        if (c.tornSoftSpring) {
            p->springs->spring->torn = true;  // a torn spring stays in its point's list
            p->springs->spring->stiffness = 100.0f;
        }
        moveGrabTarget(Vec3{p->position.x, p->position.y, p->position.z + 1000.0f});
        p->velocity = Vec3{0.0f, 0.0f, -c.speed};
        p->force = Vec3{};
        addGrabPull();
        const double spring = kGrabStiffness * kMaxGrabReach * c.share, damping = double{kGrabDamping} * c.speed;
        const double want = std::min(spring + damping, kMaxGrabAcceleration * c.share) * p->mass;
        EXPECT_NEAR(p->force.z, want, 1e-3 * want);
    }
}

}  // namespace
