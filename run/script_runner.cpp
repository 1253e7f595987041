#include "run/script_runner.h"

#include "run/apply_command.h"
#include "sim/scene_counts.h"
#include "sim/time_step.h"
#include "sim/world.h"

RunSummary runScript(const std::vector<ScriptCommand>& commands, const SampleHook& sample, std::uint64_t every,
                     std::uint64_t stopAt) {
    RunSummary summary;
    if (sample) sample(0);
    for (const ScriptCommand& command : commands) {
        if (command.kind != CommandKind::Step) {
            applyCommand(command);
            continue;
        }
        // A stop within this command's steps ends the run there: the commands after it come later.
        const bool stopsHere = command.steps > stopAt - summary.steps;
        const std::uint64_t steps = stopsHere ? stopAt - summary.steps : command.steps;
        for (std::uint64_t i = 0; i < steps; ++i) {
            onIdle();
            ++summary.steps;
            // Only until the first: a blown-up scene stays so until a restart.
            if (summary.firstNonFiniteStep == 0 && !movingPointsFinite()) {
                summary.firstNonFiniteStep = summary.steps;
            }
            if (sample && summary.steps % every == 0) sample(summary.steps);
        }
        if (stopsHere) break;
    }
    summary.simTime = simTime;
    summary.movingPoints = countMovingPoints();
    summary.activeSprings = countActiveSprings();
    return summary;
}
