#include "web/page_loop.h"

#include <algorithm>
#include <chrono>
#include <functional>

#include "run/timeline.h"
#include "sim/scene_counts.h"
#include "sim/world.h"
#include "view/frame_pacing.h"

namespace {

// Work between two returns to the browser: long enough to get on, short enough that a key or
// a drag is answered within a frame or two. A single command may take longer (a big scene
// built): it is never split.
constexpr double kWorkSliceMs = 12.0;
constexpr std::uint32_t kRealTimeStepsPerFrame = 80;
// Twice the timeline's default: ten minutes of the twenty small cubes keep a snapshot every
// 2,000 steps (600 of 54 KB in WebAssembly), so that a jump anywhere in them takes at most
// 2,000 steps (README).
constexpr std::size_t kPageSnapshotBudget = 2 * Timeline::kDefaultSnapshotBudget;

Timeline timeline(kPageSnapshotBudget);

bool paused = false;
bool pauseAtRunEnd = false;
std::uint32_t perFrame = kRealTimeStepsPerFrame;
// Steps of the frame being played still to take (a jump first).
std::uint64_t frameStepsLeft = 0;
// A jump: the step the world was at once the nearest snapshot was restored, and keepGoing's
// yes answers so far (one a step or a command).
JumpProgress jump;
std::uint64_t jumpStepsFrom = 0;
std::uint64_t jumpPieces = 0;
// Live steps of the person's to take once the jump is there (forward() at the run's end).
std::uint64_t jumpLive = 0;

// A slice of work was done since the last frame: a frame due waits for one, so that frames
// slower to draw than 40 ms do not starve the work.
bool workedSinceFrame = false;

StepStats stats;
std::int64_t blownUpBy = -1;

double millisecondsNow() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
}

std::int32_t millisSince(std::int32_t then, std::int32_t now) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(then));
}

void checkFinite() {
    if (movingPointsFinite()) {
        blownUpBy = -1;
    } else if (blownUpBy < 0) {
        blownUpBy = static_cast<std::int64_t>(timeline.at());
    }
}

void startJump(std::uint64_t step) {
    timeline.seek(step);
    jump.going = true;
    jump.from = timeline.at();
    jump.goal = timeline.goal();
    jump.commands = 0;
    jumpStepsFrom = timeline.at();
    jumpPieces = 0;
    jumpLive = 0;
    frameStepsLeft = 0;
}

// The frame's steps: through the run while it goes on, then live at its end.
void play(const std::function<bool()>& keepGoing) {
    while (frameStepsLeft > 0) {
        if (timeline.atEnd()) {
            if (pauseAtRunEnd) {
                paused = true;
                pauseAtRunEnd = false;
                frameStepsLeft = 0;
                return;
            }
            if (!keepGoing()) return;
            timeline.step();
            --frameStepsLeft;
            continue;
        }
        const std::uint64_t at = timeline.at();
        const std::uint64_t goal = std::min(at + frameStepsLeft, timeline.length());
        timeline.seek(goal);
        const bool there = timeline.work(keepGoing);
        frameStepsLeft -= std::min(frameStepsLeft, timeline.at() - at);
        if (!there) return;
    }
}

}  // namespace

bool runUntilFrame(std::int32_t (*clock)()) {
    const std::int32_t now = clock();
    if (!frameClockStarted) {
        frameClockStarted = true;
        lastFrameClock = now;
        frameStepsLeft = paused ? 0 : perFrame;
    } else if (millisSince(lastFrameClock, now) >= kFrameIntervalMs && (workedSinceFrame || !hasWork())) {
        // The frame's steps not taken by now are dropped: a scene too big for real time goes slower.
        lastFrameClock = now;
        workedSinceFrame = false;
        frameStepsLeft = paused ? 0 : perFrame;
        checkFinite();
        return true;
    }
    // Timed as a whole: the browser's clock is too coarse for one step.
    const double start = millisecondsNow();
    const std::uint64_t before = timeline.at();
    std::uint64_t pieces = 0;
    const std::function<bool()> keepGoing = [&] {
        if (millisecondsNow() - start >= kWorkSliceMs) return false;
        ++pieces;
        return true;
    };
    workedSinceFrame = workedSinceFrame || hasWork();
    if (jump.going) {
        const bool there = timeline.work(keepGoing);
        while (there && jumpLive > 0 && keepGoing()) {
            timeline.step();
            --jumpLive;
        }
        jumpPieces += pieces;
        const std::uint64_t stepsDone = timeline.at() - jumpStepsFrom;
        jump.commands = jumpPieces - std::min(jumpPieces, stepsDone);
        if (there && jumpLive == 0) jump.going = false;
    } else if (!paused) {
        play(keepGoing);
    }
    const std::uint64_t at = timeline.at();
    if (at > before) stats.steps += at - before;
    if (pieces > 0) stats.stepMs += millisecondsNow() - start;
    return false;
}

std::int32_t msUntilFrame(std::int32_t now) {
    if (!frameClockStarted) return 0;
    const auto due = static_cast<std::int32_t>(static_cast<std::uint32_t>(lastFrameClock) + kFrameIntervalMs);
    const std::int32_t ahead = millisSince(now, due);
    return ahead > 0 ? ahead : 0;
}

bool hasWork() { return jump.going || (!paused && frameStepsLeft > 0); }

void setPaused(bool p) {
    paused = p;
    if (p) frameStepsLeft = 0;
}
bool isPaused() { return paused; }

void setStepsPerFrame(std::uint32_t steps) { perFrame = std::clamp<std::uint32_t>(steps, 1, 4 * kRealTimeStepsPerFrame); }
std::uint32_t stepsPerFrame() { return perFrame; }

void stepOnce() {
    if (!timeline.atEnd()) {
        forward(1);
        return;
    }
    setPaused(true);
    cancelJump();
    const double start = millisecondsNow();
    timeline.step();
    stats.steps += 1;
    stats.stepMs += millisecondsNow() - start;
}

void forward(std::uint64_t steps) {
    setPaused(true);
    if (timeline.atEnd()) {
        startJump(timeline.at());
        jumpLive = steps;
        jump.goal = timeline.at() + steps;
    } else {
        // Where the run goes on (or first to the end of the commands a cancelled jump left).
        startJump(timeline.at() + (timeline.reached() ? steps : 0));
    }
}

void jumpTo(std::uint64_t step) {
    setPaused(true);
    startJump(step);
}

void cancelJump() {
    jump.going = false;
    jumpLive = 0;
}
const JumpProgress& jumpProgress() { return jump; }

Timeline& pageTimeline() { return timeline; }
void tookOver() {
    cancelJump();
    pauseAtRunEnd = false;
}

void loadRun(std::vector<ScriptCommand> commands, bool pauseAtEnd, const std::uint64_t* at) {
    timeline.start(std::move(commands));
    blownUpBy = -1;
    if (at != nullptr) {
        jumpTo(*at);
    } else {
        // Playing from the start: the commands before the first step as the first frame's work.
        setPaused(false);
        pauseAtRunEnd = pauseAtEnd;
        startJump(0);
    }
}

void playCommands(std::vector<ScriptCommand> commands) {
    tookOver();
    timeline.append(std::move(commands));
    startJump(timeline.at());
}

std::int64_t blownUpByStep() { return blownUpBy; }
const StepStats& stepStats() { return stats; }
