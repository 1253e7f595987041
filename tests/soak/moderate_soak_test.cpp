// Random input with moderate drags only: right drags inside the window, and left drags inside
// the window that last at least 0.1 s of simulated time with no restart in between. Keys,
// restarts (also while a push runs) and flags are as free as anywhere. Under such input no
// infinity or NaN may ever appear: every position, velocity and force stays finite after every
// step, and the test main's floating-point traps stay on.

#include <fenv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>

#include "soak_driver.h"
#include "soak_input.h"
#include "sim/world.h"

namespace {

constexpr std::uint64_t kStepsPerSeed = 100000;
constexpr std::uint64_t kRestartsPerSeed = 150;
constexpr float kShortestLeftDrag = 0.1f;  // seconds of simulated time

// While a drag is held: steps and any key that restarts nothing.
bool holdDrag(SoakDriver& driver, SoakRandom& random) {
    if (random.percent(30)) {
        unsigned char key = anyKey(random);
        while (restartsScene(key)) key = anyKey(random);
        return driver.key(key, insideCoordinate(random, kWindowWidth), insideCoordinate(random, kWindowHeight));
    }
    return driver.steps(static_cast<std::uint64_t>(random.between(1, 120)), true);
}

bool drag(SoakDriver& driver, SoakRandom& random, int button) {
    if (!driver.mouse(button, 0, insideCoordinate(random, kWindowWidth), insideCoordinate(random, kWindowHeight))) {
        return false;
    }
    for (int held = random.between(0, 4); held > 0; --held) {
        if (!holdDrag(driver, random)) return false;
    }
    // A left push is scaled by 1 / duration: hold it at least 0.1 s.
    while (button == 0 && simTime - pressTime < kShortestLeftDrag) {
        if (!driver.steps(1, true)) return false;
    }
    return driver.mouse(button, 1, insideCoordinate(random, kWindowWidth), insideCoordinate(random, kWindowHeight));
}

bool act(SoakDriver& driver, SoakRandom& random) {
    const unsigned r = random.below(100);
    if (r < 30) {
        return driver.key(anyKey(random), anyCoordinate(random, kWindowWidth), anyCoordinate(random, kWindowHeight));
    }
    if (r < 42) return drag(driver, random, 2);
    if (r < 50) return drag(driver, random, 0);
    if (r < 58) {
        return driver.switchToNextFlagCombination(random.percent(50)) &&
               driver.steps(static_cast<std::uint64_t>(stepRun(random)), true);
    }
    if (r < 63) {
        // The middle button does nothing, wherever it is pressed or released.
        return driver.mouse(1, random.between(0, 1), anyCoordinate(random, kWindowWidth),
                            anyCoordinate(random, kWindowHeight));
    }
    return driver.steps(static_cast<std::uint64_t>(stepRun(random)), true);
}

class ModerateSoak : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(ModerateSoak, EveryPointStaysFinite) {
    ASSERT_EQ(fegetexcept() & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW)
        << "the test main's floating-point traps are off";
    SoakRandom random(GetParam());
    SoakDriver driver(GetParam());
    while (driver.tally().steps < kStepsPerSeed || driver.tally().restarts < kRestartsPerSeed) {
        ASSERT_TRUE(act(driver, random));
    }

    const SoakTally& t = driver.tally();
    std::cout << "seed " << GetParam() << ": " << t.steps << " steps, " << t.restarts << " restarts ("
              << t.restartsDuringPush << " during a push), " << t.keys << " keys, " << t.mouseEvents
              << " mouse events, all finite\n";
    EXPECT_EQ(t.flagCombinations, 0xFFFFFFFFu) << "some combination of the five flags never ran";
    EXPECT_GT(t.restartsDuringPush, 0u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, ModerateSoak, ::testing::Values(101u, 102u));

}  // namespace
