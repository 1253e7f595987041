#pragma once

#include <cstdint>
#include <vector>

#include "tools/script.h"

class TraceWriter;

// What a headless run looks like from outside when it is done.
struct RunSummary {
    std::uint64_t steps = 0;  // steps run since the start, across restarts
    float simTime = 0.0f;     // of the scene in place at the end
    int movingPoints = 0;
    int activeSprings = 0;
    // The first step after which a moving point's position or velocity was not finite (the
    // scene blew up), counted like `steps`; 0 when every step stayed finite.
    std::uint64_t firstNonFiniteStep = 0;
};

// The window program's start state: flags as they are at start-up, then the one-cube scene.
void startWorld();

// Carries out one command that is not a step (a key, a button, ...) through the same callbacks
// as the window. Front ends that pace their own steps (the window, the page) replay a run with
// this and their own stepping; a Step command does nothing here.
void applyCommand(const ScriptCommand& command);

// Runs the commands against the world through the same callbacks as the window: keys through
// the keyboard callback, buttons through the mouse callback, each step through the idle
// callback (never throttled here: no frame is ever drawn). With a trace, samples go out before
// the first command and after every step whose running count is a multiple of `every`.
RunSummary runScript(const std::vector<ScriptCommand>& commands, TraceWriter* trace, std::uint64_t every);

// True when every moving point's position and velocity is finite.
bool movingPointsFinite();

// Counts of the current scene.
int countMovingPoints();
int countActiveSprings();
