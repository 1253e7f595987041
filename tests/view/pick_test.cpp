// Picking a moving point under the pointer, and the plane it is dragged in.

#include <gtest/gtest.h>

#include <cmath>

#include "model/mass_point.h"
#include "tests/test_support.h"
#include "view/pick.h"

namespace {

// Looking along +x from the origin, z up; the frustum as the window's.
const ViewCamera kCamera{0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, kFrustum};
constexpr int kWidth = 800, kHeight = 600;

class Pick : public WorldTest {};

TEST_F(Pick, TakesTheNearestDrawnPointWithinTheRadiusAndTheNearerOfEqualOnes) {
    // Straight ahead at depths 5 and 9 (both drawn at the middle of the picture), one a little
    // to the side, and one behind the eye, also drawn (if it were) at the middle.
    pointAt(-3.0f, 0.0f, 0.0f, true);  // 0: behind the eye
    pointAt(5.0f, 0.0f, 0.0f, true);   // 1: near
    pointAt(9.0f, 0.0f, 0.0f, true);   // 2: far, same pixel as 1
    pointAt(5.0f, 0.1f, 0.0f, true);   // 3: to the side
    pointAt(5.0f, 0.1f, 0.0f, true);   // 4: where 3 is
    double x = 0.0, y = 0.0, depth = 0.0;
    ASSERT_TRUE(drawnAt(kCamera, kWidth, kHeight, Vec3{5.0f, 0.1f, 0.0f}, x, y, depth));
    const double side = std::fabs(x - kWidth / 2.0);
    EXPECT_GT(side, 5.0);

    EXPECT_EQ(pickMovingPoint(kCamera, kWidth, kHeight, 400, 300, 3.0).number, 1) << "of equal ones, the nearer";
    EXPECT_EQ(pickMovingPoint(kCamera, kWidth, kHeight, x, y, 0.0).number, 3) << "then the lower number; the radius counts";
    EXPECT_EQ(pickMovingPoint(kCamera, kWidth, kHeight, 400, 300 + 40, 12.0).number, -1) << "nothing near";
    EXPECT_FALSE(drawnAt(kCamera, kWidth, kHeight, Vec3{-3.0f, 0.0f, 0.0f}, x, y, depth)) << "behind the eye";
    EXPECT_FALSE(drawnAt(kCamera, kWidth, kHeight, Vec3{1.0f, 0.0f, 0.0f}, x, y, depth)) << "nearer than the near plane";
    Vec3 target{};
    EXPECT_FALSE(pointerOnPlane(kCamera, kWidth, kHeight, 400, 300, Vec3{-3.0f, 0.0f, 0.0f}, target))
        << "a held point behind the eye gives no target";
    const PointPick far = pickMovingPoint(kCamera, kWidth, kHeight, 400, 300 + side * 0.5, side);
    EXPECT_EQ(far.number, 1);
    EXPECT_EQ(far.at.x, 5.0f);
}

TEST_F(Pick, TheDragPlaneFacesTheEyeAndPassesUnderThePointer) {
    const ViewCamera turned{5.0, 4.5, 3.0, -0.5, 0.5, 2.5, 0.0, 0.0, 1.0, kFrustum};
    const Vec3 held{-0.5f, 1.0f, 2.5f};
    for (const auto& [px, py] : {std::pair{400.0, 300.0}, std::pair{10.0, 590.0}, std::pair{700.0, 20.0}}) {
        Vec3 target{};
        ASSERT_TRUE(pointerOnPlane(turned, kWidth, kHeight, px, py, held, target));
        double x = 0.0, y = 0.0, depth = 0.0, heldDepth = 0.0;
        ASSERT_TRUE(drawnAt(turned, kWidth, kHeight, target, x, y, depth));
        EXPECT_NEAR(x, px, 1e-2);
        EXPECT_NEAR(y, py, 1e-2);
        ASSERT_TRUE(drawnAt(turned, kWidth, kHeight, held, x, y, heldDepth));
        EXPECT_NEAR(depth, heldDepth, 1e-4) << "the target stays at the held point's depth";
    }
}

}  // namespace
