#include "soak_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "soak_input.h"
#include "tests/test_support.h"

std::uint32_t flagCombination() {
    return (gravityOn ? 1u : 0u) | (volumeOn ? 2u : 0u) | (breakableOn ? 4u : 0u) | (plasticOn ? 8u : 0u) |
           (pushPlaneYZ ? 16u : 0u);
}

SoakDriver::SoakDriver(std::uint64_t seed) : seed_(seed) {
    resetWorld();
    onKey('1', 0, 0);
    const std::string broken = watch_.restarted('1');
    if (!broken.empty()) fail(broken);
}

void SoakDriver::remember(const Event& e) {
    recent_[events_ % recent_.size()] = e;
    ++events_;
}

bool SoakDriver::fail(const std::string& what) {
    std::ostringstream out;
    out << what << "\n  seed " << seed_ << ", event " << events_ << ", after " << tally_.steps << " steps and "
        << tally_.restarts << " restarts; last events, oldest first:";
    const std::uint64_t shown = events_ < recent_.size() ? events_ : recent_.size();
    for (std::uint64_t i = events_ - shown; i < events_; ++i) {
        const Event& e = recent_[i % recent_.size()];
        out << "\n    ";
        if (e.kind == 'k') out << "key " << e.a;
        if (e.kind == 'm') out << "mouse button " << e.a << " state " << e.b << " at " << e.c << ", " << e.d;
        if (e.kind == 's') out << "step " << e.a;
    }
    ADD_FAILURE() << out.str();
    return false;
}

bool SoakDriver::key(unsigned char key, int x, int y) {
    remember({'k', key, x, y, 0});
    ++tally_.keys;
    const bool restart = restartsScene(key);
    if (restart && pushStepsLeft > 0) ++tally_.restartsDuringPush;
    onKey(key, x, y);
    std::string broken;
    if (restart) {
        ++tally_.restarts;
        blownUp_ = false;
        broken = watch_.restarted(key);
    } else {
        broken = watch_.check();
    }
    return broken.empty() || fail(broken);
}

bool SoakDriver::mouse(int button, int state, int x, int y) {
    remember({'m', button, state, x, y});
    ++tally_.mouseEvents;
    onMouse(button, state, x, y);
    const std::string broken = watch_.check();
    return broken.empty() || fail(broken);
}

bool SoakDriver::switchFlagsTo(std::uint32_t combination, bool volumeByI) {
    const char keys[5] = {'g', volumeByI ? 'i' : 'v', 'z', 'u', 'x'};
    const std::uint32_t differing = flagCombination() ^ combination;
    for (int flag = 0; flag < 5; ++flag) {
        if ((differing & (1u << flag)) != 0 && !key(static_cast<unsigned char>(keys[flag]), 0, 0)) return false;
    }
    return flagCombination() == combination || fail("the flag keys did not give combination " + std::to_string(combination));
}

bool SoakDriver::steps(std::uint64_t n, bool requireFinite) {
    using Clock = std::chrono::steady_clock;
    remember({'s', static_cast<long long>(n), 0, 0, 0});
    for (std::uint64_t i = 0; i < n; ++i) {
        // The steady clock is only read for the closing figures; nothing depends on it.
        const bool wasBlownUp = blownUp_;
        const std::int32_t pushBefore = pushStepsLeft;
        const auto start = Clock::now();
        onIdle();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        (wasBlownUp ? tally_.nonFiniteStepSeconds : tally_.finiteStepSeconds) += seconds;

        ++tally_.steps;
        tally_.flagCombinations |= 1u << flagCombination();
        watch_.stepped();
        if (stepsSinceFrame != 0) return fail("a headless step touched the frame counter");
        // Every step spends one step of a running push, finite scene or not.
        if (pushStepsLeft != (pushBefore > 0 ? pushBefore - 1 : pushBefore)) {
            return fail("the push ran down from " + std::to_string(pushBefore) + " to " + std::to_string(pushStepsLeft));
        }
        std::string broken = watch_.check();
        if (!broken.empty()) return fail(broken);

        if (requireFinite) {
            broken = watch_.checkFinite();
            if (!broken.empty()) return fail(broken);
        } else if (watch_.anyNonFinite()) {
            ++tally_.nonFiniteSteps;
            if (!blownUp_) ++tally_.blowUps;
            blownUp_ = true;
        }
    }
    return true;
}
