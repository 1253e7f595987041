#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "interaction/keyboard.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/scene_counts.h"
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

// A scene blowing up: a point gone non-finite and points far outside the room (beyond 1e4
// units in any axis) are not drawn, nor is any spring to them; the rest, a point exactly at
// the limit too, is drawn as ever.
TEST(FrameViewTest, PointsFarOutsideTheRoomOrNotFiniteAndTheirSpringsAreLeftOut) {
    onKey('q', 0, 0);
    std::vector<MassPoint*> moving;
    for (MassPoint* p = chainHead->next; p != nullptr; p = p->next) moving.push_back(p);
    moving[0]->position.y = std::numeric_limits<float>::quiet_NaN();
    moving[1]->position.z = -2e4f;
    moving[2]->position.x = -2e4f;
    moving[3]->position.y = 1e4f;  // at the limit: drawn
    auto leftOut = [&](const MassPoint* p) { return p == moving[0] || p == moving[1] || p == moving[2]; };
    FrameView frame;
    describeFrame(frame);
    std::vector<Vec3> ends, points;
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) {
        const Spring& s = *cell->spring;
        if (leftOut(s.a) || leftOut(s.b)) continue;
        ends.push_back(s.a->position);
        ends.push_back(s.b->position);
    }
    for (const MassPoint* p : moving) {
        if (!leftOut(p)) points.push_back(p->position);
    }
    ASSERT_LT(ends.size(), 2u * countActiveSprings());
    ASSERT_EQ(frame.springEnds.size(), ends.size());
    ASSERT_EQ(frame.points.size(), points.size());
    for (std::size_t i = 0; i < ends.size(); ++i) EXPECT_TRUE(same(frame.springEnds[i], ends[i])) << "end " << i;
    for (std::size_t i = 0; i < points.size(); ++i) EXPECT_TRUE(same(frame.points[i], points[i])) << "point " << i;
    onKey('1', 0, 0);
}

}  // namespace
