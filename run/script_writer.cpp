#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "run/script.h"
#include "sim/settings.h"

namespace {

// Appends each of `parts` to `line`, a space before each.
template <class... Parts>
void words(std::string& line, const Parts&... parts) {
    ((line += ' ', line += parts), ...);
}

std::string number(float v) { return floatText(v); }
std::string number(int v) { return std::to_string(v); }

const char* onOff(bool on) { return on ? "on" : "off"; }

// Every argument written out, defaults too: a line means the same wherever it stands.
void sceneArguments(std::string& line, CommandKind kind, const SceneArguments& a) {
    switch (kind) {
        case CommandKind::Cube:
            words(line, number(a.at[0]), number(a.at[1]), number(a.at[2]), "edge", number(a.edge), "stiffness",
                  number(a.stiffness), "mass", number(a.mass), "damping", number(a.damping), "tear",
                  number(a.tearForce), "elements", onOff(a.elements));
            break;
        case CommandKind::Attach: words(line, number(a.count), "tear", number(a.tearForce), "elements", onOff(a.elements)); break;
        case CommandKind::Pin:
            words(line, "cube", number(a.cube));
            for (int k = 0; k < 8; ++k) {
                if ((a.corners >> k & 1u) != 0) words(line, number(k));
            }
            break;
        case CommandKind::Anchor:
            words(line, number(a.at[0]), number(a.at[1]), number(a.at[2]), "cube", number(a.cube), "corner",
                  number(a.corner), "stiffness", number(a.stiffness), "tear", number(a.tearForce));
            // No rest length: the start distance.
            if (a.restLength > 0.0f) words(line, "rest", number(a.restLength));
            break;
        case CommandKind::Lead: words(line, number(a.cube)); break;
        case CommandKind::Move: words(line, number(a.at[0]), number(a.at[1]), number(a.at[2])); break;
        case CommandKind::Set: {
            const SettingInfo& info = kSettings[a.setting];
            words(line, info.name, info.isSwitch ? onOff(switchedOn(a.value)) : number(a.value));
            break;
        }
        default: break;
    }
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

std::string floatText(float v) {
    char text[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(text, nullptr) == v) break;
    }
    return text;
}

const char* commandName(CommandKind kind) {
    switch (kind) {
        case CommandKind::Key: return "key";
        case CommandKind::Press: return "press";
        case CommandKind::Release: return "release";
        case CommandKind::Step: return "step";
        case CommandKind::Scene: return "scene";
        case CommandKind::Cube: return "cube";
        case CommandKind::Attach: return "attach";
        case CommandKind::Pin: return "pin";
        case CommandKind::Anchor: return "anchor";
        case CommandKind::Lead: return "lead";
        case CommandKind::Set: return "set";
        case CommandKind::Take: return "take";
        case CommandKind::Move: return "move";
        case CommandKind::LetGo: return "let go";
    }
    return "";
}

std::string writeCommand(const ScriptCommand& command) {
    std::string line = commandName(command.kind);
    switch (command.kind) {
        case CommandKind::Key: words(line, std::string(1, static_cast<char>(command.key))); break;
        case CommandKind::Press:
        case CommandKind::Release:
            words(line, scriptButtonName(command.button), number(command.x), number(command.y));
            break;
        case CommandKind::Step: words(line, std::to_string(command.steps)); break;
        case CommandKind::Scene: break;
        case CommandKind::Take: words(line, number(command.x)); break;
        case CommandKind::LetGo: break;
        default:
            if (command.scene != nullptr) sceneArguments(line, command.kind, *command.scene);
            break;
    }
    line += '\n';
    return line;
}

bool sameCommand(const ScriptCommand& x, const ScriptCommand& y) {
    if (x.kind != y.kind || x.key != y.key || x.button != y.button || x.y != y.y || x.endsBuild != y.endsBuild ||
        (x.scene == nullptr) != (y.scene == nullptr)) {
        return false;
    }
    // A step's count and a press's or release's x share their place.
    if (x.kind == CommandKind::Step ? x.steps != y.steps : x.x != y.x) return false;
    if (x.scene == nullptr) return true;
    const SceneArguments& a = *x.scene;
    const SceneArguments& b = *y.scene;
    return a.count == b.count && a.cube == b.cube && a.corner == b.corner && a.corners == b.corners &&
           sameBits(a.at[0], b.at[0]) && sameBits(a.at[1], b.at[1]) && sameBits(a.at[2], b.at[2]) &&
           sameBits(a.edge, b.edge) && sameBits(a.stiffness, b.stiffness) && sameBits(a.mass, b.mass) &&
           sameBits(a.damping, b.damping) && sameBits(a.tearForce, b.tearForce) &&
           sameBits(a.restLength, b.restLength) && a.elements == b.elements && a.setting == b.setting &&
           sameBits(a.value, b.value);
}

std::string runEndLine(std::uint64_t hash, std::uint64_t steps) {
    char line[96];
    std::snprintf(line, sizeof line, "%.*s%016" PRIx64 " after %" PRIu64 " steps\n",
                  static_cast<int>(kRunEndComment.size()), kRunEndComment.data(), hash, steps);
    return line;
}
