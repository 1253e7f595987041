#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "interaction/keyboard.h"
#include "model/spring.h"
#include "model/spring_list.h"
#include "sim/energy.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tests/test_support.h"

namespace {

struct EnergyCase {
    std::string name;
    std::function<void()> setUp;
    double kinetic, gravitational, spring;
    double tolerance;  // relative, plus the same absolute below 1
};

// The pendulum's suspension: two springs from (0, 1.5, 2.5) away and two from (0, 0.5, 3.5)
// away, each of stiffness 1000 and rest length 1.
const double kSuspension = 1000.0 * (std::pow(std::sqrt(1.5 * 1.5 + 2.5 * 2.5) - 1.0, 2) +
                                     std::pow(std::sqrt(0.5 * 0.5 + 3.5 * 3.5) - 1.0, 2));

// Free fall of a cube whose springs stay at rest: v(n) = -(g / c)(1 - (1 - c dt)^n) for point
// damping c = 0.2 with semi-implicit Euler, for each of its 8 points of mass 1.
double fallingCubeKinetic(int steps) {
    const double g = 9.81, c = 0.2, dt = 0.0005;
    const double v = -(g / c) * (1.0 - std::pow(1.0 - c * dt, steps));
    return 8 * 0.5 * v * v;
}

const EnergyCase kCases[] = {
    {"one cube at its start: 4 points at z = 2, 4 at z = 3, weight 9.81", [] { onKey('1', 0, 0); }, 0.0,
     9.81 * (4 * 2.0 + 4 * 3.0), 0.0, 1e-6},
    {"gravity off: no gravitational energy",
     [] {
         onKey('g', 0, 0);
         onKey('1', 0, 0);
     },
     0.0, 0.0, 0.0, 1e-6},
    {"pendulum: 16 points of mass 3 at z = 8 and 9 and the stretched suspension", [] { onKey('p', 0, 0); }, 0.0,
     3 * 9.81 * (8 * 8.0 + 8 * 9.0), kSuspension, 1e-5},
    {"a cube falling for 1000 steps",
     [] {
         onKey('1', 0, 0);
         for (int i = 0; i < 1000; ++i) onIdle();
     },
     fallingCubeKinetic(1000), -1.0, 0.0, 1e-4},
    {"two moving points of mass 2, one spring stretched from 1 to 1.5, at z = 0",
     [] {
         MassPoint* a = pointAt(0.0f, 0.0f, 0.0f, true);
         MassPoint* b = pointAt(1.5f, 0.0f, 0.0f, true);
         a->mass = b->mass = 2.0f;
         a->velocity = Vec3{1.0f, 2.0f, 2.0f};  // |v| = 3
         b->velocity = Vec3{0.0f, -4.0f, 0.0f};
         springList->append(make<Spring>(a, b, 100.0f, 700.0f, 1.0f));
     },
     0.5 * 2 * 9 + 0.5 * 2 * 16, 0.0, 0.5 * 100 * 0.25, 1e-6},
};

void PrintTo(const EnergyCase& c, std::ostream* os) { *os << c.name; }

class EnergyTest : public WorldTest, public ::testing::WithParamInterface<EnergyCase> {};

void expectNear(double actual, double expected, double tolerance, const char* what) {
    if (expected < 0) return;  // not checked in this case
    EXPECT_NEAR(actual, expected, tolerance * std::max(1.0, std::fabs(expected))) << what;
}

TEST_P(EnergyTest, MatchesClosedForm) {
    const EnergyCase& c = GetParam();
    c.setUp();
    const SceneEnergy e = sceneEnergy();
    expectNear(e.kinetic, c.kinetic, c.tolerance, "kinetic");
    expectNear(e.gravitational, c.gravitational, c.tolerance, "gravitational");
    expectNear(e.spring, c.spring, c.tolerance, "spring");
}

INSTANTIATE_TEST_SUITE_P(Scenes, EnergyTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<EnergyCase>& info) {
                             return "case" + std::to_string(info.index);
                         });

}  // namespace
