#pragma once

#include <string>

// The push sweep's grabs: does any grab a person can make blow a scene up? Every prepared scene
// and every example scene (the files of `sceneDir` whose scenes no key makes), under every
// combination of gravity, volume, plasticity and tearing and with each setting at either end of
// its range, contact off and on, gets long pulls toward far targets, flicks of the target while
// a point is held, a point held across restarts, the points of torn-off pieces taken one by one,
// and grabs while pushes run. Each run is a script from the start state, which the runner plays
// as it is (printed when the run blows up). Prints one markdown table row per scene and returns
// the count of runs that blew up.
//
// quick: the flag combinations and settings ends on the prepared scenes only, shorter holds.
// only: the one scene of that name ('1' or rain.sim, as the table names them); empty, all.
int grabSweep(const std::string& sceneDir, bool quick, const std::string& only = {});
