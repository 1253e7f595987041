#pragma once

#include <array>
#include <vector>

#include "model/vec3.h"
#include "view/camera.h"
#include "view/view_orbit.h"

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

// The projection, as glFrustum takes it: fixed, whatever the window's size, so the picture
// stretches with the window.
struct Frustum {
    double left, right, bottom, top, near, far;
};
constexpr Frustum kFrustum{-1.0, 1.0, -1.0, 1.0, 1.5, 50.0};

// The camera as gluLookAt takes it, plus the projection.
struct ViewCamera {
    double eyeX, eyeY, eyeZ;
    double targetX, targetY, targetZ;
    double upX, upY, upZ;
    Frustum frustum;
};

constexpr Colour kSpringColour{1.0f, 0.0f, 0.0f};
constexpr Colour kPointColour{1.0f, 1.0f, 0.0f};
constexpr float kPointEdge = 0.1f;  // edge of the cube drawn around each moving point
// The grab: the line from the held point to its target, and the cube that marks the target, in
// a colour the room and the bodies do not use.
constexpr Colour kGrabColour{0.0f, 1.0f, 0.5f};
constexpr float kGrabTargetEdge = 0.15f;

// One per front end that draws: it keeps that front end's camera target.
struct FrameView {
    ViewCamera camera{};
    std::array<RoomQuad, 3> room{};  // floor, near wall, far wall
    std::vector<Vec3> springEnds;    // ends a then b of every listed spring, in list order
    std::vector<Vec3> points;        // position of every moving point, in chain order
    // Left out of both: a spring with an end, a point, not nearTheRoom (camera.h).
    CameraTarget target;             // follows the lead cube, keeping the last finite target
    ViewOrbit orbit;                 // the person's turn and zoom of the view; the fixed view at first
};

// Fills frame from the current world, seen through frame.orbit. The vectors keep their capacity from frame to frame.
void describeFrame(FrameView& frame);
