// Random input of every kind, violent flicks included. A flick (a long left drag released
// within one frame) asks for a push far beyond what the explicit integrator survives; the push
// bound keeps every scene finite. Nothing may crash, hang or corrupt the scene, and every
// restart must give a finite scene.

#include <fenv.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>

#include "heap_gauge.h"
#include "soak_driver.h"
#include "soak_input.h"
#include "sim/world.h"

namespace {

constexpr std::uint64_t kStepsPerSeed = 100000;
constexpr std::uint64_t kRestartsPerSeed = 300;
constexpr std::size_t kHeapGrowthLimit = 64 * 1024;  // bytes; a leaked scene is far larger

// Blow-ups are counted here rather than trapped, so the test main's traps are off.
class TrapsOff {
public:
    TrapsOff() : saved_(fegetexcept()) { fedisableexcept(FE_ALL_EXCEPT); }
    ~TrapsOff() {
        feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(saved_);
    }

private:
    int saved_;
};

// A left drag across much of the window, released before a frame's 80 steps are over.
bool flick(SoakDriver& driver, SoakRandom& random) {
    const int x = insideCoordinate(random, kWindowWidth);
    const int y = insideCoordinate(random, kWindowHeight);
    if (!driver.mouse(0, 0, x, y)) return false;
    if (!driver.steps(static_cast<std::uint64_t>(random.between(0, 79)), false)) return false;
    // Sizes and signs drawn one after the other: a product's operands come in no set order.
    const int width = random.between(300, 800);
    const int dx = random.percent(50) ? width : -width;
    const int height = random.between(0, 600);
    const int dy = random.percent(50) ? height : -height;
    return driver.mouse(0, 1, x + dx, y + dy);
}

// A release (arming a push) straight followed by a restart.
bool restartDuringPush(SoakDriver& driver, SoakRandom& random) {
    const int button = random.percent(50) ? 0 : 2;
    if (!driver.mouse(button, 1, anyCoordinate(random, kWindowWidth), anyCoordinate(random, kWindowHeight))) {
        return false;
    }
    if (!driver.steps(static_cast<std::uint64_t>(random.between(0, 50)), false)) return false;
    return driver.key(static_cast<unsigned char>(kCommandKeys[random.below(10)]), 0, 0);
}

bool act(SoakDriver& driver, SoakRandom& random) {
    const unsigned r = random.below(100);
    if (r < 35) {
        return driver.key(anyKey(random), anyCoordinate(random, kWindowWidth), anyCoordinate(random, kWindowHeight));
    }
    if (r < 60) {
        return driver.mouse(anyButton(random), anyState(random), anyCoordinate(random, kWindowWidth),
                            anyCoordinate(random, kWindowHeight));
    }
    if (r < 62) return flick(driver, random);
    if (r < 64) return restartDuringPush(driver, random);
    if (r < 67) {
        return driver.switchToNextFlagCombination(random.percent(50)) &&
               driver.steps(static_cast<std::uint64_t>(stepRun(random)), false);
    }
    return driver.steps(static_cast<std::uint64_t>(stepRun(random)), false);
}

// Every scene once, so that the allocator has seen the largest before the heap is measured.
bool visitEveryScene(SoakDriver& driver) {
    for (unsigned char key : {'1', '2', '3', '4', '5', '6', '7', 's', 'q', 'p'}) {
        if (!driver.key(key, 0, 0) || !driver.steps(100, false)) return false;
    }
    return driver.key('1', 0, 0);
}

class FlickSoak : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(FlickSoak, AnyInputKeepsTheSceneWellFormed) {
    TrapsOff traps;
    SoakRandom random(GetParam());
    SoakDriver driver(GetParam());
    ASSERT_TRUE(visitEveryScene(driver));
    const std::size_t heapBefore = heapBytesInUse();

    while (driver.tally().steps < kStepsPerSeed || driver.tally().restarts < kRestartsPerSeed) {
        ASSERT_TRUE(act(driver, random));
    }
    ASSERT_TRUE(driver.key('1', 0, 0));
    const std::size_t heapAfter = heapBytesInUse();

    const SoakTally& t = driver.tally();
    std::cout << "seed " << GetParam() << ": " << t.steps << " steps, " << t.restarts << " restarts ("
              << t.restartsDuringPush << " during a push), " << t.keys << " keys, " << t.mouseEvents
              << " mouse events, " << t.blowUps << " blow-ups, " << t.nonFiniteSteps << " non-finite steps, "
              << t.finiteStepSeconds / static_cast<double>(t.steps - t.nonFiniteSteps) * 1e6
              << " us per finite step, "
              << (t.nonFiniteSteps ? t.nonFiniteStepSeconds / static_cast<double>(t.nonFiniteSteps) * 1e6 : 0.0)
              << " us per non-finite step; heap " << heapBefore << " -> " << heapAfter << " bytes\n";

    EXPECT_LE(heapAfter, heapBefore + kHeapGrowthLimit) << "memory grows across restarts";
    // The generator must have reached what it is meant to: every flag combination and restarts
    // while a push runs; and no push, however violent the drag, may have blown a scene up.
    EXPECT_EQ(t.flagCombinations, 0xFFFFFFFFu) << "some combination of the five flags never ran";
    EXPECT_GT(t.restartsDuringPush, 0u);
    EXPECT_EQ(t.blowUps, 0u) << "a push made with the mouse blew a scene up";
}

INSTANTIATE_TEST_SUITE_P(Seeds, FlickSoak, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
