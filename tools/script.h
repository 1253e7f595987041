#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The script language of the headless runner, one command per line:
//   key C                 the keyboard command for the single byte C
//   press BUTTON X Y      a mouse button goes down at window pixel (X, Y), y downward
//   release BUTTON X Y    ... and comes up
//   step N                N simulation steps
// BUTTON is left, middle or right. Tokens are separated by spaces or tabs; '#' starts a
// comment that runs to the end of the line (so '#' itself cannot be a key); blank lines are
// ignored. Lines end in LF; one CR just before the LF (or at the end of the text) is dropped,
// so CRLF files read the same, but a CR anywhere else is an error.
//
// This reader depends on nothing but the standard library, so it can be tested and fuzzed alone.

enum class CommandKind { Key, Press, Release, Step };

struct ScriptCommand {
    CommandKind kind;
    int line;            // 1-based line of the script the command came from
    unsigned char key;   // Key: the character code handed to the keyboard command
    int button;          // Press/Release: the toolkit's code, 0 left, 1 middle, 2 right
    int x;               // Press/Release: window pixels, within +-kMaxCoordinate
    int y;
    std::uint64_t steps;  // Step: at most kMaxStepsPerCommand
};

struct ScriptError {
    int line;             // 1-based
    std::string message;  // one line, printable ASCII: bytes of the script are shown escaped
};

// Button codes of ScriptCommand::button (the same as the mouse callback's).
constexpr int kScriptLeftButton = 0;
constexpr int kScriptMiddleButton = 1;
constexpr int kScriptRightButton = 2;

// Limits; values beyond them are rejected as "out of range". Coordinates far outside any
// window are still allowed (a drag may end outside it), and no sum of them overflows an int64.
constexpr int kMaxCoordinate = 1'000'000;
// One step command runs at most 10^9 steps (about 5.8 days of simulated time).
constexpr std::uint64_t kMaxStepsPerCommand = 1'000'000'000;
// Line numbers stay within an int.
constexpr int kMaxScriptLines = 2'147'483'647;

// Reads a whole script; on the first bad line returns false with error filled (line numbers
// from 1). Commands are appended to `commands` in script order; on failure its contents are
// unspecified.
bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error);
