#include "view/frame_view.h"

#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/grab.h"
#include "sim/world.h"

namespace {

// The room's quads stand out of the room by this much (scene units), so a point resting on
// the floor just touches the floor's quad.
constexpr float kRoomMargin = 0.05f;

// From the fixed eye point (5, 4.5, 3), z up, toward the lead cube.
ViewCamera lookAtLeadCube(CameraTarget& target) {
    const Vec3 t = leadCube != nullptr ? target.follow(*leadCube) : target.last();
    return ViewCamera{5.0, 4.5, 3.0, t.x, t.y, t.z, 0.0, 0.0, 1.0, kFrustum};
}

// The floor and the near (y = roomMinY) and far (y = roomMaxY) walls; none at the x bounds,
// no ceiling.
std::array<RoomQuad, 3> describeRoom() {
    const float minX = roomMinX - kRoomMargin;
    const float maxX = roomMaxX + kRoomMargin;
    const float minY = roomMinY - kRoomMargin;
    const float maxY = roomMaxY + kRoomMargin;
    const float bottom = floorZ - kRoomMargin;
    const float top = roomMaxZ + kRoomMargin;
    return {{
        {{0.0f, 0.4f, 1.0f}, {{minX, minY, bottom}, {maxX, minY, bottom}, {maxX, maxY, bottom}, {minX, maxY, bottom}}},
        {{0.0f, 0.4f, 0.77f}, {{minX, minY, bottom}, {maxX, minY, bottom}, {maxX, minY, top}, {minX, minY, top}}},
        {{0.0f, 0.0f, 0.77f}, {{maxX, maxY, bottom}, {minX, maxY, bottom}, {minX, maxY, top}, {maxX, maxY, top}}},
    }};
}

}  // namespace

void describeFrame(FrameView& frame) {
    frame.camera = lookAtLeadCube(frame.target);
    frame.orbit.apply(frame.camera);
    frame.room = describeRoom();

    // The terminator cell holds no spring.
    frame.springEnds.clear();
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        const Vec3& a = cell->spring->a->position;
        const Vec3& b = cell->spring->b->position;
        if (!nearTheRoom(a) || !nearTheRoom(b)) continue;
        frame.springEnds.push_back(a);
        frame.springEnds.push_back(b);
    }

    // Moving points only: neither the chain head nor the anchors outside the chain.
    frame.points.clear();
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        if (nearTheRoom(p->position)) frame.points.push_back(p->position);
    }

    frame.grabbing = grab.point != nullptr && nearTheRoom(grab.point->position) && nearTheRoom(grab.target);
    frame.grabPoint = frame.grabbing ? grab.point->position : Vec3{};
    frame.grabTarget = frame.grabbing ? grab.target : Vec3{};
}
