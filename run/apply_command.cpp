#include "run/apply_command.h"

#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "interaction/scene_commands.h"
#include "sim/grab.h"
#include "sim/settings.h"

static_assert(kScriptLeftButton == kLeftButton && kScriptMiddleButton == kMiddleButton &&
                  kScriptRightButton == kRightButton,
              "script button codes are the mouse callback's");

void startWorld() { onKey('1', 0, 0); }

void applyCommand(const ScriptCommand& command) {
    // The reader gives every scene and setting command its arguments; one made without them
    // does nothing.
    static const SceneArguments kNone;
    const bool plain = command.kind == CommandKind::Key || command.kind == CommandKind::Press ||
                       command.kind == CommandKind::Release || command.kind == CommandKind::Step ||
                       command.kind == CommandKind::Scene || command.kind == CommandKind::Take ||
                       command.kind == CommandKind::LetGo;
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
        case CommandKind::Take: takePoint(command.x); break;
        case CommandKind::Move: moveGrabTarget(Vec3{a.at[0], a.at[1], a.at[2]}); break;
        case CommandKind::LetGo: letGo(); break;
    }
    if (command.endsBuild) finishBuilding();
}
