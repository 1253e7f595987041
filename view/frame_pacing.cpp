#include "view/frame_pacing.h"

#include "sim/world.h"
#include "view/frame_clock.h"

namespace {

// now - then in signed 32 bits, wrapping like the clock itself does.
std::int32_t millisSince(std::int32_t then, std::int32_t now) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(then));
}

}  // namespace

bool paceDisplayCall(std::int32_t now) {
    if (!frameClockStarted) {
        frameClockStarted = true;
        lastFrameClock = now;
    }
    if (millisSince(lastFrameClock, now) < kFrameIntervalMs) {
        stepsSinceFrame += 1;
        return false;
    }
    stepsSinceFrame = 0;
    lastFrameClock = now;
    return true;
}

void waitForFrame() {
    const auto due = static_cast<std::int32_t>(static_cast<std::uint32_t>(lastFrameClock) + kFrameIntervalMs);
    sleepUntilFrameClock(due, kFrameIntervalMs);
}
