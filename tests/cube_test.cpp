// Free and attached cubes: corners, springs in pair order, the shared face, the elements.

#include <map>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class CubeTest : public WorldTest {
protected:
    Cube* freeCube(float tearForce = 700.0f) {
        return make<Cube>(0.0f, 0.0f, 2.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, tearForce);
    }
    static int ownListLength(const MassPoint* p) {
        int n = 0;
        for (SpringListNode* cell = p->springs; cell->next != nullptr; cell = cell->next) ++n;
        return n;
    }
};

TEST_F(CubeTest, FreeCubeMakesEightCornersAndTwentyEightSpringsInPairOrder) {
    Cube* cube = freeCube();
    const Vec3 expected[8] = {{0, 0, 2}, {0, 1, 2}, {-1, 1, 2}, {-1, 0, 2}, {0, 0, 3}, {0, 1, 3}, {-1, 1, 3}, {-1, 0, 3}};
    for (int k = 0; k < 8; ++k) {
        EXPECT_TRUE(sameBits(cube->corners[k]->position, expected[k])) << "corner " << k;
        EXPECT_EQ(cube->corners[k]->mass, 1.0f);
        EXPECT_EQ(cube->corners[k]->damping, 0.2f);
        EXPECT_EQ(ownListLength(cube->corners[k]), 7);
    }
    EXPECT_EQ(movingPoints(), std::vector<MassPoint*>(cube->corners, cube->corners + 8));

    const auto listed = activeSprings();
    ASSERT_EQ(listed.size(), 28u);
    ASSERT_EQ(cube->springs.size(), 28u);
    int k = 0;
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j, ++k) {
            EXPECT_EQ(listed[k], cube->springs[k]);
            EXPECT_EQ(listed[k]->a, cube->corners[i]);
            EXPECT_EQ(listed[k]->b, cube->corners[j]);
        }
    }
    EXPECT_EQ(cube->findSpring(cube->corners[5], cube->corners[2]), cube->findSpring(cube->corners[2], cube->corners[5]));
    EXPECT_NE(cube->findSpring(cube->corners[2], cube->corners[5]), nullptr);
    EXPECT_EQ(cube->findSpring(cube->corners[2], pointAt(0, 0, 0)), nullptr);
}

TEST_F(CubeTest, AttachedCubeSharesTheFarFaceAndItsSixSprings) {
    Cube* base = freeCube();
    const size_t before = activeSprings().size();
    Cube* cube = make<Cube>(*base, springList, chainHead, 7000.0f);
    EXPECT_EQ(cube->originX, 0.0f);
    EXPECT_EQ(cube->originY, 1.0f);
    EXPECT_EQ(cube->originZ, 2.0f);
    EXPECT_EQ(cube->corners[0], base->corners[1]);
    EXPECT_EQ(cube->corners[3], base->corners[2]);
    EXPECT_EQ(cube->corners[4], base->corners[5]);
    EXPECT_EQ(cube->corners[7], base->corners[6]);

    const auto points = movingPoints();
    ASSERT_EQ(points.size(), 12u);
    const int fresh[4] = {1, 2, 5, 6};
    const Vec3 expected[4] = {{0, 2, 2}, {-1, 2, 2}, {0, 2, 3}, {-1, 2, 3}};
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(points[8 + n], cube->corners[fresh[n]]);
        EXPECT_TRUE(sameBits(cube->corners[fresh[n]]->position, expected[n]));
    }
    EXPECT_EQ(activeSprings().size(), before + 22);
    ASSERT_EQ(cube->springs.size(), 28u);

    // The very springs of the base, found as the first in the global list.
    const std::map<std::pair<int, int>, std::pair<int, int>> shared = {
        {{0, 3}, {1, 2}}, {{0, 4}, {1, 5}}, {{0, 7}, {1, 6}}, {{3, 4}, {2, 5}}, {{3, 7}, {2, 6}}, {{4, 7}, {5, 6}}};
    int k = 0;
    for (int i = 0; i < 8; ++i) {
        for (int j = i + 1; j < 8; ++j, ++k) {
            Spring* s = cube->springs[k];
            auto it = shared.find({i, j});
            if (it != shared.end()) {
                EXPECT_EQ(s, base->findSpring(base->corners[it->second.first], base->corners[it->second.second]));
                EXPECT_EQ(s, springList->findByEnds(cube->corners[i], cube->corners[j]));
                EXPECT_EQ(s->tearForce, 700.0f);  // keeps the base's tear force
            } else {
                EXPECT_EQ(s->tearForce, 7000.0f);
                EXPECT_EQ(s->stiffness, base->stiffness);
            }
        }
    }
}

TEST_F(CubeTest, AttachedCubeStartsFromTheBasesCurrentCornerZeroAndItsMaterial) {
    Cube* base = make<Cube>(0.0f, 0.0f, 2.0f, 0.3f, 2.5f, 5000.0f, 0.5f, springList, chainHead, 700.0f);
    base->corners[0]->position = Vec3{1.0f, 2.0f, 3.0f};  // moved since it was built
    Cube* cube = make<Cube>(*base, springList, chainHead, 700.0f);
    EXPECT_EQ(cube->originY, 2.5f);
    EXPECT_EQ(cube->edge, 0.5f);
    EXPECT_EQ(cube->stiffness, 5000.0f);
    EXPECT_TRUE(sameBits(cube->corners[2]->position, Vec3{0.5f, 3.0f, 3.0f}));
    EXPECT_EQ(cube->corners[6]->mass, 2.5f);
    EXPECT_EQ(cube->corners[6]->damping, 0.3f);
}

TEST_F(CubeTest, ElementsCoverEveryEdgeAndFaceDiagonalTwicePerCube) {
    Cube* first = freeCube();
    Cube* second = make<Cube>(*first, springList, chainHead, 700.0f);
    VolumeElement* e1 = first->buildElements();
    second->buildElements();

    int n = 0;
    const int table[8][4] = {{0, 1, 3, 4}, {1, 0, 2, 5}, {2, 1, 3, 6}, {3, 0, 2, 7},
                             {4, 0, 5, 7}, {5, 1, 4, 6}, {6, 2, 5, 7}, {7, 3, 4, 6}};
    for (VolumeElement* e = e1; e != nullptr; e = e->next, ++n) {
        ASSERT_LT(n, 8);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(e->corners[k], first->corners[table[n][k]]);
        // Corners 0, 3, 5 and 6 have a positive rest volume, 1, 2, 4 and 7 a negative one.
        const bool positive = n == 0 || n == 3 || n == 5 || n == 6;
        EXPECT_FLOAT_EQ(e->restVolume, positive ? 1.0f / 6.0f : -1.0f / 6.0f) << "element of corner " << n;
    }
    EXPECT_EQ(n, 8);

    auto isSharedFace = [&](const Spring* s) {
        auto onFace = [&](const MassPoint* p) {
            return p == first->corners[1] || p == first->corners[2] || p == first->corners[5] || p == first->corners[6];
        };
        return onFace(s->a) && onFace(s->b);
    };
    auto isSpaceDiagonal = [](const Spring* s) { return s->restLength > 1.5f; };
    for (Spring* s : activeSprings()) {
        const size_t expected = isSharedFace(s) ? 4 : isSpaceDiagonal(s) ? 0 : 2;
        EXPECT_EQ(s->elements.size(), expected);
    }
}

}  // namespace
