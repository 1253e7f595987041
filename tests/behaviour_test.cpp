// Whole scenes over time: falling, landing, resting, tearing, hanging still.

#include <cmath>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

using BehaviourTest = WorldTest;

float maxSpeed() {
    float v = 0.0f;
    for (MassPoint* p : movingPoints()) v = std::max(v, length(p->velocity));
    return v;
}

TEST_F(BehaviourTest, OneCubeFallsLandsAndComesToRestOnTheFloorInShape) {
    onKey('1', 0, 0);
    simulate(1000);  // half a second: still in the air, falling
    for (MassPoint* p : movingPoints()) {
        EXPECT_GT(p->position.z, 0.0f);
        EXPECT_LT(p->velocity.z, -1.0f);
    }
    simulate(15000);  // eight seconds in all
    for (MassPoint* p : movingPoints()) {
        EXPECT_GE(p->position.z, 0.0f);
        EXPECT_LT(p->position.z, 1.05f);
    }
    EXPECT_LT(maxSpeed(), 0.2f);
    // The four bottom corners stand on the floor and every edge keeps its length within 5 %.
    for (int k = 0; k < 4; ++k) EXPECT_LT(leadCube->corners[k]->position.z, 0.02f);
    for (Spring* s : leadCube->springs) EXPECT_NEAR(currentLength(*s) / s->restLength, 1.0f, 0.05f);
}

TEST_F(BehaviourTest, WithoutGravityACubeAtRestStaysExactlyPut) {
    onKey('g', 0, 0);
    onKey('1', 0, 0);
    std::vector<Vec3> start;
    for (MassPoint* p : movingPoints()) start.push_back(p->position);
    simulate(2000);
    const auto points = movingPoints();
    for (size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(sameBits(points[i]->position, start[i]));
}

TEST_F(BehaviourTest, RightDragToTheRightMovesEveryPointTowardPlusY) {
    onKey('g', 0, 0);
    onKey('3', 0, 0);
    std::vector<float> y0;
    for (MassPoint* p : movingPoints()) y0.push_back(p->position.y);
    onMouse(kRightButton, kButtonDown, 300, 300);
    onMouse(kRightButton, kButtonUp, 400, 300);
    simulate(400);
    const auto points = movingPoints();
    for (size_t i = 0; i < points.size(); ++i) EXPECT_GT(points[i]->position.y, y0[i] + 0.01f);
}

TEST_F(BehaviourTest, HardPushTearsBreakableSpringsAndOnlyThen) {
    for (bool breakable : {false, true}) {
        resetWorld();
        breakableOn = breakable;
        onKey('3', 0, 0);
        // A long right drag to the right, the hardest push there is, slams the row into the far wall.
        onMouse(kRightButton, kButtonDown, 0, 300);
        onMouse(kRightButton, kButtonUp, 2000, 300);
        simulate(3000);
        const size_t left = activeSprings().size();
        if (breakable) {
            EXPECT_LT(left, 72u);
        } else {
            EXPECT_EQ(left, 72u);
        }
        for (MassPoint* p : movingPoints()) EXPECT_TRUE(std::isfinite(p->position.z));
    }
}

TEST_F(BehaviourTest, PendulumAnchorsNeverMoveWhileItSwings) {
    onKey('p', 0, 0);
    std::vector<Vec3> anchors;
    for (Spring* s : activeSprings()) {
        if (s->stiffness == 1000.0f) anchors.push_back(s->a->position);
    }
    ASSERT_EQ(anchors.size(), 4u);
    onMouse(kRightButton, kButtonDown, 300, 300);
    onMouse(kRightButton, kButtonUp, 500, 250);
    simulate(4000);
    size_t i = 0;
    for (Spring* s : activeSprings()) {
        if (s->stiffness == 1000.0f) {
            EXPECT_TRUE(sameBits(s->a->position, anchors[i++]));
        }
    }
    // The cubes hang below the anchors' height... and above the floor.
    EXPECT_LT(leadCube->corners[0]->position.z, 8.0f);
    EXPECT_GT(leadCube->corners[0]->position.z, 0.0f);
}

TEST_F(BehaviourTest, FlickWithinOneFrameLeavesTheSevenCubeRowFinite) {
    // Press and release between the same two steps, as a quick flick in the window gives.
    onKey('7', 0, 0);
    simulate(1400);
    onMouse(kLeftButton, kButtonDown, 400, 300);
    onMouse(kLeftButton, kButtonUp, 420, 300);
    simulate(4000);
    for (MassPoint* p : movingPoints()) {
        ASSERT_TRUE(std::isfinite(p->position.y) && std::isfinite(p->velocity.y));
    }
    EXPECT_GT(leadCube->corners[0]->position.y, 0.5f) << "the flick pushed the row toward +y";
}

}  // namespace
