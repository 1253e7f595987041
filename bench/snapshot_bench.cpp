// What a snapshot of the world costs, saved and restored: the twenty small cubes ('s'), the
// slab of 1,024 cubes as it lands, and rows of 10,000 cubes. The counter `bytes` is one
// snapshot's size.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "cube_rows.h"
#include "interaction/keyboard.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_file.h"
#include "run/script_runner.h"
#include "sim/snapshot.h"
#include "sim/time_step.h"
#include "sim/world.h"

namespace {

enum class Scene { Small, Slab, Rows };

bool build(Scene scene) {
    resetWorldState();
    startWorld();
    if (scene == Scene::Small) {
        onKey('s', 0, 0);
    } else if (scene == Scene::Rows) {
        buildCubeRows(10000);
    } else {
        std::string text, error;
        std::vector<ScriptCommand> commands;
        ScriptError bad{0, ""};
        if (!readScriptFile(TREMBLO_EXAMPLES "/scenes/slab.sim", text, error) || !parseScript(text, commands, bad)) {
            return false;
        }
        runScript(commands);
    }
    for (int i = 0; i < 10; ++i) stepWorld();
    return true;
}

void snapshotCost(benchmark::State& state, Scene scene, bool restore) {
    if (!build(scene)) {
        state.SkipWithError("examples/scenes/slab.sim not read");
        return;
    }
    WorldSnapshot snapshot;
    saveWorld(snapshot);
    for (auto _ : state) {
        if (restore) {
            restoreWorld(snapshot);
        } else {
            saveWorld(snapshot);
        }
    }
    state.counters["bytes"] = static_cast<double>(snapshot.size());
    resetWorldState();
}

void registerAll() {
    const struct {
        const char* name;
        Scene scene;
    } scenes[] = {{"s", Scene::Small}, {"slab", Scene::Slab}, {"rows10000", Scene::Rows}};
    for (const auto& s : scenes) {
        for (const bool restore : {false, true}) {
            const std::string name = std::string(restore ? "BM_SnapshotRestore/" : "BM_SnapshotSave/") + s.name;
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) { snapshotCost(st, s.scene, restore); })
                ->Unit(benchmark::kMicrosecond)
                ->UseRealTime();
        }
    }
}

const bool registered = (registerAll(), true);

}  // namespace
