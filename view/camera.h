#pragma once

#include "model/vec3.h"

struct Cube;

// Where the camera looks: a quarter of the sum of the positions of corners 0, 1 and 3 of the
// lead cube (three quarters of the way from the origin to their centroid, not the centroid).
// A scene that has blown up has no finite target; the last finite one is kept then, so the
// room stays in view until a restart.
class CameraTarget {
public:
    Vec3 follow(const Cube& lead);
    // The target kept: for a scene without a lead cube (one written as commands, not built yet).
    Vec3 last() const { return last_; }

private:
    Vec3 last_{};  // the origin until a finite target has been seen
};
