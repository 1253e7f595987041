#pragma once

#include <array>
#include <vector>

#include "model/vec3.h"

// What one frame shows, read from the world without GL: the window draws it with its
// immediate-mode calls, the page with WebGL2. Scene units, z up.

struct Colour {
    float r, g, b;  // 0..1
};

// A quad of the room: its colour and four corners in drawing order.
struct RoomQuad {
    Colour colour;
    Vec3 corners[4];
};

// The camera as gluLookAt and glFrustum take it: a fixed eye and up, a target on the lead cube,
// and a fixed frustum that the viewport stretches to the window's shape.
struct ViewCamera {
    double eyeX, eyeY, eyeZ;
    double targetX, targetY, targetZ;
    double upX, upY, upZ;
    double left, right, bottom, top, near, far;
};

constexpr Colour kSpringColour{1.0f, 0.0f, 0.0f};
constexpr Colour kPointColour{1.0f, 1.0f, 0.0f};
constexpr float kPointEdge = 0.1f;  // edge of the cube drawn around each moving point

struct FrameView {
    ViewCamera camera{};
    std::array<RoomQuad, 3> room{};  // floor, near wall, far wall
    std::vector<Vec3> springEnds;    // ends a then b of every listed spring, in list order
    std::vector<Vec3> points;        // position of every moving point, in chain order
};

// Fills frame from the current world. The vectors keep their capacity from frame to frame.
void describeFrame(FrameView& frame);
