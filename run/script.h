#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The script language of the headless runner, one command per line:
//   key C                 the keyboard command for the single byte C
//   press BUTTON X Y      a mouse button goes down at window pixel (X, Y), y downward
//   release BUTTON X Y    ... and comes up
//   step N                N simulation steps
//   scene                 an empty scene, to be built by the commands below
//   cube X Y Z [OPTIONS]  a free cube with corner 0 at (X, Y, Z)
//   attach [N] [OPTIONS]  N cubes (default 1), each against the far face of the cube made last
//   pin [cube N] CORNER.. corners (0-7, or a face: near, far, bottom, top) leave the moving chain
//   anchor X Y Z [cube N] corner C [OPTIONS]   a fixed point joined to a corner by a spring
//   lead N                the camera follows cube N, and gravity takes its corner 0's mass
//   set NAME VALUE        a physical setting (sim/settings.h)
//   take N                the grab takes moving point N (chain order, from 0, as the trace numbers them)
//   move X Y Z            the grab's target moves to (X, Y, Z), scene units
//   let go                the grab lets go
// Cubes are numbered from 1 in the order the scene made them; `cube N` defaults to the last.
// BUTTON is left, middle or right. Tokens are separated by spaces or tabs; '#' starts a
// comment that runs to the end of the line (so '#' itself cannot be a key); blank lines are
// ignored. Lines end in LF; one CR just before the LF (or at the end of the text) is dropped,
// so CRLF files read the same, but a CR anywhere else is an error.
//
// The reader and the writer depend on nothing but the standard library and the settings' table (a header
// alone, sim/settings.h), so they can be tested and fuzzed alone.

enum class CommandKind : std::uint8_t {
    Key, Press, Release, Step, Scene, Cube, Attach, Pin, Anchor, Lead, Set, Take, Move, LetGo
};

// Whether a command builds into the scene (and so changes what the step walks).
constexpr bool buildsScene(CommandKind kind) {
    return kind == CommandKind::Scene || kind == CommandKind::Cube || kind == CommandKind::Attach ||
           kind == CommandKind::Pin || kind == CommandKind::Anchor;
}

struct SceneArguments {
    int count = 0;           // Attach: cubes to attach
    int cube = 0;            // Pin, Anchor, Lead: a cube of the scene, from 1
    int corner = 0;          // Anchor: 0..7
    unsigned corners = 0;    // Pin: bit k for corner k
    float at[3] = {};        // Cube: corner 0; Anchor: the fixed point; Move: the target (scene units)
    float edge = 0.0f;       // Cube
    float stiffness = 0.0f;  // Cube, Anchor: force per unit of length change
    float mass = 0.0f;       // Cube: of each corner
    float damping = 0.0f;    // Cube: of each corner
    float tearForce = 0.0f;  // Cube, Attach, Anchor
    float restLength = 0.0f; // Anchor: 0 for the start distance
    bool elements = false;   // Cube, Attach: with volume elements
    int setting = 0;         // Set: index into kSettings
    float value = 0.0f;      // Set
};

// A scene or setting command's arguments, held apart from the command (one pointer wide), so
// that the many plain commands of a long run stay small. Copied with its command.
class HeldArguments {
public:
    HeldArguments() = default;
    HeldArguments(std::nullptr_t) {}
    explicit HeldArguments(const SceneArguments& arguments) : held_(std::make_unique<const SceneArguments>(arguments)) {}
    HeldArguments(const HeldArguments& other) : held_(other.held_ ? std::make_unique<const SceneArguments>(*other.held_) : nullptr) {}
    HeldArguments(HeldArguments&&) noexcept = default;
    HeldArguments& operator=(const HeldArguments& other) {
        if (this != &other) *this = HeldArguments(other);
        return *this;
    }
    HeldArguments& operator=(HeldArguments&&) noexcept = default;

    const SceneArguments& operator*() const { return *held_; }
    const SceneArguments* operator->() const { return held_.get(); }
    bool operator==(std::nullptr_t) const { return held_ == nullptr; }

private:
    std::unique_ptr<const SceneArguments> held_;
};

// One command of a script: 24 bytes, so that a script of ten million lines is held in about
// a quarter of a gigabyte.
struct ScriptCommand {
    ScriptCommand() = default;
    // A plain command. `x` is kept for a press or release, `steps` for a step (they share
    // their place).
    ScriptCommand(CommandKind commandKind, int lineNumber, unsigned char keyCode, int buttonCode, int px, int py,
                  std::uint64_t stepCount)
        : kind(commandKind), key(keyCode), button(static_cast<std::int8_t>(buttonCode)), line(lineNumber), y(py) {
        if (commandKind == CommandKind::Step) {
            steps = static_cast<std::uint32_t>(stepCount);
        } else {
            x = px;
        }
    }

    CommandKind kind = CommandKind::Key;
    unsigned char key = 0;    // Key: the character code handed to the keyboard command
    std::int8_t button = 0;   // Press/Release: the toolkit's code, 0 left, 1 middle, 2 right
    // A scene-building command after which comes a command that is not one: the step's order
    // is read there, once for the whole build.
    bool endsBuild = false;
    int line = 0;             // 1-based line of the script the command came from
    union {
        int x = 0;            // Press/Release: window pixels, within +-kMaxCoordinate; Take: the point
        std::uint32_t steps;  // Step: at most kMaxStepsPerCommand
    };
    int y = 0;
    // Scene and setting commands: their arguments, every default filled in.
    HeldArguments scene;
};
static_assert(sizeof(ScriptCommand) <= 24, "a long script's commands stay small");

struct ScriptError {
    int line;             // 1-based
    std::string message;  // one line, printable ASCII: bytes of the script are shown escaped
};

// Button codes of ScriptCommand::button (the same as the mouse callback's).
constexpr int kScriptLeftButton = 0;
constexpr int kScriptMiddleButton = 1;
constexpr int kScriptRightButton = 2;
// The script's name of a button code ("left", "middle", "right"), or null for any other code.
const char* scriptButtonName(int button);

// Limits; values beyond them are rejected as "out of range". Coordinates far outside any
// window are still allowed (a drag may end outside it), and no sum of them overflows an int64.
constexpr int kMaxCoordinate = 1'000'000;
// One step command runs at most 10^9 steps (about 5.8 days of simulated time).
constexpr std::uint64_t kMaxStepsPerCommand = 1'000'000'000;
static_assert(kMaxStepsPerCommand <= UINT32_MAX, "a step count fits ScriptCommand::steps");
// A scene holds at most this many cubes and anchors, and every position lies within
// +-kMaxPosition scene units.
constexpr int kMaxSceneCubes = 20'000;
constexpr int kMaxSceneAnchors = 100'000;
constexpr float kMaxPosition = 1000.0f;
// Line numbers stay within an int.
constexpr int kMaxScriptLines = 2'147'483'647;

// The line (with its line feed) that parseScript reads back to the same command, its line
// number aside. Scene commands are written with every argument, defaults too.
std::string writeCommand(const ScriptCommand& command);
// The script's name of a command kind ("key", "press", ...).
const char* commandName(CommandKind kind);
// The shortest decimal that the reader reads back as the same float ("9.81", not "9.81000042").
std::string floatText(float v);
// Whether two commands are the same, bit for bit in every value, their line numbers aside.
bool sameCommand(const ScriptCommand& a, const ScriptCommand& b);

// The comment that ends a recorded run: "# end: state hash HHHHHHHHHHHHHHHH after N steps".
constexpr std::string_view kRunEndComment = "# end: state hash ";
std::string runEndLine(std::uint64_t hash, std::uint64_t steps);

// Reads a whole script; on the first bad line returns false with error filled (line numbers
// from 1). Commands are appended to `commands` in script order; on failure its contents are
// unspecified.
bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error);
