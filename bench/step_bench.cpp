// Cost of the simulation step: every prepared scene (default flags, and 's' with plastic
// yield or with tearing), rows of 1 to 10000 cubes, and with contact between cubes on and off
// rows of 1000 and 10000 cubes (no two bodies touch) and the slab of 1024 cubes
// (examples/scenes/slab.sim, which lands and touches); and the cost of building the rows,
// directly and from script commands. Counters: ns per step and ns per
// active spring per step. The step is the idle callback's work without the redisplay request.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cube_rows.h"
#include "interaction/keyboard.h"
#include "model/scene_storage.h"
#include "model/spring_list.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_file.h"
#include "run/script_runner.h"
#include "sim/settings.h"
#include "sim/step_order.h"
#include "sim/scene_counts.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

// A prepared scene is stepped from its start for this many steps (2 s of simulated time: the
// fall, the landing and the settling), then built anew, so every measurement covers the same
// history.
constexpr int kStepsPerRun = 4000;

void report(benchmark::State& state, double springSteps) {
    const double steps = static_cast<double>(state.iterations());
    // An inverted rate is seconds per unit; the console prints it with its prefix (5.2ns).
    state.counters["per_step"] = benchmark::Counter(steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["per_spring_step"] =
        benchmark::Counter(springSteps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Starts the scene with the given flag keys ("u", "z", or none) pressed before the scene key.
void startScene(char scene, const char* flags) {
    resetWorldState();
    for (const char* f = flags; *f != '\0'; ++f) onKey(static_cast<unsigned char>(*f), 0, 0);
    onKey(static_cast<unsigned char>(scene), 0, 0);
}

// The mean number of active springs over the steps of one run. Steps are deterministic, so
// every run of the scene tears the same springs at the same steps.
double meanActiveSprings(char scene, const char* flags) {
    startScene(scene, flags);
    double sum = 0.0;
    for (int i = 0; i < kStepsPerRun; ++i) {
        sum += countActiveSprings();
        stepWorld();
    }
    return sum / kStepsPerRun;
}

void stepScene(benchmark::State& state, char scene, const char* flags) {
    const double springs = meanActiveSprings(scene, flags);
    startScene(scene, flags);
    int stepsInRun = 0;
    for (auto _ : state) {
        if (stepsInRun == kStepsPerRun) {
            state.PauseTiming();
            onKey(static_cast<unsigned char>(scene), 0, 0);
            stepsInRun = 0;
            state.ResumeTiming();
        }
        stepWorld();
        ++stepsInRun;
    }
    report(state, springs * static_cast<double>(state.iterations()));
    state.counters["springs"] = springs;
    resetWorldState();
}

void stepRows(benchmark::State& state) {
    resetWorldState();
    gravityOn = false;
    buildCubeRows(static_cast<int>(state.range(0)));
    const int springs = countActiveSprings();
    // The first step after a build reads the step's order of the scene: that is part of
    // building (BM_BuildRows), as the yardstick's warm-up steps are not timed either.
    stepWorld();
    for (auto _ : state) stepWorld();
    report(state, static_cast<double>(springs) * static_cast<double>(state.iterations()));
    state.counters["springs"] = springs;
    resetWorldState();
}

// Rows of cubes with contact between cubes on (the rows stand 0.5 apart: nothing touches, so
// this is what finding the pairs costs).
void stepRowsContact(benchmark::State& state) {
    resetWorldState();
    settings.contact = 1.0f;
    gravityOn = false;
    buildCubeRows(static_cast<int>(state.range(0)));
    const int springs = countActiveSprings();
    stepWorld();
    for (auto _ : state) stepWorld();
    report(state, static_cast<double>(springs) * static_cast<double>(state.iterations()));
    state.counters["springs"] = springs;
    resetWorldState();
}

// The slab's script (examples/scenes/slab.sim), read once; with contact on, `set contact on` before it.
std::vector<ScriptCommand> slabCommands(bool contact) {
    std::string text, error;
    if (!readScriptFile(TREMBLO_EXAMPLES "/scenes/slab.sim", text, error)) return {};
    if (contact) text = "set contact on\n" + text;
    std::vector<ScriptCommand> commands;
    ScriptError bad{0, ""};
    return parseScript(text, commands, bad) ? commands : std::vector<ScriptCommand>{};
}

// Builds the slab from the start state, all but its steps, and reads its step's order.
void buildSlab(const std::vector<ScriptCommand>& commands) {
    resetWorldState();
    startWorld();
    for (const ScriptCommand& c : commands) {
        if (c.kind != CommandKind::Step) applyCommand(c);
    }
    sceneOrder();
}

// The slab from its start for kStepsPerRun steps, a run to a repetition (Iterations): the fall,
// the landing in a ripple across the floor and the rows pressing on each other, as the
// script has them.
void stepSlab(benchmark::State& state, bool contact) {
    const std::vector<ScriptCommand> commands = slabCommands(contact);
    if (commands.empty()) {
        state.SkipWithError("examples/scenes/slab.sim not read");
        return;
    }
    buildSlab(commands);
    const int springs = countActiveSprings();
    for (auto _ : state) stepWorld();
    report(state, static_cast<double>(springs) * static_cast<double>(state.iterations()));
    state.counters["springs"] = springs;
    resetWorldState();
}

void buildRows(benchmark::State& state) {
    for (auto _ : state) {
        buildCubeRows(static_cast<int>(state.range(0)));
        sceneOrder();
    }
    state.counters["springs"] = countActiveSprings();
}

// The rows of buildCubeRows written as script commands (rows of ten cubes, every cube with its
// elements), read and built as a front end does; the rows stand in a grid, 100 to a layer,
// as positions stay within 1000 units.
std::string cubeRowsScript(int cubes) {
    std::string text = "scene\n";
    for (int row = 0; cubes > 0; ++row, cubes -= 10) {
        text += "cube " + std::to_string(-1.5 * (row % 100)) + " 0 " + std::to_string(2.0 + 1.5 * (row / 100)) + "\n";
        if (cubes > 1) text += "attach " + std::to_string(std::min(cubes, 10) - 1) + "\n";
    }
    return text;
}

void buildRowsFromCommands(benchmark::State& state) {
    const std::string text = cubeRowsScript(static_cast<int>(state.range(0)));
    std::vector<ScriptCommand> commands;
    ScriptError error{0, ""};
    for (auto _ : state) {
        if (!parseScript(text, commands, error)) state.SkipWithError(error.message.c_str());
        for (const ScriptCommand& command : commands) applyCommand(command);
    }
    state.counters["springs"] = countActiveSprings();
}

// The machine is shared: other work only ever slows a repetition down, so the fastest of
// several repetitions is the best estimate of the step's own cost.
double fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void registerAll() {
    for (char scene : std::string("1234567sqp")) {
        benchmark::RegisterBenchmark((std::string("BM_StepScene/") + scene).c_str(),
                                     [scene](benchmark::State& s) { stepScene(s, scene, ""); })
            ->UseRealTime()
            ->ComputeStatistics("min", fastest);
    }
    benchmark::RegisterBenchmark("BM_StepScene/s_plastic", [](benchmark::State& s) { stepScene(s, 's', "u"); })
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    benchmark::RegisterBenchmark("BM_StepScene/s_breakable", [](benchmark::State& s) { stepScene(s, 's', "z"); })
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    benchmark::RegisterBenchmark("BM_StepRows", stepRows)
        ->RangeMultiplier(10)
        ->Range(1, 10000)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    // Contact on beside contact off (BM_StepRows/1000, /10000): targets at most 1.25 times.
    benchmark::RegisterBenchmark("BM_StepRowsContact", stepRowsContact)
        ->Arg(1000)
        ->Arg(10000)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    // The slab, contact off and on: target at most twice.
    benchmark::RegisterBenchmark("BM_StepSlab", [](benchmark::State& s) { stepSlab(s, false); })
        ->Iterations(kStepsPerRun)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    benchmark::RegisterBenchmark("BM_StepSlabContact", [](benchmark::State& s) { stepSlab(s, true); })
        ->Iterations(kStepsPerRun)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    benchmark::RegisterBenchmark("BM_BuildRows", buildRows)
        ->RangeMultiplier(10)
        ->Range(1, 10000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
    // Target: at most twice BM_BuildRows for the same number of cubes.
    benchmark::RegisterBenchmark("BM_BuildRowsFromCommands", buildRowsFromCommands)
        ->RangeMultiplier(10)
        ->Range(1, 10000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->ComputeStatistics("min", fastest);
}

}  // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
