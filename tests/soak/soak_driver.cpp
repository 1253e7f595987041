#include "soak_driver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "sim/grab.h"
#include "sim/presets.h"
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
        if (e.kind == 't') out << "take " << e.a << (e.b != 0 ? "" : " (refused)");
        if (e.kind == 'o') out << "move " << e.a / 1000.0 << " " << e.b / 1000.0 << " " << e.c / 1000.0;
        if (e.kind == 'l') out << "let go";
        if (e.kind == 'c') out << "scene, then the cubes of key " << static_cast<char>(e.a);
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

bool SoakDriver::take(int number) {
    remember({'t', number, 0, 0, 0});
    const bool taken = takePoint(number);
    recent_[(events_ - 1) % recent_.size()].b = taken ? 1 : 0;
    const bool inChain = number >= 0 && static_cast<std::size_t>(number) < watch_.movingPoints();
    if (taken != inChain) return fail("take " + std::to_string(number) + (taken ? " was taken" : " was refused"));
    const std::string broken = watch_.checkGrab();
    return broken.empty() || fail(broken);
}

bool SoakDriver::moveTarget(const Vec3& to) {
    const auto thousandths = [](float v) { return static_cast<long long>(v * 1000.0f); };
    remember({'o', thousandths(to.x), thousandths(to.y), thousandths(to.z), 0});
    moveGrabTarget(to);
    const std::string broken = watch_.checkGrab();
    return broken.empty() || fail(broken);
}

bool SoakDriver::letGo() {
    remember({'l', 0, 0, 0, 0});
    ::letGo();
    return grab.point == nullptr || fail("let go holds a point still");
}

bool SoakDriver::grabWellFormed() {
    const std::string broken = watch_.checkGrab();
    return broken.empty() || fail(broken);
}

bool SoakDriver::sceneCommand(unsigned char key) {
    remember({'c', key, 0, 0, 0});
    const PreparedScene* s = preparedScene(static_cast<char>(key));
    if (s == nullptr || s->pinned != 0 || s->anchors != 0) return fail("no scene command for key " + std::to_string(key));
    std::string text = "scene\ncube " + floatText(s->x) + " " + floatText(s->y) + " " + floatText(s->z) + " edge " +
                       floatText(s->edge) + " stiffness " + floatText(s->stiffness) + " mass " + floatText(s->mass) +
                       " damping " + floatText(kPointDamping) + " tear " + floatText(s->tearForce) + "\n";
    if (s->cubes > 1) text += "attach " + std::to_string(s->cubes - 1) + "\n";
    if (key == 's') text += "lead 20\n";
    std::vector<ScriptCommand> commands;
    ScriptError error{0, ""};
    if (!parseScript(text, commands, error)) return fail("the scene's commands do not read: " + error.message);
    for (const ScriptCommand& c : commands) applyCommand(c);
    ++tally_.restarts;
    blownUp_ = false;
    std::string broken = watch_.restarted(key);
    if (broken.empty()) broken = watch_.checkGrab();
    return broken.empty() || fail(broken);
}
