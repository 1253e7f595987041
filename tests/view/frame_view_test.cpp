#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "interaction/keyboard.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_view.h"

namespace {

bool same(const Vec3& a, const Vec3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Every scene: one segment per listed spring, ends in list order; one point per moving point,
// in chain order (no chain head, no anchor, no pinned corner), after some steps too.
TEST(FrameViewTest, SpringsAndPointsAreTheListedSpringsAndTheMovingPoints) {
    struct Scene {
        unsigned char key;
        std::size_t springs, points;
    };
    const Scene scenes[] = {{'1', 28, 8}, {'7', 160, 32}, {'s', 446, 84}, {'q', 94, 16}, {'p', 76, 16}};
    FrameView frame;
    for (const Scene& scene : scenes) {
        onKey(scene.key, 0, 0);
        for (int i = 0; i < 50; ++i) stepWorld();
        describeFrame(frame);
        ASSERT_EQ(frame.springEnds.size(), 2 * scene.springs) << scene.key;
        ASSERT_EQ(frame.points.size(), scene.points) << scene.key;
        std::size_t i = 0;
        for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next, i += 2) {
            EXPECT_TRUE(same(frame.springEnds[i], cell->spring->a->position)) << scene.key << " spring " << i / 2;
            EXPECT_TRUE(same(frame.springEnds[i + 1], cell->spring->b->position)) << scene.key << " spring " << i / 2;
        }
        i = 0;
        for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next, ++i)
            EXPECT_TRUE(same(frame.points[i], p->position)) << scene.key << " point " << i;
    }
    onKey('1', 0, 0);
}

// The fixed eye, up and frustum; the target on the lead cube; the room's quads 0.05 outside
// the room in their colours.
TEST(FrameViewTest, CameraAndRoom) {
    onKey('1', 0, 0);
    FrameView frame;
    describeFrame(frame);
    const ViewCamera& c = frame.camera;
    EXPECT_EQ(std::vector<double>({c.eyeX, c.eyeY, c.eyeZ, c.upX, c.upY, c.upZ}),
              std::vector<double>({5.0, 4.5, 3.0, 0.0, 0.0, 1.0}));
    // Corners 0, 1, 3 of the cube at (0, 0, 2): (0, 0, 2), (0, 1, 2), (-1, 0, 2).
    EXPECT_EQ(std::vector<double>({c.targetX, c.targetY, c.targetZ}), std::vector<double>({-0.25, 0.25, 1.5}));
    EXPECT_EQ(std::vector<double>({c.frustum.left, c.frustum.right, c.frustum.bottom, c.frustum.top,
                                   c.frustum.near, c.frustum.far}),
              std::vector<double>({-1.0, 1.0, -1.0, 1.0, 1.5, 50.0}));

    struct Expected {
        Colour colour;
        float x[4], y[4], z[4];
    };
    const Expected room[3] = {
        {{0.0f, 0.4f, 1.0f}, {-4.05f, 2.05f, 2.05f, -4.05f}, {-2.05f, -2.05f, 10.05f, 10.05f}, {-0.05f, -0.05f, -0.05f, -0.05f}},
        {{0.0f, 0.4f, 0.77f}, {-4.05f, 2.05f, 2.05f, -4.05f}, {-2.05f, -2.05f, -2.05f, -2.05f}, {-0.05f, -0.05f, 20.05f, 20.05f}},
        {{0.0f, 0.0f, 0.77f}, {2.05f, -4.05f, -4.05f, 2.05f}, {10.05f, 10.05f, 10.05f, 10.05f}, {-0.05f, -0.05f, 20.05f, 20.05f}},
    };
    for (int q = 0; q < 3; ++q) {
        EXPECT_EQ(frame.room[q].colour.r, room[q].colour.r) << q;
        EXPECT_EQ(frame.room[q].colour.g, room[q].colour.g) << q;
        EXPECT_EQ(frame.room[q].colour.b, room[q].colour.b) << q;
        for (int v = 0; v < 4; ++v) {
            EXPECT_FLOAT_EQ(frame.room[q].corners[v].x, room[q].x[v]) << q << " " << v;
            EXPECT_FLOAT_EQ(frame.room[q].corners[v].y, room[q].y[v]) << q << " " << v;
            EXPECT_FLOAT_EQ(frame.room[q].corners[v].z, room[q].z[v]) << q << " " << v;
        }
    }
}

}  // namespace
