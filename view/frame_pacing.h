#pragma once

#include <cstdint>

// Frame pacing of the display callback: at most one frame per 40 ms of real time. Every
// display call that lets a frame pass counts in stepsSinceFrame, which the idle callback
// reads to stop stepping once 80 steps ran since the last frame. State: lastFrameClock,
// stepsSinceFrame and frameClockStarted (sim/world.h). No GL here.

constexpr std::int32_t kFrameIntervalMs = 40;

// One display call at clock reading `now` (ms): true when it is to draw a frame. The first
// call only starts the clock and draws nothing. A call kFrameIntervalMs or more after the
// last frame draws (stepsSinceFrame := 0, lastFrameClock := now); any other call counts in
// stepsSinceFrame.
bool paceDisplayCall(std::int32_t now);

// The idle callback's wait while the simulation is ahead of the frames: sleeps until the
// next frame is due (lastFrameClock + kFrameIntervalMs), instead of spinning through idle
// calls that do nothing. Installed as idleHooks.waitForFrame by the window program.
void waitForFrame();
