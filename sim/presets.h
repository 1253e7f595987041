#pragma once

// The prepared scenes' numbers, each written once: the materials the builders use, where each
// scene's first cube stands, and the pendulum's suspension. A header alone, so that the script
// reader follows the scenes with the very numbers the builders use, without linking the core.

#include "sim/constants.h"

// Materials. Edges in scene units, stiffnesses in force per unit of length change, tear forces
// in force units.
inline constexpr float kStandardEdge = 1.0f;
inline constexpr float kStandardStiffness = 1660.0f;
inline constexpr float kSmallEdge = 0.5f;
inline constexpr float kSmallStiffness = 5000.0f;
inline constexpr float kTearForceLow = 700.0f;
inline constexpr float kTearForceHigh = 7000.0f;
// Each built point's damping and mass (mass units per point); the pendulum's are heavier.
inline constexpr float kPointDamping = 0.2f;
inline constexpr float kPointMass = 1.0f;
inline constexpr float kPendulumMass = 3.0f;
// The pendulum's suspension springs, from fixed points to its first cube's corners.
inline constexpr float kSuspensionStiffness = 1000.0f;
inline constexpr float kSuspensionRestLength = 1.0f;

// A scene a key builds: a row of cubes along +y, each against the far face of the one before,
// the first one free; cubes attached to it are made of the first one's material but tear at
// kTearForceLow.
struct PreparedScene {
    char key;
    int cubes;
    float x, y, z;  // the first cube's corner 0
    float edge, stiffness, mass, tearForce;  // the first cube's
    bool elements;  // whether its cubes have volume elements
    int anchors;    // fixed points of the suspension
    unsigned pinned;  // corners of the first cube that leave the moving chain (bit k: corner k)
    // Where the last cube's corner 0 stands in y.
    constexpr double lastY() const { return y + (cubes - 1) * static_cast<double>(edge); }
};

inline constexpr PreparedScene kPreparedScenes[] = {
    {'1', 1, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'2', 2, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'3', 3, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'4', 4, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'5', 5, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'6', 6, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    {'7', 7, 0.0f, 0.0f, 2.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0, 0},
    // Twenty small cubes; the camera follows the last.
    {'s', 20, 0.0f, 0.0f, 2.0f, kSmallEdge, kSmallStiffness, kPointMass, kTearForceLow, true, 0, 0},
    // Four cubes, the first against the near wall.
    {'q', 4, 0.0f, kNearWallY, 5.0f, kStandardEdge, kStandardStiffness, kPointMass, kTearForceLow, true, 0,
     1u << 0 | 1u << 3 | 1u << 4 | 1u << 7},
    // Three heavy cubes hanging from four fixed points, without volume elements.
    {'p', 3, 0.0f, 5.5f, 8.0f, kStandardEdge, kStandardStiffness, kPendulumMass, kTearForceHigh, false, 4, 0},
};

// The prepared scene of `key`, or null.
constexpr const PreparedScene* preparedScene(char key) {
    for (const PreparedScene& scene : kPreparedScenes) {
        if (scene.key == key) return &scene;
    }
    return nullptr;
}

// The pendulum's fixed points and the corners of its first cube they hold.
struct Suspension {
    float x, y, z;
    int corner;
};
inline constexpr Suspension kPendulumSuspensions[] = {
    {0.0f, 4.0f, 5.5f, 0}, {0.0f, 5.0f, 5.5f, 4}, {-1.0f, 5.0f, 5.5f, 7}, {-1.0f, 4.0f, 5.5f, 3}};
