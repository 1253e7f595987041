#pragma once

#include <cstdint>

class RunRecorder;
class RunSession;

// The page's main loop: the window's idle and display callbacks in GLUT's alternation, run
// from the browser's timers. Where the window sleeps until the next frame is due, the page
// returns to the browser and comes back when it is due. The page can also pause stepping
// and step once; the picture goes on being drawn (keys still restart scenes).

// Idle call, display call, idle call, ... until a display call is to draw a frame (true) or
// the simulation waits for the next frame (false). `clock` reads the frame-pacing clock (ms).
bool runUntilFrame(std::int32_t (*clock)());

// Milliseconds from `now` until the next frame is due; 0 when it is due.
std::int32_t msUntilFrame(std::int32_t now);

// While paused, runUntilFrame makes display calls only.
void setPaused(bool paused);
bool isPaused();

// One step of timeStep, as the idle callback makes it but never held back by the pacing;
// nothing while a run plays.
void stepOnce();

// The page's session: it plays a run from the address, and records keys, buttons and steps
// (those of the loop above and the single steps) from the moment the page loads.
RunSession& pageSession();
RunRecorder& pageRecording();
// Pauses the loop once the run being played has ended (a run shared while paused).
void pauseAtEndOfRun();

// The scene blew up: the step count (RunSession::steps) at the first frame that found a moving
// point's position or velocity not finite, or -1 while every one is finite. Checked once per
// frame, not per step, so the blow-up came at or before that step; a restart clears it.
std::int64_t blownUpByStep();

// Steps run by the page so far and the real time they took (ms, from a steady clock), for
// the status line.
struct StepStats {
    std::uint64_t steps = 0;
    double stepMs = 0.0;
};
const StepStats& stepStats();
