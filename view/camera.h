#pragma once

#include "model/vec3.h"

struct Cube;

// Far outside the room (scene units): only a scene blowing up puts a point there. Such a point,
// or a spring to it, is not drawn, and the camera does not follow it: lines to such points
// stopped the page under software WebGL.
constexpr float kFarOutsideRoom = 1e4f;
// Every coordinate finite and within kFarOutsideRoom; raises no floating-point exception.
bool nearTheRoom(const Vec3& p);

// Where the camera looks: a quarter of the sum of the positions of corners 0, 1 and 3 of the
// lead cube (three quarters of the way from the origin to their centroid, not the centroid).
// A scene that has blown up has no finite target, or one far outside the room; the last near
// one is kept then, so the room stays in view until a restart.
class CameraTarget {
public:
    Vec3 follow(const Cube& lead);
    // The target kept: for a scene without a lead cube (one written as commands, not built yet).
    Vec3 last() const { return last_; }

private:
    Vec3 last_{};  // the origin until a finite target has been seen
};
