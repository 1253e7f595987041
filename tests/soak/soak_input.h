#pragma once

#include <climits>

#include "soak_random.h"

// Input a person at the window could give, drawn from a SoakRandom.

// Every key that does something: scene restarts and flag switches.
inline constexpr char kCommandKeys[] = "1234567sqpgviuzx";
inline constexpr unsigned kCommandKeyCount = sizeof(kCommandKeys) - 1;

inline bool restartsScene(unsigned char key) {
    return (key >= '1' && key <= '7') || key == 's' || key == 'q' || key == 'p';
}

// Mostly a key that does something, otherwise any of the 256 codes.
inline unsigned char anyKey(SoakRandom& random) {
    if (random.percent(65)) return static_cast<unsigned char>(kCommandKeys[random.below(kCommandKeyCount)]);
    return static_cast<unsigned char>(random.below(256));
}

// A window coordinate along an axis of `extent` pixels: mostly inside, sometimes far
// outside on either side, rarely the extremes of int.
inline int anyCoordinate(SoakRandom& random, int extent) {
    const unsigned r = random.below(100);
    if (r < 8) return random.between(-100000, -1);
    if (r < 16) return random.between(extent, 100000);
    if (r < 18) return random.percent(50) ? INT_MIN : INT_MAX;
    return random.between(0, extent - 1);
}

inline int insideCoordinate(SoakRandom& random, int extent) { return random.between(0, extent - 1); }

// Left, middle or right, and now and then a code no mouse sends.
inline int anyButton(SoakRandom& random) {
    if (random.percent(85)) return random.between(0, 2);
    constexpr int odd[] = {-1, 3, 4, 5, INT_MIN, INT_MAX};
    if (random.percent(80)) return odd[random.below(6)];
    return static_cast<int>(random.next());
}

// Pressed or released, and now and then a state no mouse sends.
inline int anyState(SoakRandom& random) {
    if (random.percent(90)) return random.between(0, 1);
    return static_cast<int>(random.next());
}

// Length of a run of steps: mostly a fraction of a frame, sometimes a few frames, rarely seconds.
inline int stepRun(SoakRandom& random) {
    const unsigned r = random.below(100);
    if (r < 80) return random.between(1, 30);
    if (r < 98) return random.between(31, 300);
    return random.between(301, 3000);
}

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
