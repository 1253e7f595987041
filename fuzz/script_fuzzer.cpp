// libFuzzer target over the headless runner's script reader. Whatever the bytes, reading must
// not crash or hang (the sanitizers and libFuzzer's timeout watch that), and its answer must
// be consistent:
// - a rejection names a line of the script, with a one-line printable message; every line
//   before it reads cleanly on its own, and the named line alone is rejected as well, unless
//   it is a scene command (whose faults may lie in the scene built so far: a cube number, a
//   count);
// - an acceptance gives commands within their limits, at most one per line, each on a line
//   that starts with its command's name, and writing them out again reads back the same bits.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "run/script.h"
#include "sim/settings.h"

namespace {

[[noreturn]] void broken(const char* what, int line) {
    std::fprintf(stderr, "script reader: %s (line %d)\n", what, line);
    std::abort();
}

// Offsets where each line starts; a text ending in a line feed has no empty line after it.
std::vector<std::size_t> lineStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t pos = 0; pos < text.size();) {
        starts.push_back(pos);
        const std::size_t end = text.find('\n', pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
    }
    return starts;
}

std::string_view lineText(std::string_view text, const std::vector<std::size_t>& starts, int line) {
    const std::size_t start = starts[static_cast<std::size_t>(line - 1)];
    const std::size_t end = static_cast<std::size_t>(line) < starts.size() ? starts[static_cast<std::size_t>(line)]
                                                                          : text.size();
    return text.substr(start, end - start);
}

bool startsWithWord(std::string_view line, std::string_view word) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    line.remove_prefix(i);
    if (line.substr(0, word.size()) != word) return false;
    // A command without arguments ("scene") may end its line or meet a comment at once.
    if (line.size() == word.size()) return true;
    const char after = line[word.size()];
    return after == ' ' || after == '\t' || after == '\r' || after == '\n' || after == '#';
}

void checkRejection(std::string_view text, const std::vector<std::size_t>& starts, const ScriptError& error) {
    const int lines = static_cast<int>(starts.size());
    if (error.line < 1 || error.line > lines) broken("rejection names no line of the script", error.line);
    if (error.message.empty()) broken("rejection without a message", error.line);
    for (const char c : error.message) {
        if (c < 0x20 || c > 0x7e) broken("rejection message is not one printable line", error.line);
    }

    std::vector<ScriptCommand> commands;
    ScriptError again;
    const std::string_view before = text.substr(0, starts[static_cast<std::size_t>(error.line - 1)]);
    if (!parseScript(before, commands, again)) broken("a line before the rejected one is bad on its own", again.line);
    const std::string_view line = lineText(text, starts, error.line);
    bool inScene = false;
    for (const char* word : {"cube", "attach", "pin", "anchor", "lead", "take"}) inScene = inScene || startsWithWord(line, word);
    // The line alone, as the second line: a byte-order mark is skipped only before the first.
    const std::string alone = error.line == 1 ? std::string(line) : "\n" + std::string(line);
    if (!inScene && (parseScript(alone, commands, again) || again.line != (error.line == 1 ? 1 : 2))) {
        broken("the rejected line alone is accepted", error.line);
    }
}

// The scene and setting commands' values lie within the reader's limits.
void checkLimits(const ScriptCommand& command) {
    if (command.kind != CommandKind::Scene && command.scene == nullptr) broken("a command without its arguments", command.line);
    if (command.scene == nullptr) return;
    const SceneArguments& c = *command.scene;
    const int line = command.line;
    auto within = [](float v) { return std::isfinite(v) && std::fabs(v) <= kMaxPosition; };
    auto positive = [](float v) { return std::isfinite(v) && v > 0.0f; };
    switch (command.kind) {
        case CommandKind::Cube:
            if (!within(c.at[0]) || !within(c.at[1]) || !within(c.at[2]) || !positive(c.edge) || !positive(c.stiffness) ||
                !positive(c.mass) || !(c.damping >= 0.0f) || !std::isfinite(c.damping) || !positive(c.tearForce)) {
                broken("cube values out of their limits", line);
            }
            break;
        case CommandKind::Attach:
            if (c.count < 1 || c.count > kMaxSceneCubes || !positive(c.tearForce)) broken("attach out of limits", line);
            break;
        case CommandKind::Pin:
            if (c.cube < 1 || c.corners == 0 || c.corners > 0xffu) broken("pin out of limits", line);
            break;
        case CommandKind::Anchor:
            if (!within(c.at[0]) || !within(c.at[1]) || !within(c.at[2]) || c.cube < 1 || c.corner < 0 || c.corner > 7 ||
                !positive(c.stiffness) || !positive(c.tearForce) || !(c.restLength >= 0.0f) || !std::isfinite(c.restLength)) {
                broken("anchor values out of their limits", line);
            }
            break;
        case CommandKind::Lead:
            if (c.cube < 1) broken("lead out of limits", line);
            break;
        case CommandKind::Move:
            if (!within(c.at[0]) || !within(c.at[1]) || !within(c.at[2])) broken("move target out of limits", line);
            break;
        case CommandKind::Set:
            if (c.setting < 0 || c.setting >= kSettingCount || !(c.value >= kSettings[c.setting].low) ||
                !(c.value <= kSettings[c.setting].high)) {
                broken("setting out of its range", line);
            }
            break;
        default: break;
    }
}

void checkAcceptance(std::string_view text, const std::vector<std::size_t>& starts,
                     const std::vector<ScriptCommand>& commands) {
    const int lines = static_cast<int>(starts.size());
    int previousLine = 0;
    std::string rewritten;
    for (const ScriptCommand& c : commands) {
        if (c.line <= previousLine || c.line > lines) broken("command lines out of order or past the end", c.line);
        previousLine = c.line;
        std::string_view line = lineText(text, starts, c.line);
        if (c.line == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
        // `let go` is two words: its first names it.
        const std::string_view name = c.kind == CommandKind::LetGo ? "let" : commandName(c.kind);
        if (!startsWithWord(line, name)) broken("command read from a line that is not it", c.line);

        switch (c.kind) {
            case CommandKind::Key:
                if (c.key == ' ' || c.key == '\t' || c.key == '\n' || c.key == '\r' || c.key == '#') {
                    broken("key is blank, a line end or the comment sign", c.line);
                }
                break;
            case CommandKind::Press:
            case CommandKind::Release:
                if (scriptButtonName(c.button) == nullptr) broken("button code out of range", c.line);
                if (c.x < -kMaxCoordinate || c.x > kMaxCoordinate || c.y < -kMaxCoordinate || c.y > kMaxCoordinate) {
                    broken("coordinate out of range", c.line);
                }
                break;
            case CommandKind::Step:
                if (c.steps > kMaxStepsPerCommand) broken("step count out of range", c.line);
                break;
            case CommandKind::Take:
                if (c.x < 0) broken("take names a negative point", c.line);
                break;
            case CommandKind::LetGo: break;
            default: checkLimits(c); break;
        }
        rewritten += writeCommand(c);
    }

    std::vector<ScriptCommand> reread;
    ScriptError error;
    if (!parseScript(rewritten, reread, error)) broken("the accepted commands, written out, are rejected", error.line);
    if (reread.size() != commands.size()) broken("the accepted commands, written out, read back differently", 0);
    for (std::size_t i = 0; i < reread.size(); ++i) {
        const ScriptCommand& a = commands[i];
        const ScriptCommand& b = reread[i];
        if (b.line != static_cast<int>(i) + 1 || !sameCommand(a, b)) {
            broken("the accepted commands, written out, read back differently", a.line);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::size_t> starts = lineStarts(text);
    std::vector<ScriptCommand> commands;
    ScriptError error{0, {}};
    if (parseScript(text, commands, error)) {
        checkAcceptance(text, starts, commands);
    } else {
        checkRejection(text, starts, error);
    }
    return 0;
}
