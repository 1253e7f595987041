#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "run/script.h"

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

// Told the running step count where a headless run takes a sample (the runner's trace).
using SampleHook = std::function<void(std::uint64_t steps)>;

// Runs the commands against the world at once, through the same callbacks as the window: keys
// through the keyboard callback, buttons through the mouse callback, each step through the
// idle callback (never throttled here: no frame is ever drawn). With a hook, samples are taken
// before the first command and after every step whose running count is a multiple of `every`.
// With `stopAt`, the run ends at that step: after its stopAt-th step and every command before
// the next (step 0: the commands before the first step), as a front end's timeline shows it.
RunSummary runScript(const std::vector<ScriptCommand>& commands, const SampleHook& sample = {},
                     std::uint64_t every = 1, std::uint64_t stopAt = UINT64_MAX);
