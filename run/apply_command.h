#pragma once

#include "run/script.h"

// The start state of every front end (the window, the page, the headless runner): flags as
// they are at start-up, then the one-cube scene.
void startWorld();

// Carries out one command that is not a step (a key, a button, a scene or setting command)
// through the same callbacks as the window. Front ends that pace their own steps (the window,
// the page) replay a run with this and their own stepping; a Step command does nothing here.
void applyCommand(const ScriptCommand& command);
