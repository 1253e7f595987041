#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <thread>

#include "interaction/keyboard.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_clock.h"
#include "view/frame_pacing.h"

namespace {

// The display callback as the window program paces it, without drawing: on a clock that the
// test sets by hand, or on the real one.
std::int32_t handClock = 0;
int framesDrawn = 0;
int waitsForFrame = 0;

void pacedDisplayOnHandClock() {
    if (paceDisplayCall(handClock)) ++framesDrawn;
}
void pacedDisplayOnRealClock() {
    if (paceDisplayCall(frameClock())) ++framesDrawn;
}
void countWait() { ++waitsForFrame; }
void countAndWait() {
    ++waitsForFrame;
    waitForFrame();
}

class FramePacingTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetWorldState();
        handClock = 0;
        framesDrawn = 0;
        waitsForFrame = 0;
        onKey('1', 0, 0);
    }
    void TearDown() override { idleHooks = IdleHooks{}; }

    // The first display call, which only starts the clock.
    static void startClockAt(std::int32_t now) { ASSERT_FALSE(paceDisplayCall(now)); }

    // Makes `calls` idle calls and returns how many of them stepped the simulation.
    static int idleCallsThatStep(int calls) {
        int steps = 0;
        for (int i = 0; i < calls; ++i) {
            const float before = simTime;
            onIdle();
            if (simTime != before) ++steps;
        }
        return steps;
    }
};

TEST_F(FramePacingTest, FirstCallOnlyStartsTheClock) {
    lastFrameClock = -123456;  // whatever it held before is not looked at
    EXPECT_FALSE(paceDisplayCall(5000));
    EXPECT_EQ(stepsSinceFrame, 1);
    EXPECT_EQ(lastFrameClock, 5000);
}

TEST_F(FramePacingTest, DrawsFromFortyMillisecondsAfterTheLastFrame) {
    startClockAt(1000);
    EXPECT_FALSE(paceDisplayCall(1039));
    EXPECT_EQ(stepsSinceFrame, 2);
    EXPECT_EQ(lastFrameClock, 1000);

    EXPECT_TRUE(paceDisplayCall(1040));
    EXPECT_EQ(stepsSinceFrame, 0);
    EXPECT_EQ(lastFrameClock, 1040);
}

TEST_F(FramePacingTest, IntervalRunsFromTheLastDrawnFrameNotFromTheLastCall) {
    startClockAt(0);
    EXPECT_TRUE(paceDisplayCall(45));
    EXPECT_FALSE(paceDisplayCall(60));
    EXPECT_FALSE(paceDisplayCall(84));
    EXPECT_EQ(stepsSinceFrame, 2);
    EXPECT_TRUE(paceDisplayCall(85));
    EXPECT_EQ(lastFrameClock, 85);
}

TEST_F(FramePacingTest, IntervalHoldsAcrossTheClocksWrapAround) {
    startClockAt(std::numeric_limits<std::int32_t>::max() - 9);
    EXPECT_FALSE(paceDisplayCall(std::numeric_limits<std::int32_t>::min() + 29));  // 39 ms later
    EXPECT_TRUE(paceDisplayCall(std::numeric_limits<std::int32_t>::min() + 30));   // 40 ms later
}

TEST_F(FramePacingTest, IdleStopsSteppingAfterEightyDisplayCallsWithoutAFrame) {
    idleHooks.requestRedisplay = pacedDisplayOnHandClock;
    idleHooks.waitForFrame = countWait;

    // The clock stands still: 80 steps, then every idle call waits for the frame.
    EXPECT_EQ(idleCallsThatStep(200), 80);
    EXPECT_EQ(framesDrawn, 0);
    EXPECT_EQ(waitsForFrame, 120);

    // The frame falls due: the waiting call's redisplay draws it, and 80 more steps follow.
    handClock = 40;
    EXPECT_EQ(idleCallsThatStep(200), 80);
    EXPECT_EQ(framesDrawn, 1);
    EXPECT_EQ(lastFrameClock, 40);
}

TEST_F(FramePacingTest, RestartsLeaveThePacingAlone) {
    startClockAt(700);
    paceDisplayCall(720);
    onKey('s', 0, 0);
    onKey('1', 0, 0);
    EXPECT_EQ(stepsSinceFrame, 2);
    EXPECT_EQ(lastFrameClock, 700);
}

TEST_F(FramePacingTest, WaitForFrameSleepsUntilTheFrameIsDue) {
    startClockAt(frameClock());
    waitForFrame();
    EXPECT_TRUE(paceDisplayCall(frameClock()));
}

TEST_F(FramePacingTest, ThrottledIdleSleepsInsteadOfSpinning) {
    // On the real clock, with the window program's wait: every wait ends with the frame due,
    // so no more than one idle call per frame waits; a spinning idle makes thousands.
    idleHooks.requestRedisplay = pacedDisplayOnRealClock;
    idleHooks.waitForFrame = countAndWait;
    int stepsInFrame = 0;
    int mostStepsInAFrame = 0;
    while (framesDrawn < 5) {
        const int framesBefore = framesDrawn;
        stepsInFrame += idleCallsThatStep(1);
        if (stepsInFrame > mostStepsInAFrame) mostStepsInAFrame = stepsInFrame;
        if (framesDrawn != framesBefore) stepsInFrame = 0;
    }
    EXPECT_LE(waitsForFrame, framesDrawn);
    EXPECT_LE(mostStepsInAFrame, 80);
}

TEST_F(FramePacingTest, WaitForFrameNeverSleepsLongerThanAFrame) {
    // A frame time far in the future (it cannot happen, the clock only moves on) must not
    // stall the program: the wait is cut to one frame interval.
    lastFrameClock = frameClock() + 1000000;
    const auto start = std::chrono::steady_clock::now();
    waitForFrame();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(FrameClockTest, CountsRealTimeInMillisecondsWhileTheProcessSleeps) {
    // Processor time would stand still here; seconds would read 0 and microseconds 60000.
    const std::int32_t before = frameClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const std::int32_t elapsed = frameClock() - before;
    EXPECT_GE(elapsed, 60);
    EXPECT_LT(elapsed, 30000);
}

}  // namespace
