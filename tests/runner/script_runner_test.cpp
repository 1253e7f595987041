#include "tools/script_runner.h"

#include <fenv.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "model/mass_point.h"
#include "sim/world.h"

namespace {

TEST(ScriptRunner, SummaryNamesTheFirstStepAfterWhichAPointWasNotFinite) {
    // The blow-up below is made on purpose: the test main's traps are off for it.
    const int traps = fegetexcept();
    fedisableexcept(FE_ALL_EXCEPT);
    const std::vector<ScriptCommand> fiveSteps{{CommandKind::Step, 1, 0, 0, 0, 0, 5}};

    startWorld();
    EXPECT_EQ(runScript(fiveSteps, nullptr, 1).firstNonFiniteStep, 0u) << "a resting cube stays finite";

    chainHead->next->next->next->velocity.y = std::numeric_limits<float>::infinity();
    const RunSummary blown = runScript(fiveSteps, nullptr, 1);
    EXPECT_EQ(blown.steps, 5u);
    EXPECT_EQ(blown.firstNonFiniteStep, 1u);

    startWorld();
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(traps);
}

}  // namespace
