#include "tools/script_runner.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

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
    // A float is not finite when its exponent bits are all ones. The test runs on the bits, four
    // values at a time, so that it raises no floating-point exception and costs little beside
    // the step, after which it runs: the position and the velocity's x, then the velocity.
    using Words = std::int32_t __attribute__((vector_size(16)));
    static_assert(offsetof(MassPoint, velocity) == offsetof(MassPoint, position) + sizeof(Vec3) &&
                  offsetof(MassPoint, velocity) + sizeof(Words) <= sizeof(MassPoint));
    constexpr std::int32_t kExponent = 0x7f800000;
    const Words exponent{kExponent, kExponent, kExponent, kExponent};
    const Words velocityOnly{kExponent, kExponent, kExponent, 0};
    Words notFinite{};
    for (const MassPoint* p = chainHead->next; p != nullptr; p = p->next) {
        Words position, velocity;
        std::memcpy(&position, &p->position, sizeof position);
        std::memcpy(&velocity, &p->velocity, sizeof velocity);
        notFinite |= (position & exponent) == exponent;
        notFinite |= (velocity & velocityOnly) == exponent;
    }
    return (notFinite[0] | notFinite[1] | notFinite[2] | notFinite[3]) == 0;
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
    // The reader gives every scene and setting command its arguments; one made without them
    // does nothing.
    static const SceneArguments kNone;
    const bool plain = command.kind == CommandKind::Key || command.kind == CommandKind::Press ||
                       command.kind == CommandKind::Release || command.kind == CommandKind::Step ||
                       command.kind == CommandKind::Scene;
    if (!plain && command.scene == nullptr) return;
    const SceneArguments& a = command.scene != nullptr ? *command.scene : kNone;
    switch (command.kind) {
        case CommandKind::Key: onKey(command.key, 0, 0); break;
        case CommandKind::Press: onMouse(command.button, kButtonDown, command.x, command.y); break;
        case CommandKind::Release: onMouse(command.button, kButtonUp, command.x, command.y); break;
        case CommandKind::Step: break;
        case CommandKind::Scene: startEmptyScene(); break;
        case CommandKind::Cube:
            buildFreeCube(FreeCubeArgs{Vec3{a.at[0], a.at[1], a.at[2]}, a.edge, a.stiffness, a.mass, a.damping,
                                       a.tearForce, a.elements});
            break;
        case CommandKind::Attach: attachCubes(a.count, a.tearForce, a.elements); break;
        case CommandKind::Pin: pinCorners(a.cube, a.corners); break;
        case CommandKind::Anchor:
            anchorCorner(Vec3{a.at[0], a.at[1], a.at[2]}, a.cube, a.corner, a.stiffness, a.tearForce,
                         a.restLength);
            break;
        case CommandKind::Lead: chooseLeadCube(a.cube); break;
        case CommandKind::Set: changeSetting(a.setting, a.value); break;
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
