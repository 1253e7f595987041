#include "view/grab_controls.h"

#include <algorithm>
#include <cstring>

#include "interaction/mouse.h"
#include "sim/grab.h"
#include "view/pick.h"

namespace {

ScriptCommand plain(CommandKind kind, int x = 0) { return ScriptCommand(kind, 0, 0, 0, x, 0, 0); }

// A run refuses a target beyond its positions' range: one out there is brought to the edge.
float withinRun(float v) { return std::clamp(v, -kMaxPosition, kMaxPosition); }

bool sameBits(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

bool GrabControls::mouse(int button, int state, bool grabKey, int x, int y, const ViewCamera& camera, int width,
                         int height) {
    if (button != kLeftButton) return false;
    if (state == kButtonDown && grabKey) {
        pressed_ = true;
        holding_ = moved_ = false;
        const PointPick pick = pickMovingPoint(camera, width, height, x, y, kPickRadius);
        if (pick.number < 0) return true;
        through_ = pick.at;
        holding_ = send_(plain(CommandKind::Take, pick.number)) && grab.point != nullptr;
        return true;
    }
    if (state != kButtonUp || !pressed_) return false;
    pressed_ = false;
    if (holding()) send_(plain(CommandKind::LetGo));
    holding_ = moved_ = false;
    return true;
}

void GrabControls::motion(int x, int y, const ViewCamera& camera, int width, int height) {
    if (!holding()) return;
    Vec3 target{};
    if (!pointerOnPlane(camera, width, height, x, y, through_, target)) return;
    wanted_ = Vec3{withinRun(target.x), withinRun(target.y), withinRun(target.z)};
    moved_ = true;
}

void GrabControls::frame() {
    if (!holding() || !moved_) return;
    moved_ = false;
    if (sameBits(wanted_, grab.target)) return;
    SceneArguments a;
    a.at[0] = wanted_.x;
    a.at[1] = wanted_.y;
    a.at[2] = wanted_.z;
    ScriptCommand move = plain(CommandKind::Move);
    move.scene = HeldArguments(a);
    send_(move);
}

bool GrabControls::holding() {
    if (grab.point == nullptr) holding_ = false;
    return holding_;
}
