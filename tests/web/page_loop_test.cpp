#include <fenv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "interaction/keyboard.h"
#include "model/mass_point.h"
#include "run/apply_command.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "run/timeline.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_pacing.h"
#include "web/page_loop.h"

namespace {

std::int32_t handClock = 0;
std::int32_t readHandClock() { return handClock; }

class PageLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetWorldState();
        handClock = 1000;
        setPaused(false);
        setStepsPerFrame(80);
        cancelJump();
        startWorld();
        pageTimeline().start();
    }
    void TearDown() override {
        idleHooks = IdleHooks{};
        setPaused(false);
    }

    // Runs the loop once; returns the steps it made and whether it drew.
    static std::uint64_t run(bool& drew) {
        const std::uint64_t before = stepStats().steps;
        drew = runUntilFrame(readHandClock);
        return stepStats().steps - before;
    }
};

TEST_F(PageLoopTest, AtMostEightyStepsPerFrameAndFramesFortyMillisecondsApart) {
    bool drew = true;
    // The first display call only starts the clock; then 80 steps, and the loop waits.
    EXPECT_EQ(run(drew), 80u);
    EXPECT_FALSE(drew);
    EXPECT_EQ(msUntilFrame(handClock), 40);
    EXPECT_FLOAT_EQ(simTime, 80 * 0.0005f);

    // Not due yet: nothing more, however often the page comes back.
    handClock += 39;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run(drew), 0u);
        EXPECT_FALSE(drew);
    }
    EXPECT_EQ(msUntilFrame(handClock), 1);

    // Due: a frame, before any further step; then the next 80 steps.
    handClock += 1;
    EXPECT_EQ(run(drew), 0u);
    EXPECT_TRUE(drew);
    EXPECT_EQ(run(drew), 80u);
    EXPECT_FALSE(drew);
}

TEST_F(PageLoopTest, PausedDrawsButDoesNotStepAndStepOnceMakesOneStep) {
    bool drew = false;
    run(drew);
    setPaused(true);
    const float pausedAt = simTime;
    const std::uint64_t steps = stepStats().steps;
    for (int frame = 1; frame <= 3; ++frame) {
        handClock += 40;
        run(drew);
        EXPECT_TRUE(drew) << "frame " << frame;
        EXPECT_EQ(run(drew), 0u);
        EXPECT_FALSE(drew);
    }
    EXPECT_EQ(simTime, pausedAt);

    // Exactly one step, also where the pacing would hold the idle callback back.
    stepsSinceFrame = 80;
    stepOnce();
    EXPECT_EQ(simTime, pausedAt + 0.0005f);
    EXPECT_EQ(stepStats().steps, steps + 1);
    EXPECT_EQ(pageTimeline().text(), "step 81\n") << "a live step is recorded";

    // Running again: the frame that is due, then steps.
    setPaused(false);
    handClock += 40;
    run(drew);
    EXPECT_TRUE(drew);
    run(drew);
    EXPECT_GT(simTime, pausedAt + 0.0005f);
}

// A played run goes on at the chosen speed and, past its end, into live steps that are
// recorded; a jump back goes there paused, in pieces, and a key there cuts the run's future.
TEST_F(PageLoopTest, PlayingRunsThroughTheRunIntoLiveStepsAndAJumpBackIsTakenOver) {
    std::vector<ScriptCommand> commands;
    ScriptError error;
    ASSERT_TRUE(parseScript("key 3\nstep 200\nkey g\nstep 100\n", commands, error));
    loadRun(commands, false, nullptr);
    setStepsPerFrame(160);
    bool drew = false;
    for (std::uint64_t want : {160u, 320u, 480u}) {
        while (!run(drew) && hasWork()) {}
        EXPECT_EQ(pageTimeline().at(), want);
        handClock += 40;
        EXPECT_TRUE(runUntilFrame(readHandClock));
    }
    EXPECT_EQ(pageTimeline().text(), "key 3\nstep 200\nkey g\nstep 280\n");
    jumpTo(250);
    EXPECT_TRUE(isPaused());
    while (hasWork()) run(drew);
    EXPECT_EQ(pageTimeline().at(), 250u);
    const std::uint64_t there = hashMovingPoints();
    pageTimeline().key('v', 0, 0);
    EXPECT_EQ(pageTimeline().text(), "key 3\nstep 200\nkey g\nstep 50\nkey v\n");
    resetWorldState();
    startWorld();
    runScript(commands, {}, 1, 250);
    EXPECT_EQ(hashMovingPoints(), there);
}

// A scene that blew up is named by the step of the first frame that found it not finite, until
// a restart, also one made while paused.
TEST_F(PageLoopTest, ABlownUpSceneIsNamedByItsFirstStepUntilARestart) {
    // The blow-up below is made on purpose: the test main's traps are off for it.
    const int traps = fegetexcept();
    fedisableexcept(FE_ALL_EXCEPT);
    bool drew = false;
    run(drew);
    EXPECT_EQ(blownUpByStep(), -1);
    chainHead->next->velocity.y = std::numeric_limits<float>::infinity();
    handClock += 40;
    run(drew);
    ASSERT_TRUE(drew);
    const std::int64_t first = blownUpByStep();
    EXPECT_EQ(first, static_cast<std::int64_t>(pageTimeline().at()));
    run(drew);
    handClock += 40;
    run(drew);
    EXPECT_TRUE(drew);
    EXPECT_EQ(blownUpByStep(), first) << "the first step found, not the latest";
    setPaused(true);
    pageTimeline().key('1', 0, 0);
    handClock += 40;
    run(drew);
    EXPECT_TRUE(drew);
    EXPECT_EQ(blownUpByStep(), -1);
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(traps);
}

}  // namespace
