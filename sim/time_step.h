#pragma once

#include "model/vec3.h"

// What the window wants to hear from the idle callback. The core never draws and never
// reads a clock: the headless runner and the tests leave both hooks empty.
struct IdleHooks {
    void (*requestRedisplay)() = nullptr;  // after every idle call
    void (*waitForFrame)() = nullptr;      // when a call does not step because a frame is due
};
extern IdleHooks idleHooks;

// The idle callback: one step of timeStep (0.0005 s) unless 80 steps already ran since the
// last drawn frame, then a redisplay request.
void onIdle();

// The simulation step alone, without the throttle or the redisplay request.
void stepWorld();

// Adds f to the force of every moving point, in chain order.
void addForceToAll(const Vec3& f);
// Adds each moving point's own weight, (0, 0, -gravity * mass), in chain order.
void addOwnWeights(float gravity);
