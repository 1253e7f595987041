#include "tools/script_runner.h"

#include <cmath>

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "interaction/scene_commands.h"
#include "model/mass_point.h"
#include "sim/settings.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "tools/trace_writer.h"

static_assert(kScriptLeftButton == kLeftButton && kScriptMiddleButton == kMiddleButton &&
                  kScriptRightButton == kRightButton,
              "script button codes are the mouse callback's");

void startWorld() { onKey('1', 0, 0); }

bool movingPointsFinite() {
    auto finite = [](const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); };
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        if (!finite(p->position) || !finite(p->velocity)) return false;
    }
    return true;
}

int countMovingPoints() {
    int count = 0;
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) ++count;
    return count;
}

int countActiveSprings() {
    int count = 0;
    for (const SpringListNode* cell = springList; cell->next != nullptr; cell = cell->next) ++count;
    return count;
}

void applyCommand(const ScriptCommand& command) {
    switch (command.kind) {
        case CommandKind::Key: onKey(command.key, 0, 0); break;
        case CommandKind::Press: onMouse(command.button, kButtonDown, command.x, command.y); break;
        case CommandKind::Release: onMouse(command.button, kButtonUp, command.x, command.y); break;
        case CommandKind::Step: break;
        case CommandKind::Scene: startEmptyScene(); break;
        case CommandKind::Cube:
            buildFreeCube(FreeCubeSpec{Vec3{command.at[0], command.at[1], command.at[2]}, command.edge,
                                       command.stiffness, command.mass, command.damping, command.tearForce,
                                       command.elements});
            break;
        case CommandKind::Attach: attachCubes(command.count, command.tearForce, command.elements); break;
        case CommandKind::Pin: pinCorners(command.cube, command.corners); break;
        case CommandKind::Anchor:
            anchorCorner(Vec3{command.at[0], command.at[1], command.at[2]}, command.cube, command.corner,
                         command.stiffness, command.tearForce, command.restLength);
            break;
        case CommandKind::Lead: chooseLeadCube(command.cube); break;
        case CommandKind::Set: changeSetting(command.setting, command.value); break;
    }
    if (command.endsBuild) finishBuilding();
}

RunSummary runScript(const std::vector<ScriptCommand>& commands, TraceWriter* trace, std::uint64_t every) {
    RunSummary summary;
    if (trace != nullptr) trace->writeSample(0);
    for (const ScriptCommand& command : commands) {
        if (command.kind != CommandKind::Step) {
            applyCommand(command);
            continue;
        }
        for (std::uint64_t i = 0; i < command.steps; ++i) {
            onIdle();
            ++summary.steps;
            // Only until the first: a blown-up scene stays so until a restart.
            if (summary.firstNonFiniteStep == 0 && !movingPointsFinite()) {
                summary.firstNonFiniteStep = summary.steps;
            }
            if (trace != nullptr && summary.steps % every == 0) trace->writeSample(summary.steps);
        }
    }
    summary.simTime = simTime;
    summary.movingPoints = countMovingPoints();
    summary.activeSprings = countActiveSprings();
    return summary;
}
