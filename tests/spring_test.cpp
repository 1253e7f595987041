// Springs: construction, the elastic force with tearing, the force and damping passes.

#include <cmath>

#include "model/mass_point.h"
#include "model/spring.h"
#include "sim/spring_pass.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

class SpringTest : public WorldTest {
protected:
    // A spring of the worked example: stiffness 1660, rest length 1, ends 1.5 apart along z.
    Spring* stretchedSpring(float tearForce = 700.0f) {
        a = pointAt(0, 0, 0, true);
        b = pointAt(0, 0, 1, true);
        Spring* s = make<Spring>(a, b, 1660.0f, tearForce);
        springList->append(s);
        b->position.z = 1.5f;
        return s;
    }
    MassPoint* a = nullptr;
    MassPoint* b = nullptr;
};

TEST_F(SpringTest, ConstructorsRegisterWithBothEndsAndTakeTheRestLength) {
    MassPoint* p = pointAt(0, 0, 0);
    MassPoint* q = pointAt(3, 4, 0);
    Spring* measured = make<Spring>(p, q, 1660.0f, 700.0f);
    Spring* given = make<Spring>(q, p, 1000.0f, 7000.0f, 1.0f);
    EXPECT_EQ(measured->restLength, 5.0f);
    EXPECT_EQ(measured->initialLength, 5.0f);
    EXPECT_EQ(given->restLength, 1.0f);
    EXPECT_EQ(given->initialLength, 5.0f);
    EXPECT_EQ(given->stiffness, 1000.0f);
    EXPECT_EQ(given->tearForce, 7000.0f);
    // Registered with a first, then b: both lists list the two springs in construction order.
    EXPECT_EQ(p->springs->spring, measured);
    EXPECT_EQ(p->springs->next->spring, given);
    EXPECT_EQ(q->springs->spring, measured);
    EXPECT_EQ(q->springs->next->spring, given);
    EXPECT_TRUE(measured->elements.empty());
}

TEST_F(SpringTest, ElasticForceReportsItsYieldAndTearAndAddsNothingWhenTearing) {
    // The worked example (force 830) against tear forces either side of it, stretched to 1.5
    // (inside the yield bounds: strict) and to 1.6 (beyond), and with coincident ends.
    struct Case {
        float z, tearForce;
        bool breakable, plastic, yielded, tears;
        float forceOnB;
    };
    const Case cases[] = {
        {1.5f, 700.0f, true, false, false, true, 0.0f},     {1.5f, 830.0f, true, false, false, false, -830.0f},
        {1.5f, 700.0f, false, false, false, false, -830.0f}, {1.5f, 700.0f, true, true, false, true, 0.0f},
        {1.6f, 7000.0f, false, true, true, false, 0.0f},     {0.0f, 700.0f, true, false, false, false, 0.0f},
    };
    for (const Case& c : cases) {
        Spring* s = stretchedSpring(c.tearForce);
        b->position.z = c.z;
        const ElasticOutcome outcome = s->addElasticForce(c.breakable, c.plastic);
        EXPECT_EQ(outcome.yielded, c.yielded) << "z " << c.z << " tear force " << c.tearForce;
        EXPECT_EQ(outcome.tears, c.tears) << "z " << c.z << " tear force " << c.tearForce;
        EXPECT_EQ(b->force.z, c.forceOnB) << "z " << c.z << " tear force " << c.tearForce;
        EXPECT_EQ(a->force.z, -c.forceOnB) << "z " << c.z << " tear force " << c.tearForce;
        EXPECT_EQ(springList->spring, s) << "a tearing spring stays listed for the caller to unlink";
        resetWorld();
    }
}

TEST_F(SpringTest, StretchedSpringPullsItsEndsTogetherWithEqualForces) {
    stretchedSpring();
    applySpringForces();
    EXPECT_VEC3_EQ(b->force, 0.0f, 0.0f, -830.0f);
    EXPECT_VEC3_EQ(a->force, 0.0f, 0.0f, 830.0f);

    // Compressed to 0.5: pushed apart.
    b->position.z = 0.5f;
    applySpringForces();
    EXPECT_VEC3_EQ(b->force, 0.0f, 0.0f, 830.0f);
    EXPECT_VEC3_EQ(a->force, 0.0f, 0.0f, -830.0f);

    // At rest length: nothing.
    b->position.z = 1.0f;
    applySpringForces();
    EXPECT_TRUE(sameBits(b->force, Vec3{}));
}

TEST_F(SpringTest, TearsOnlyAboveItsTearForceInStretchAndCompression) {
    breakableOn = true;
    // Exactly at the tear force: holds and acts.
    stretchedSpring(830.0f);
    applySpringForces();
    EXPECT_EQ(activeSprings().size(), 1u);
    EXPECT_FLOAT_EQ(b->force.z, -830.0f);

    // Just below 830 as tear force: tears and exerts nothing; the head moves to the terminator.
    resetWorld();
    breakableOn = true;
    Spring* s = stretchedSpring(std::nextafter(830.0f, 0.0f));
    applySpringForces();
    EXPECT_TRUE(activeSprings().empty());
    EXPECT_EQ(springList->next, nullptr);
    EXPECT_TRUE(sameBits(b->force, Vec3{}));
    EXPECT_TRUE(sameBits(a->force, Vec3{}));
    // A torn spring stays in its ends' own lists.
    EXPECT_EQ(a->springs->findByEnds(a, b), s);
    EXPECT_EQ(b->springs->findByEnds(b, a), s);

    // Compression tears too.
    resetWorld();
    breakableOn = true;
    stretchedSpring(700.0f);
    b->position.z = 0.5f;
    applySpringForces();
    EXPECT_TRUE(activeSprings().empty());
}

TEST_F(SpringTest, WithoutTearingAnOverloadedSpringKeepsActing) {
    stretchedSpring(1.0f);
    applySpringForces();
    applySpringForces();
    EXPECT_EQ(activeSprings().size(), 1u);
    EXPECT_FLOAT_EQ(b->force.z, -830.0f);
}

TEST_F(SpringTest, ForcePassHandlesEverySpringOnceWhenTheHeadTears) {
    // Three springs on separate pairs of ends; the first and third tear.
    breakableOn = true;
    std::vector<MassPoint*> ends;
    std::vector<Spring*> springs;
    const float stretch[3] = {2.0f, 1.2f, 2.0f};
    for (int i = 0; i < 3; ++i) {
        MassPoint* p = pointAt(float(i), 0, 0, true);
        MassPoint* q = pointAt(float(i), 0, 1, true);
        Spring* s = make<Spring>(p, q, 1000.0f, 500.0f);
        springList->append(s);
        q->position.z = stretch[i];
        ends.push_back(p);
        ends.push_back(q);
        springs.push_back(s);
    }
    SpringListNode* secondCell = springList->next;
    applySpringForces();
    EXPECT_EQ(springList, secondCell);
    EXPECT_EQ(activeSprings(), std::vector<Spring*>{springs[1]});
    // The surviving spring acted once: 1000 * 0.2, not twice.
    EXPECT_FLOAT_EQ(ends[3]->force.z, -200.0f);
    EXPECT_FLOAT_EQ(ends[2]->force.z, 200.0f);

    // When every spring tears the list is its terminator alone and later passes do nothing.
    ends[3]->position.z = 3.0f;
    applySpringForces();
    EXPECT_EQ(springList->next, nullptr);
    applySpringForces();
    EXPECT_TRUE(sameBits(ends[3]->force, Vec3{}));
}

TEST_F(SpringTest, ForcePassClearsEveryEndAndEveryMovingPoint) {
    stretchedSpring();
    MassPoint* anchor = pointAt(5, 5, 5, false);
    Spring* toAnchor = make<Spring>(anchor, b, 1.0f, 1.0f);
    springList->append(toAnchor);
    MassPoint* lone = pointAt(7, 7, 7, true);  // moving, but the end of no spring
    a->force = b->force = anchor->force = lone->force = Vec3{1, 2, 3};
    applySpringForces();
    EXPECT_FLOAT_EQ(a->force.x, 0.0f);
    EXPECT_FLOAT_EQ(b->force.y, 0.0f);
    EXPECT_TRUE(sameBits(lone->force, Vec3{}));
    // The anchor is no moving point, but it is cleared as an end (its spring is at rest).
    EXPECT_TRUE(sameBits(anchor->force, Vec3{}));
}

TEST_F(SpringTest, DampingOpposesTheChangeOfLengthOnly) {
    a = pointAt(0, 0, 0, true);
    b = pointAt(0, 0, 1, true);
    springList->append(make<Spring>(a, b, 1660.0f, 700.0f));
    a->velocity = Vec3{0, 0, -1};
    b->velocity = Vec3{0, 0, 1};
    applySpringDamping(3.0f);
    EXPECT_VEC3_EQ(a->force, 0.0f, 0.0f, 6.0f);
    EXPECT_VEC3_EQ(b->force, 0.0f, 0.0f, -6.0f);

    // Same velocity, or relative velocity across the spring: no damping.
    for (Vec3 vb : {Vec3{0, 0, -1}, Vec3{4, -3, -1}}) {
        a->force = b->force = Vec3{};
        b->velocity = vb;
        applySpringDamping(3.0f);
        EXPECT_FLOAT_EQ(a->force.z, 0.0f);
        EXPECT_FLOAT_EQ(b->force.z, 0.0f);
        EXPECT_FLOAT_EQ(a->force.x, 0.0f);
    }
}

TEST_F(SpringTest, ElasticAndDampingForcesAreTheirClosedFormsRoundedOnce) {
    // d = a - b = (2, 3, 6), L = 7, rest length 2: the elastic force on b is 5 x 1660 along d / 7.
    // With w = a.velocity - b.velocity = (-2, 0, 0), w . d = -4 and the damping force on a is
    // -3 (w . d) d / 49. Each component is the double value rounded once to float.
    auto alongD = [](double f, double divisor) {
        return Vec3{static_cast<float>(f * 2 / divisor), static_cast<float>(f * 3 / divisor),
                    static_cast<float>(f * 6 / divisor)};
    };
    a = pointAt(2, 3, 6, true);
    b = pointAt(0, 0, 0, true);
    springList->append(make<Spring>(a, b, 1660.0f, 70000.0f, 2.0f));
    applySpringForces();
    EXPECT_TRUE(sameBits(b->force, alongD(5.0 * 1660.0, 7.0)));
    EXPECT_TRUE(sameBits(a->force, -alongD(5.0 * 1660.0, 7.0)));

    a->force = b->force = Vec3{};
    a->velocity = Vec3{-2, 0, 0};
    applySpringDamping(3.0f);
    EXPECT_TRUE(sameBits(a->force, alongD(12.0, 49.0)));
    EXPECT_TRUE(sameBits(b->force, -alongD(12.0, 49.0)));
}

TEST_F(SpringTest, CoincidentEndsExertNothingAndMakeNoNaN) {
    // With floating-point traps on, a division by the zero length would stop the test here.
    a = pointAt(1, 1, 1, true);
    b = pointAt(1, 1, 2, true);
    Spring* s = make<Spring>(a, b, 1660.0f, 700.0f);
    springList->append(s);
    b->position = a->position;
    a->velocity = Vec3{0, 0, 1};
    for (bool breakable : {false, true}) {
        breakableOn = breakable;
        applySpringForces();
        applySpringDamping(3.0f);
        EXPECT_TRUE(sameBits(a->force, Vec3{}));
        EXPECT_TRUE(sameBits(b->force, Vec3{}));
        EXPECT_EQ(activeSprings().size(), 1u);
    }
    // The yield test still runs: a zero length is below half the rest length.
    plasticOn = true;
    breakableOn = false;
    applySpringForces();
    EXPECT_EQ(s->restLength, 0.0f);
    EXPECT_TRUE(sameBits(b->force, Vec3{}));
}

}  // namespace
