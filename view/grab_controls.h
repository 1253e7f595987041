#pragma once

#include <functional>

#include "model/vec3.h"
#include "run/script.h"
#include "view/frame_view.h"

// The grab under a pointer: a press takes the moving point drawn nearest to it, the pointer's
// motion moves the target in the plane through the point (where it was at the press) facing
// the eye, the release lets go. The simulation hears of it only as commands of the run (take,
// move, let go), so that a grab is recorded and played back like keys and drags. No GL; the
// pointer in window pixels, y down, over a picture of width x height showing `camera`.
class GrabControls {
public:
    // Carries out a command of the person's and records it; false when it was not (a played run
    // is running and holds the person's input back).
    using Send = std::function<bool(const ScriptCommand&)>;
    explicit GrabControls(Send send) : send_(std::move(send)) {}

    // A button event; `grabKey`: the modifier that makes a left press a grab (shift) was held.
    // True when the event is the grab's: a left press with it, and the left release after
    // such a press, whether a point was taken or not. Every other event is left to the others.
    bool mouse(int button, int state, bool grabKey, int x, int y, const ViewCamera& camera, int width, int height);
    // The pointer moved with a button held: the target under it goes out at the next frame.
    void motion(int x, int y, const ViewCamera& camera, int width, int height);
    // A frame was drawn: a target that moved since the last one goes out as one move.
    void frame();

    // A point taken here is still held; false once the simulation let go (a restart, a scene).
    bool holding();

    // How near the pointer (pixels) a point must be drawn to be taken.
    static constexpr double kPickRadius = 12.0;

private:
    Send send_;
    bool pressed_ = false;   // the left button went down as a grab and has not come up
    bool holding_ = false;
    Vec3 through_{};         // the held point where it was at the press
    Vec3 wanted_{};          // the target under the pointer
    bool moved_ = false;     // wanted_ changed since the last frame
};
