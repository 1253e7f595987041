#pragma once

#include <cstdint>
#include <vector>

#include "run/script.h"

class Timeline;

// The page's main loop over the page's one timeline (run/timeline.h): a run from the address
// and then whatever the person does. Playing, it goes on a frame's worth of steps every 40 ms
// (80 at real time): through the run where the run goes on, live steps of the person's (recorded)
// at its end. Frames are drawn 40 ms apart, as in the window. A jump (the slider, the timeline's
// buttons and keys, a link's moment) is carried out a piece at a time, so that the page answers
// between pieces; it can be cancelled where it stands.

// Works until a frame is to be drawn (true) or, for at most a slice of time, on the frame's
// steps or a jump (false). `clock` reads the frame-pacing clock (ms). The first call only
// starts the clock.
bool runUntilFrame(std::int32_t (*clock)());

// Milliseconds from `now` until the next frame is due; 0 when it is due.
std::int32_t msUntilFrame(std::int32_t now);

// Work is left before the next frame (a jump, steps of the frame not taken): call again at once.
bool hasWork();

// While paused, runUntilFrame takes no steps of its own (a jump still goes on).
void setPaused(bool paused);
bool isPaused();

// Steps a frame while playing: 80 is real time; 20 to 320 for a quarter to four times it.
void setStepsPerFrame(std::uint32_t steps);
std::uint32_t stepsPerFrame();

// Steps forward, paused: the run's where it goes on (at most to its end), the person's
// (recorded) at its end; in pieces, as a jump.
void forward(std::uint64_t steps);
// One step forward as forward(1), but at the run's end at once.
void stepOnce();

// Goes to `step` of the run (at most its length), paused, in pieces; not a command of the run.
void jumpTo(std::uint64_t step);
// Ends a jump where the world has got to.
void cancelJump();
// A jump on its way: where it started, where it goes, and the commands carried out so far.
struct JumpProgress {
    bool going = false;
    std::uint64_t from = 0;
    std::uint64_t goal = 0;
    std::uint64_t commands = 0;
};
const JumpProgress& jumpProgress();

// The page's session. Input of the person's goes to the timeline directly (it cuts the run's
// future where the world is); tookOver() then ends a jump that was on its way.
Timeline& pageTimeline();
void tookOver();

// A run from the address: the whole of it on the timeline, played from its start (then paused
// at its end with `pauseAtEnd`), or, with `at`, shown at that step, paused.
void loadRun(std::vector<ScriptCommand> commands, bool pauseAtEnd, const std::uint64_t* at);
// Commands of the panel's (a scene, settings) as the run's future from where the world is: those
// before its next step are carried out at once (in pieces), its steps as the page plays on.
void playCommands(std::vector<ScriptCommand> commands);

// The scene blew up: the step of the timeline at the first frame that found a moving point's
// position or velocity not finite, or -1 while every one is finite. Checked once per frame, not
// per step, so the blow-up came at or before that step; a restart or going back clears it.
std::int64_t blownUpByStep();

// Steps taken by the page so far and the real time they took (ms, from a steady clock), for
// the status line.
struct StepStats {
    std::uint64_t steps = 0;
    double stepMs = 0.0;
};
const StepStats& stepStats();
