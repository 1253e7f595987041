#pragma once

#include <cstdint>

// The frame-pacing clock: milliseconds of real (wall-clock) time since the program started,
// from a monotonic clock, so a busy or a sleeping process reads the same time. Processor
// time would not do: it stands still while the program sleeps between frames. Wraps after
// 24.8 days; differences of two readings are taken in signed 32 bits and stay right.
std::int32_t frameClock();

// Sleeps until frameClock() reads at least `reading`; returns at once if it already does.
// Never sleeps longer than maxWaitMs, so a bogus reading cannot stall the caller.
void sleepUntilFrameClock(std::int32_t reading, std::int32_t maxWaitMs);
