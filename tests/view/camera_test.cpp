#include "view/camera.h"

#include <gtest/gtest.h>

#include <limits>

#include "interaction/keyboard.h"
#include "model/cube.h"
#include "model/mass_point.h"
#include "sim/world.h"

namespace {

TEST(CameraTargetTest, FollowsTheLeadCubeAndKeepsTheLastFiniteTarget) {
    onKey('1', 0, 0);
    CameraTarget camera;
    // Corners 0 (0, 0, 2), 1 (0, 1, 2) and 3 (-1, 0, 2), summed and quartered.
    const Vec3 start = camera.follow(*leadCube);
    EXPECT_EQ(start.x, -0.25f);
    EXPECT_EQ(start.y, 0.25f);
    EXPECT_EQ(start.z, 1.5f);

    // A blown-up scene: the camera stays where it last looked.
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1e5f}) {
        leadCube->corners[3]->position.z = bad;
        const Vec3 kept = camera.follow(*leadCube);
        EXPECT_EQ(kept.x, start.x);
        EXPECT_EQ(kept.y, start.y);
        EXPECT_EQ(kept.z, start.z);
    }

    // A restart gives a finite target again, which the camera takes at once.
    onKey('s', 0, 0);
    EXPECT_GT(camera.follow(*leadCube).y, 5.0f) << "the twentieth small cube, at the far end";
}

}  // namespace
