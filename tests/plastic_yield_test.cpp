// Plastic yield: the strict bounds, the new rest length and the elements' new rest shape.

#include <cmath>

#include "model/cube.h"
#include "model/mass_point.h"
#include "model/spring.h"
#include "model/volume_element.h"
#include "sim/spring_pass.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class PlasticYieldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        plasticOn = true;
    }
    // A lone spring of rest length `rest` whose end b is then put `length` away from a.
    Spring* springAt(float rest, float length) {
        a = pointAt(0, 0, 0, true);
        b = pointAt(0, 0, rest, true);
        Spring* s = make<Spring>(a, b, 1660.0f, 700.0f);
        springList->append(s);
        b->position.z = length;
        return s;
    }
    MassPoint* a = nullptr;
    MassPoint* b = nullptr;
};

TEST_F(PlasticYieldTest, YieldsOnlyStrictlyBeyondHalfAndOneAndAHalfTimesTheRestLength) {
    struct Case {
        float length;
        bool yields;
    };
    for (Case c : {Case{1.5f, false}, Case{1.51f, true}, Case{0.5f, false}, Case{std::nextafter(0.5f, 0.0f), true},
                   Case{1.0f, false}}) {
        resetWorld();
        plasticOn = true;
        Spring* s = springAt(1.0f, c.length);
        applySpringForces();
        EXPECT_EQ(s->restLength, c.yields ? c.length : 1.0f) << "length " << c.length;
        if (c.yields) {
            EXPECT_TRUE(sameBits(b->force, Vec3{})) << "a yielding spring exerts nothing";
        }
    }
}

TEST_F(PlasticYieldTest, UpperBoundIsRoundedToFloatBeforeTheComparison) {
    // Find a rest length whose 1.5 times rounds up in float: a length equal to that rounded
    // bound is above 1.5 x rest in exact arithmetic, yet does not yield.
    float rest = 1.0f;
    while (!(static_cast<double>(static_cast<float>(1.5 * rest)) > 1.5 * rest)) rest = std::nextafter(rest, 2.0f);
    const float bound = static_cast<float>(1.5 * rest);
    Spring* s = springAt(rest, 1.0f);
    b->position.z = bound;
    ASSERT_EQ(currentLength(*s), bound);
    applySpringForces();
    EXPECT_EQ(s->restLength, rest);
    b->position.z = std::nextafter(bound, 3.0f);
    applySpringForces();
    EXPECT_EQ(s->restLength, b->position.z);
}

TEST_F(PlasticYieldTest, ElasticMaterialNeverChangesItsRestShape) {
    plasticOn = false;
    Spring* s = springAt(1.0f, 3.0f);
    applySpringForces();
    EXPECT_EQ(s->restLength, 1.0f);
}

TEST_F(PlasticYieldTest, YieldResetsEveryEdgeOfItsElementsAndTheirRestVolumes) {
    Cube* cube = make<Cube>(0.0f, 0.0f, 2.0f, 0.2f, 1.0f, 1660.0f, 1.0f, springList, chainHead, 700.0f);
    cube->buildElements();
    // Pull corner 1 far out along +y: the edge (0,1) is stretched to 1.6.
    cube->corners[1]->position.y = 1.6f;
    Spring* edge01 = cube->findSpring(cube->corners[0], cube->corners[1]);
    applySpringForces();
    EXPECT_FLOAT_EQ(edge01->restLength, 1.6f);
    ASSERT_EQ(edge01->elements.size(), 2u);
    for (VolumeElement* e : edge01->elements) {
        for (Spring* edge : e->edges) EXPECT_EQ(edge->restLength, currentLength(*edge));
        const float volume = signedVolume(e->corners[0]->position, e->corners[1]->position, e->corners[2]->position,
                                          e->corners[3]->position);
        EXPECT_NEAR(e->restVolume, volume, 1e-6f);
    }
    // Once yielded, the shape holds: the next pass changes nothing more.
    const float rest = edge01->restLength;
    applySpringForces();
    EXPECT_EQ(edge01->restLength, rest);

    // Turning plasticity off keeps the new rest lengths.
    plasticOn = false;
    cube->corners[1]->position.y = 1.0f;
    applySpringForces();
    EXPECT_EQ(edge01->restLength, rest);
}

}  // namespace
