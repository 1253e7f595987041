#include "run/script.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "sim/presets.h"
#include "sim/settings.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A command has at most 16 tokens (a cube with every option); one more is only kept to be named
// as the extra one, so a huge line never costs more than a fixed amount of memory.
constexpr int kMaxTokens = 17;

struct Tokens {
    std::array<std::string_view, kMaxTokens> items;
    int count = 0;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

Tokens splitTokens(std::string_view body) {
    Tokens tokens;
    std::size_t i = 0;
    while (i < body.size() && tokens.count < kMaxTokens) {
        while (i < body.size() && isBlank(body[i])) ++i;
        if (i == body.size()) break;
        const std::size_t start = i;
        while (i < body.size() && !isBlank(body[i])) ++i;
        tokens.items[tokens.count++] = body.substr(start, i - start);
    }
    return tokens;
}

// A token as it appears in a message: quoted, bytes outside printable ASCII as \xHH, and long
// tokens cut short, so that a message stays one readable line whatever the script holds.
std::string quoted(std::string_view token) {
    constexpr std::size_t kShownBytes = 32;
    static const char kHex[] = "0123456789abcdef";
    std::string out = "'";
    for (std::size_t i = 0; i < token.size() && i < kShownBytes; ++i) {
        const auto c = static_cast<unsigned char>(token[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
    }
    if (token.size() > kShownBytes) out += "...";
    out += "'";
    return out;
}

enum class NumberStatus { Ok, Malformed, OutOfRange };

// Decimal digits only, at least one. The value saturates just above `limit`, so any number of
// digits is read without overflow.
NumberStatus readDigits(std::string_view digits, std::uint64_t limit, std::uint64_t& value) {
    if (digits.empty()) return NumberStatus::Malformed;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return NumberStatus::Malformed;
        if (value <= limit) value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= limit ? NumberStatus::Ok : NumberStatus::OutOfRange;
}

// An optional sign, then decimal digits; within +-kMaxCoordinate.
NumberStatus readCoordinate(std::string_view token, int& value) {
    bool negative = false;
    if (!token.empty() && (token[0] == '-' || token[0] == '+')) {
        negative = token[0] == '-';
        token.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    const NumberStatus status = readDigits(token, kMaxCoordinate, magnitude);
    if (status == NumberStatus::Ok) value = negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
    return status;
}

// A decimal number: optional sign, digits with an optional point (at least one digit), an
// optional exponent. No hexadecimal, inf or nan. Rounded to the nearest float, as a literal is.
NumberStatus readFloat(std::string_view token, float& value) {
    std::size_t i = 0;
    auto digits = [&] {
        const std::size_t from = i;
        while (i < token.size() && token[i] >= '0' && token[i] <= '9') ++i;
        return i - from;
    };
    if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
    std::size_t mantissa = digits();
    if (i < token.size() && token[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) return NumberStatus::Malformed;
    if (i < token.size() && (token[i] == 'e' || token[i] == 'E')) {
        ++i;
        if (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
        if (digits() == 0) return NumberStatus::Malformed;
    }
    if (i != token.size()) return NumberStatus::Malformed;
    // The program never sets a locale, so the decimal point is '.'. A number too large for a
    // float is reported, not trapped: floating-point traps, where a caller has them on, are
    // held while it is read.
    const std::string text(token);
    std::fenv_t traps;
    std::feholdexcept(&traps);
    value = std::strtof(text.c_str(), nullptr);
    std::fesetenv(&traps);
    return std::isfinite(value) ? NumberStatus::Ok : NumberStatus::OutOfRange;
}

std::string shown(float v) { return floatText(v); }

// The scene's points as the reader follows them: each cube's corners by number (an attached
// cube shares four of the cube before it), and which points left the moving chain. Enough to
// count the moving points, which the grab's `take N` names.
struct PointsSoFar {
    std::vector<std::array<int, 8>> corners;  // per cube, from cube 1
    std::vector<bool> fixed;                  // per point
    int moving = 0;

    void addFree() {
        std::array<int, 8> ids{};
        for (int& id : ids) id = newPoint();
        corners.push_back(ids);
    }
    // Against the far face of the cube made last: its corners 1, 2, 5, 6 are this one's 0, 3, 4, 7.
    void addAttached() {
        const std::array<int, 8> base = corners.back();
        std::array<int, 8> ids{};
        for (int& id : ids) id = -1;
        ids[0] = base[1];
        ids[3] = base[2];
        ids[4] = base[5];
        ids[7] = base[6];
        for (int& id : ids) {
            if (id < 0) id = newPoint();
        }
        corners.push_back(ids);
    }
    void pin(int cube, unsigned cornerBits) {
        for (int k = 0; k < 8; ++k) {
            if ((cornerBits >> k & 1u) == 0) continue;
            const auto id = static_cast<std::size_t>(corners[static_cast<std::size_t>(cube - 1)][static_cast<std::size_t>(k)]);
            if (!fixed[id]) {
                fixed[id] = true;
                --moving;
            }
        }
    }

private:
    int newPoint() {
        fixed.push_back(false);
        ++moving;
        return static_cast<int>(fixed.size()) - 1;
    }
};

// What the reader knows of the scene in place: enough to check that cube and point numbers
// exist, that the counts stay within their limits and where the last cube stands. The start
// state is the one-cube scene of the key '1'.
struct SceneSoFar {
    int cubes = 0;
    int anchors = 0;
    bool lastElements = true;
    double lastY = 0.0, lastEdge = 0.0;  // scene units
    PointsSoFar points;

    SceneSoFar() { restart('1'); }

    // After a key: the prepared scene it builds, if it builds one.
    void restart(unsigned char key) {
        const PreparedScene* p = preparedScene(static_cast<char>(key));
        if (p == nullptr) return;
        *this = empty();
        cubes = p->cubes;
        anchors = p->anchors;
        lastElements = p->elements;
        lastY = p->lastY();
        lastEdge = p->edge;
        points.addFree();
        for (int i = 1; i < p->cubes; ++i) points.addAttached();
        if (p->pinned != 0) points.pin(1, p->pinned);
    }
    // After `scene`: nothing.
    static SceneSoFar empty() {
        SceneSoFar none(0);
        return none;
    }

private:
    explicit SceneSoFar(int) {}
};

// The corners named by one token of a pin: a corner number or a face.
unsigned cornersNamed(std::string_view token) {
    if (token.size() == 1 && token[0] >= '0' && token[0] <= '7') return 1u << (token[0] - '0');
    if (token == "near") return 1u << 0 | 1u << 3 | 1u << 4 | 1u << 7;
    if (token == "far") return 1u << 1 | 1u << 2 | 1u << 5 | 1u << 6;
    if (token == "bottom") return 0x0fu;
    if (token == "top") return 0xf0u;
    return 0;
}

class LineReader {
public:
    LineReader(int line, std::vector<ScriptCommand>& commands, ScriptError& error, SceneSoFar& scene)
        : line_(line), commands_(commands), error_(error), scene_(scene) {}

    // Reads one line with its comment and line end already removed.
    bool read(std::string_view body) {
        if (body.find('\r') != std::string_view::npos)
            return fail("carriage return inside a line (only CRLF line ends are accepted)");
        const Tokens tokens = splitTokens(body);
        if (tokens.count == 0) return true;
        const std::string_view command = tokens.items[0];
        if (command == "key") return readKey(tokens);
        if (command == "press") return readButton(tokens, CommandKind::Press);
        if (command == "release") return readButton(tokens, CommandKind::Release);
        if (command == "step") return readStep(tokens);
        if (command == "scene") return readScene(tokens);
        if (command == "cube") return readCube(tokens);
        if (command == "attach") return readAttach(tokens);
        if (command == "pin") return readPin(tokens);
        if (command == "anchor") return readAnchor(tokens);
        if (command == "lead") return readLead(tokens);
        if (command == "set") return readSet(tokens);
        if (command == "take") return readTake(tokens);
        if (command == "move") return readMove(tokens);
        if (command == "let") return readLetGo(tokens);
        return fail("unknown command " + quoted(command) +
                    " (expected key, press, release, step, scene, cube, attach, pin, anchor, lead, set, take, move or let go)");
    }

private:
    bool fail(std::string message) {
        error_.line = line_;
        error_.message = std::move(message);
        return false;
    }

    bool noExtra(const Tokens& tokens, int expected) {
        if (tokens.count <= expected) return true;
        return fail("extra argument " + quoted(tokens.items[expected]) + " to " + std::string(tokens.items[0]));
    }

    ScriptCommand base(CommandKind kind) const {
        return ScriptCommand{kind, line_, 0, 0, 0, 0, 0};
    }

    bool readKey(const Tokens& tokens) {
        if (tokens.count < 2) return fail("key needs one character");
        const std::string_view character = tokens.items[1];
        if (character.size() != 1) return fail("key takes a single character, got " + quoted(character));
        if (!noExtra(tokens, 2)) return false;
        ScriptCommand command = base(CommandKind::Key);
        command.key = static_cast<unsigned char>(character[0]);
        scene_.restart(command.key);
        commands_.push_back(command);
        return true;
    }

    bool readButton(const Tokens& tokens, CommandKind kind) {
        const std::string name(tokens.items[0]);
        if (tokens.count < 4) return fail(name + " needs three arguments: BUTTON X Y");
        ScriptCommand command = base(kind);
        const std::string_view button = tokens.items[1];
        command.button = -1;
        for (int code : {kScriptLeftButton, kScriptMiddleButton, kScriptRightButton}) {
            if (button == scriptButtonName(code)) command.button = code;
        }
        if (command.button < 0) return fail("unknown button " + quoted(button) + " (expected left, middle or right)");
        if (!readCoordinateArgument("X", tokens.items[2], command.x)) return false;
        if (!readCoordinateArgument("Y", tokens.items[3], command.y)) return false;
        if (!noExtra(tokens, 4)) return false;
        commands_.push_back(command);
        return true;
    }

    bool readCoordinateArgument(const char* name, std::string_view token, int& value) {
        switch (readCoordinate(token, value)) {
            case NumberStatus::Ok: return true;
            case NumberStatus::Malformed:
                return fail(std::string(name) + " must be an integer, got " + quoted(token));
            case NumberStatus::OutOfRange:
                return fail(std::string(name) + " out of range: " + quoted(token) + " (limit +-" +
                            std::to_string(kMaxCoordinate) + ")");
        }
        return false;
    }

    bool readStep(const Tokens& tokens) {
        if (tokens.count < 2) return fail("step needs a count");
        const std::string_view count = tokens.items[1];
        ScriptCommand command = base(CommandKind::Step);
        std::uint64_t steps = 0;
        switch (readDigits(count, kMaxStepsPerCommand, steps)) {
            case NumberStatus::Ok: break;
            case NumberStatus::Malformed:
                return fail("step count must be a non-negative integer, got " + quoted(count));
            case NumberStatus::OutOfRange:
                return fail("step count out of range: " + quoted(count) + " (limit " +
                            std::to_string(kMaxStepsPerCommand) + ")");
        }
        if (!noExtra(tokens, 2)) return false;
        command.steps = static_cast<std::uint32_t>(steps);
        commands_.push_back(command);
        return true;
    }

    // Scene commands.

    // A number named `what`, finite, and within [low, high] (a low of 0 given as `positive`
    // excludes 0 itself).
    enum class Low { Any, Zero, Positive };
    bool readNumber(const std::string& what, std::string_view token, float& value, Low low = Low::Any,
                    double high = HUGE_VAL) {
        switch (readFloat(token, value)) {
            case NumberStatus::Ok: break;
            case NumberStatus::Malformed: return fail(what + " must be a number, got " + quoted(token));
            case NumberStatus::OutOfRange:
                return fail(what + " out of range: " + quoted(token) + " (too large for a float)");
        }
        if (low == Low::Positive && !(value > 0.0f)) return fail(what + " must be positive, got " + quoted(token));
        if (low == Low::Zero && !(value >= 0.0f)) return fail(what + " must not be negative, got " + quoted(token));
        if (value > high) return fail(what + " out of range: " + quoted(token) + " (at most " + shown(static_cast<float>(high)) + ")");
        return true;
    }

    bool readPosition(std::string_view x, std::string_view y, std::string_view z, float at[3]) {
        const char* names[3] = {"X", "Y", "Z"};
        const std::string_view tokens[3] = {x, y, z};
        for (int i = 0; i < 3; ++i) {
            if (!readNumber(names[i], tokens[i], at[i])) return false;
            if (std::fabs(at[i]) > kMaxPosition) {
                return fail(std::string(names[i]) + " out of range: " + quoted(tokens[i]) + " (positions lie within +-" +
                            shown(kMaxPosition) + ")");
            }
        }
        return true;
    }

    bool readCubeNumber(std::string_view token, int& cube) {
        std::uint64_t value = 0;
        if (readDigits(token, kMaxSceneCubes, value) != NumberStatus::Ok || value < 1 ||
            value > static_cast<std::uint64_t>(scene_.cubes)) {
            return fail("no cube " + quoted(token) + " in this scene (its cubes are 1 to " +
                        std::to_string(scene_.cubes) + ")");
        }
        cube = static_cast<int>(value);
        return true;
    }

    bool needCube(const std::string& name) {
        if (scene_.cubes > 0) return true;
        return fail(name + " needs a cube: this scene has none yet (start it with cube X Y Z)");
    }

    // NAME VALUE pairs from token `from` on, NAME one of `names`. `read` reads one option's
    // value and returns false after a failure.
    template <class ReadOption>
    bool readOptions(const Tokens& tokens, int from, std::initializer_list<std::string_view> names, ReadOption read) {
        const std::string name(tokens.items[0]);
        if (tokens.count == kMaxTokens) return fail("too many arguments to " + name);
        std::string seen = " ";
        for (int i = from; i < tokens.count; i += 2) {
            const std::string option(tokens.items[i]);
            if (std::find(names.begin(), names.end(), option) == names.end()) {
                // A number where a name should stand is one argument too many.
                if (looksNumeric(option)) return fail("extra argument " + quoted(option) + " to " + name);
                return fail("unknown option " + quoted(option) + " to " + name + " (expected " + listed(names) + ")");
            }
            if (seen.find(" " + option + " ") != std::string::npos) return fail(quoted(option) + " given twice");
            if (i + 1 == tokens.count) return fail(quoted(option) + " of " + name + " needs a value");
            if (!read(option, tokens.items[i + 1])) return false;
            seen += option + " ";
        }
        return true;
    }

    // "a, b or c"
    static std::string listed(std::initializer_list<std::string_view> names) {
        std::string out;
        std::size_t i = 0;
        for (const std::string_view n : names) {
            out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + std::string(n);
            ++i;
        }
        return out;
    }

    static bool looksNumeric(std::string_view token) {
        if (token.empty()) return false;
        const char c = token[0];
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
    }

    bool readOnOff(const std::string& what, std::string_view token, bool& value) {
        if (token == "on" || token == "off") {
            value = token == "on";
            return true;
        }
        return fail(what + " must be on or off, got " + quoted(token));
    }

    bool readScene(const Tokens& tokens) {
        if (!noExtra(tokens, 1)) return false;
        scene_ = SceneSoFar::empty();
        commands_.push_back(base(CommandKind::Scene));
        return true;
    }

    bool readCube(const Tokens& tokens) {
        if (tokens.count < 4) return fail("cube needs a position: X Y Z");
        ScriptCommand c = base(CommandKind::Cube);
        SceneArguments a;
        if (!readPosition(tokens.items[1], tokens.items[2], tokens.items[3], a.at)) return false;
        // The one-cube scene's cube.
        const PreparedScene& one = *preparedScene('1');
        a.edge = one.edge;
        a.stiffness = one.stiffness;
        a.mass = one.mass;
        a.damping = kPointDamping;
        a.tearForce = one.tearForce;
        a.elements = one.elements;
        const bool ok = readOptions(tokens, 4, {"edge", "stiffness", "mass", "damping", "tear", "elements"},
                                    [&](const std::string& name, std::string_view value) {
            if (name == "edge") return readNumber("edge", value, a.edge, Low::Positive, 2.0 * kMaxPosition);
            if (name == "stiffness") return readNumber("stiffness", value, a.stiffness, Low::Positive);
            if (name == "mass") return readNumber("mass", value, a.mass, Low::Positive);
            if (name == "damping") return readNumber("damping", value, a.damping, Low::Zero);
            if (name == "tear") return readNumber("tear force", value, a.tearForce, Low::Positive);
            return readOnOff("elements", value, a.elements);
        });
        if (!ok) return false;
        // The cube reaches from corner 0 toward -x, +y and +z.
        const double reach[3] = {static_cast<double>(a.at[0]) - a.edge, static_cast<double>(a.at[1]) + a.edge,
                                 static_cast<double>(a.at[2]) + a.edge};
        for (const double r : reach) {
            if (std::fabs(r) > kMaxPosition) {
                return fail("cube reaches beyond +-" + shown(kMaxPosition) + " (edge " + shown(a.edge) + ")");
            }
        }
        if (scene_.cubes == kMaxSceneCubes) return fail(tooManyCubes());
        scene_.cubes += 1;
        scene_.lastElements = a.elements;
        scene_.lastY = a.at[1];
        scene_.lastEdge = a.edge;
        scene_.points.addFree();
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    std::string tooManyCubes() const { return "more than " + std::to_string(kMaxSceneCubes) + " cubes in one scene"; }

    bool readAttach(const Tokens& tokens) {
        if (!needCube("attach")) return false;
        ScriptCommand c = base(CommandKind::Attach);
        SceneArguments a;
        a.count = 1;
        a.tearForce = kTearForceLow;
        a.elements = scene_.lastElements;
        int from = 1;
        if (tokens.count > 1 && looksNumeric(tokens.items[1])) {
            std::uint64_t count = 0;
            if (readDigits(tokens.items[1], kMaxSceneCubes, count) != NumberStatus::Ok || count < 1) {
                return fail("attach count must be an integer from 1 to " + std::to_string(kMaxSceneCubes) + ", got " +
                            quoted(tokens.items[1]));
            }
            a.count = static_cast<int>(count);
            from = 2;
        }
        const bool ok = readOptions(tokens, from, {"tear", "elements"},
                                    [&](const std::string& name, std::string_view value) {
            if (name == "tear") return readNumber("tear force", value, a.tearForce, Low::Positive);
            return readOnOff("elements", value, a.elements);
        });
        if (!ok) return false;
        if (a.count > kMaxSceneCubes - scene_.cubes) return fail(tooManyCubes());
        // The row grows along +y by one edge per cube.
        const double far = scene_.lastY + (a.count + 1) * scene_.lastEdge;
        if (far > kMaxPosition) return fail("the row reaches beyond y = " + shown(kMaxPosition));
        scene_.cubes += a.count;
        scene_.lastElements = a.elements;
        scene_.lastY += a.count * scene_.lastEdge;
        for (int k = 0; k < a.count; ++k) scene_.points.addAttached();
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    // `cube N` at token `i`, if there, else the last cube.
    bool readCubeOption(const Tokens& tokens, int& i, int& cube) {
        cube = scene_.cubes;
        if (i < tokens.count && tokens.items[i] == "cube") {
            if (i + 1 == tokens.count) return fail("cube of " + std::string(tokens.items[0]) + " needs a number");
            if (!readCubeNumber(tokens.items[i + 1], cube)) return false;
            i += 2;
        }
        return true;
    }

    bool readPin(const Tokens& tokens) {
        if (!needCube("pin")) return false;
        ScriptCommand c = base(CommandKind::Pin);
        SceneArguments a;
        int i = 1;
        if (!readCubeOption(tokens, i, a.cube)) return false;
        if (i == tokens.count) return fail("pin needs corners: 0 to 7, near, far, bottom or top");
        if (tokens.count == kMaxTokens) return fail("too many arguments to pin");
        for (; i < tokens.count; ++i) {
            const unsigned named = cornersNamed(tokens.items[i]);
            if (named == 0) {
                return fail("unknown corner " + quoted(tokens.items[i]) + " (expected 0 to 7, near, far, bottom or top)");
            }
            a.corners |= named;
        }
        scene_.points.pin(a.cube, a.corners);
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    bool readAnchor(const Tokens& tokens) {
        if (!needCube("anchor")) return false;
        if (tokens.count < 4) return fail("anchor needs a position: X Y Z");
        ScriptCommand c = base(CommandKind::Anchor);
        SceneArguments a;
        if (!readPosition(tokens.items[1], tokens.items[2], tokens.items[3], a.at)) return false;
        // The pendulum's suspension springs, but with the start distance as rest length.
        a.stiffness = kSuspensionStiffness;
        a.tearForce = kTearForceHigh;
        a.corner = -1;
        int i = 4;
        if (!readCubeOption(tokens, i, a.cube)) return false;
        const bool ok = readOptions(tokens, i, {"corner", "stiffness", "rest", "tear"},
                                    [&](const std::string& name, std::string_view value) {
            if (name == "corner") {
                if (value.size() != 1 || value[0] < '0' || value[0] > '7') {
                    return fail("corner must be 0 to 7, got " + quoted(value));
                }
                a.corner = value[0] - '0';
                return true;
            }
            if (name == "stiffness") return readNumber("stiffness", value, a.stiffness, Low::Positive);
            if (name == "rest") return readNumber("rest length", value, a.restLength, Low::Positive);
            return readNumber("tear force", value, a.tearForce, Low::Positive);
        });
        if (!ok) return false;
        if (a.corner < 0) return fail("anchor needs a corner: corner C, C from 0 to 7");
        if (scene_.anchors == kMaxSceneAnchors) {
            return fail("more than " + std::to_string(kMaxSceneAnchors) + " anchors in one scene");
        }
        scene_.anchors += 1;
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    bool readLead(const Tokens& tokens) {
        if (!needCube("lead")) return false;
        if (tokens.count < 2) return fail("lead needs a cube number");
        ScriptCommand c = base(CommandKind::Lead);
        SceneArguments a;
        if (!readCubeNumber(tokens.items[1], a.cube) || !noExtra(tokens, 2)) return false;
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    bool readSet(const Tokens& tokens) {
        if (tokens.count < 3) return fail("set needs a name and a value: set NAME VALUE");
        ScriptCommand c = base(CommandKind::Set);
        SceneArguments a;
        a.setting = findSetting(tokens.items[1]);
        if (a.setting < 0) {
            std::string names;
            for (const SettingInfo& s : kSettings) names += std::string(names.empty() ? "" : ", ") + s.name;
            return fail("unknown setting " + quoted(tokens.items[1]) + " (expected " + names + ")");
        }
        const SettingInfo& info = kSettings[a.setting];
        if (info.isSwitch) {
            bool on = false;
            if (!readOnOff(info.name, tokens.items[2], on) || !noExtra(tokens, 3)) return false;
            a.value = on ? 1.0f : 0.0f;
            c.scene = HeldArguments(a);
            commands_.push_back(std::move(c));
            return true;
        }
        if (!readNumber(info.name, tokens.items[2], a.value)) return false;
        if (!(a.value >= info.low && a.value <= info.high)) {
            return fail(std::string(info.name) + " out of range: " + quoted(tokens.items[2]) + " (from " +
                        shown(info.low) + " to " + shown(info.high) + " " + info.unit + ", design value " +
                        shown(info.design()) + ")");
        }
        if (!noExtra(tokens, 3)) return false;
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    // The grab.

    bool readTake(const Tokens& tokens) {
        if (tokens.count < 2) return fail("take needs a point number: take N");
        std::uint64_t value = 0;
        const int moving = scene_.points.moving;
        if (readDigits(tokens.items[1], static_cast<std::uint64_t>(INT32_MAX), value) != NumberStatus::Ok ||
            value >= static_cast<std::uint64_t>(moving)) {
            return fail("no point " + quoted(tokens.items[1]) + " in the moving chain" +
                        (moving == 0 ? std::string(" (this scene has none)")
                                     : " (its points are 0 to " + std::to_string(moving - 1) + ")"));
        }
        if (!noExtra(tokens, 2)) return false;
        ScriptCommand c = base(CommandKind::Take);
        c.x = static_cast<int>(value);
        commands_.push_back(c);
        return true;
    }

    bool readMove(const Tokens& tokens) {
        if (tokens.count < 4) return fail("move needs a target: move X Y Z");
        ScriptCommand c = base(CommandKind::Move);
        SceneArguments a;
        if (!readPosition(tokens.items[1], tokens.items[2], tokens.items[3], a.at) || !noExtra(tokens, 4)) return false;
        c.scene = HeldArguments(a);
        commands_.push_back(std::move(c));
        return true;
    }

    bool readLetGo(const Tokens& tokens) {
        if (tokens.count < 2 || tokens.items[1] != "go") return fail("unknown command 'let' (did you mean let go?)");
        if (!noExtra(tokens, 2)) return false;
        commands_.push_back(base(CommandKind::LetGo));
        return true;
    }

    int line_;
    std::vector<ScriptCommand>& commands_;
    ScriptError& error_;
    SceneSoFar& scene_;
};

}  // namespace

bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error) {
    commands.clear();
    // Room for every command at once spares the copies of a growing array, which holds its old
    // and new buffers together. A command takes a line, of at least six bytes ("key g" and its
    // line feed); pages reserved but never filled are never touched.
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    commands.reserve(std::min(lines, text.size() / 6 + 1));
    SceneSoFar scene;
    int line = 0;
    // A UTF-8 byte-order mark, as Windows editors put before the first line, is no command.
    std::size_t pos = text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
    while (pos < text.size()) {
        if (line == kMaxScriptLines) {
            error.line = line;
            error.message = "script has more than " + std::to_string(kMaxScriptLines) + " lines";
            return false;
        }
        ++line;
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view body = text.substr(pos, end - pos);
        pos = end + 1;

        if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
        const std::size_t comment = body.find('#');
        if (comment != std::string_view::npos) body = body.substr(0, comment);
        if (!LineReader(line, commands, error, scene).read(body)) return false;
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        commands[i].endsBuild =
            buildsScene(commands[i].kind) && (i + 1 == commands.size() || !buildsScene(commands[i + 1].kind));
    }
    return true;
}

const char* scriptButtonName(int button) {
    switch (button) {
        case kScriptLeftButton: return "left";
        case kScriptMiddleButton: return "middle";
        case kScriptRightButton: return "right";
        default: return nullptr;
    }
}
