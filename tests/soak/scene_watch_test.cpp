// The soak is only as good as its watch: each invariant is broken on purpose here and must be
// reported, and an untouched scene must pass.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "interaction/keyboard.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "scene_watch.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

class SceneWatchTest : public ::testing::Test {
protected:
    void restart(unsigned char key) {
        onKey(key, 0, 0);
        ASSERT_EQ(watch.restarted(key), "");
    }
    void step(int n) {
        for (int i = 0; i < n; ++i) {
            onIdle();
            watch.stepped();
        }
    }
    SpringListNode* lastSpringCell() {
        SpringListNode* cell = springList;
        while (cell->next->next != nullptr) cell = cell->next;
        return cell;
    }
    void TearDown() override { onKey('1', 0, 0); }  // leave no corrupted scene behind

    SceneWatch watch;
};

TEST_F(SceneWatchTest, EveryUntouchedSceneHoldsItsInvariants) {
    for (unsigned char key : {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'}) {
        SCOPED_TRACE(key);
        restart(key);
        step(200);
        EXPECT_EQ(watch.check(), "");
        EXPECT_EQ(watch.checkFinite(), "");
        EXPECT_FALSE(watch.anyNonFinite());
    }
}

TEST_F(SceneWatchTest, KeysThatRestartNothingAreRefused) {
    EXPECT_NE(watch.restarted('g'), "");
    EXPECT_NE(watch.restarted('8'), "");
}

TEST_F(SceneWatchTest, ReportsASpringListedTwice) {
    restart('2');
    springList->next->spring = springList->spring;
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsACycleInTheSpringList) {
    restart('1');
    lastSpringCell()->next = springList;
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsAnEmptyCellBeforeTheEnd) {
    restart('1');
    springList->next->spring = nullptr;
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsASpringWhoseEndIsNoPointOfTheScene) {
    restart('1');
    MassPoint stranger(0, 0, 0, zeroVelocity, 1.0f, 1.0f, nullptr);
    MassPoint* const saved = springList->spring->b;
    springList->spring->b = &stranger;
    EXPECT_NE(watch.check(), "");
    springList->spring->b = saved;
    EXPECT_EQ(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsACycleInTheChainAndACutChain) {
    restart('1');
    MassPoint* last = chainHead->next;
    while (last->next != nullptr) last = last->next;
    last->next = chainHead->next;
    EXPECT_NE(watch.check(), "");
    last->next = nullptr;
    EXPECT_EQ(watch.check(), "");
    chainHead->next->next = nullptr;
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsAMovedAnchorOrPinnedCorner) {
    restart('p');
    step(10);
    ASSERT_EQ(watch.check(), "");
    // The suspension springs are listed last, each from its anchor (end a) to a corner.
    lastSpringCell()->spring->a->position.z += 0.25f;
    EXPECT_NE(watch.check(), "");

    restart('q');
    step(10);
    ASSERT_EQ(watch.check(), "");
    leadCube->corners[7]->velocity.y = 0.5f;
    EXPECT_NE(watch.check(), "");
    leadCube->corners[7]->velocity.y = 0.0f;
    leadCube->corners[7]->position.y = -1.5f;
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsAnyDriftOfSimTime) {
    restart('1');
    step(1000);
    EXPECT_EQ(watch.check(), "");
    simTime = std::nextafter(simTime, 1.0f);
    EXPECT_NE(watch.check(), "");
}

TEST_F(SceneWatchTest, ReportsANonFinitePoint) {
    restart('3');
    chainHead->next->next->velocity.y = std::numeric_limits<float>::infinity();
    EXPECT_NE(watch.checkFinite(), "");
    EXPECT_TRUE(watch.anyNonFinite());
}

}  // namespace
