#include <fenv.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "model/mass_point.h"
#include "run/apply_command.h"
#include "run/script_runner.h"
#include "sim/scene_counts.h"
#include "sim/world.h"

namespace {

TEST(ScriptRunner, SummaryNamesTheFirstStepAfterWhichAPointWasNotFinite) {
    // The blow-up below is made on purpose: the test main's traps are off for it.
    const int traps = fegetexcept();
    fedisableexcept(FE_ALL_EXCEPT);
    const std::vector<ScriptCommand> fiveSteps{{CommandKind::Step, 1, 0, 0, 0, 0, 5}};

    startWorld();
    EXPECT_EQ(runScript(fiveSteps).firstNonFiniteStep, 0u) << "a resting cube stays finite";

    chainHead->next->next->next->velocity.y = std::numeric_limits<float>::infinity();
    const RunSummary blown = runScript(fiveSteps);
    EXPECT_EQ(blown.steps, 5u);
    EXPECT_EQ(blown.firstNonFiniteStep, 1u);

    startWorld();
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(traps);
}

TEST(ScriptRunner, EachPositionAndVelocityValueCountsAndTheForceDoesNot) {
    // The check reads the values four at a time: every one of the six must count, and the force
    // that follows the velocity in the record must not.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int value = 0; value < 9; ++value) {
        for (const float bad : {inf, -inf, nan}) {
            startWorld();
            MassPoint& p = *chainHead->next->next;
            float* fields[9] = {&p.position.x, &p.position.y, &p.position.z, &p.velocity.x, &p.velocity.y,
                                &p.velocity.z, &p.force.x, &p.force.y, &p.force.z};
            *fields[value] = bad;
            EXPECT_EQ(movingPointsFinite(), value >= 6) << "value " << value << " set to " << bad;
        }
    }
    startWorld();
}

}  // namespace
