#include "view/frame_clock.h"

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Read during static initialisation, before main runs.
const Clock::time_point programStart = Clock::now();

}  // namespace

std::int32_t frameClock() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - programStart);
    return static_cast<std::int32_t>(elapsed.count());
}

void sleepUntilFrameClock(std::int32_t reading, std::int32_t maxWaitMs) {
    // Modular difference: the clock's wrap-around does not turn a short wait into a long one.
    const auto ahead = static_cast<std::int32_t>(static_cast<std::uint32_t>(reading) -
                                                 static_cast<std::uint32_t>(frameClock()));
    if (ahead <= 0) return;
    const std::int32_t waitMs = ahead < maxWaitMs ? ahead : maxWaitMs;
    // The clock truncates to whole milliseconds, so sleeping waitMs from now brings its
    // reading to at least `reading`.
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
}
