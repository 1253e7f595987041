#include "web/page_loop.h"

#include <chrono>

#include "run/run_recorder.h"
#include "run/run_session.h"
#include "sim/scene_counts.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_pacing.h"

namespace {

bool paused = false;
bool pauseAtRunEnd = false;
StepStats stats;

// The page records from the moment it loads, in memory.
RunRecorder recorder;
RunSession session(&recorder);

std::int64_t blownUpBy = -1;

// Set by the idle callback's wait hook: the call did not step, a frame is due first.
bool waitingForFrame = false;

double millisecondsNow() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

// True when the call stepped, false when the simulation is ahead of the frames.
bool idleCall() {
    idleHooks.waitForFrame = [] { waitingForFrame = true; };
    waitingForFrame = false;
    onIdle();
    return !waitingForFrame;
}

void checkFinite() {
    if (movingPointsFinite()) {
        blownUpBy = -1;
    } else if (blownUpBy < 0) {
        blownUpBy = static_cast<std::int64_t>(session.steps());
    }
}

// A run opened to stop at its end: the pause takes hold when the last of it has run.
void pauseIfRunEnded() {
    if (pauseAtRunEnd && !session.playing()) {
        paused = true;
        pauseAtRunEnd = false;
    }
}

}  // namespace

bool runUntilFrame(std::int32_t (*clock)()) {
    // Timed as a whole: the browser's clock is too coarse for one step.
    const double start = millisecondsNow();
    std::uint64_t steps = 0;
    bool draw = false;
    pauseIfRunEnded();
    for (;;) {
        const bool stepped = !paused && session.idle(idleCall);
        if (stepped) {
            ++steps;
            pauseIfRunEnded();
        }
        draw = paceDisplayCall(clock());
        // A frame to draw, or nothing to do until one is due.
        if (draw || !stepped) break;
    }
    stats.steps += steps;
    if (steps > 0) stats.stepMs += millisecondsNow() - start;
    if (draw) checkFinite();
    return draw;
}

std::int32_t msUntilFrame(std::int32_t now) {
    if (!frameClockStarted) return 0;
    const auto due = static_cast<std::int32_t>(static_cast<std::uint32_t>(lastFrameClock) + kFrameIntervalMs);
    const auto ahead = static_cast<std::int32_t>(static_cast<std::uint32_t>(due) - static_cast<std::uint32_t>(now));
    return ahead > 0 ? ahead : 0;
}

void setPaused(bool p) { paused = p; }
bool isPaused() { return paused; }

void stepOnce() {
    if (session.playing()) return;
    const double start = millisecondsNow();
    session.stepOnce();
    stats.steps += 1;
    stats.stepMs += millisecondsNow() - start;
}

const StepStats& stepStats() { return stats; }
std::int64_t blownUpByStep() { return blownUpBy; }

RunSession& pageSession() { return session; }
RunRecorder& pageRecording() { return recorder; }
void pauseAtEndOfRun() { pauseAtRunEnd = true; }
