#include "tools/script.h"

#include <array>
#include <cstddef>

namespace {

// A command has at most four tokens; a fifth is only kept to be named as the extra one, so a
// huge line never costs more than a fixed amount of memory.
constexpr int kMaxTokens = 5;

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

class LineReader {
public:
    LineReader(int line, std::vector<ScriptCommand>& commands, ScriptError& error)
        : line_(line), commands_(commands), error_(error) {}

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
        return fail("unknown command " + quoted(command) + " (expected key, press, release or step)");
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
        commands_.push_back(command);
        return true;
    }

    bool readButton(const Tokens& tokens, CommandKind kind) {
        const std::string name(tokens.items[0]);
        if (tokens.count < 4) return fail(name + " needs three arguments: BUTTON X Y");
        ScriptCommand command = base(kind);
        const std::string_view button = tokens.items[1];
        if (button == "left") {
            command.button = kScriptLeftButton;
        } else if (button == "middle") {
            command.button = kScriptMiddleButton;
        } else if (button == "right") {
            command.button = kScriptRightButton;
        } else {
            return fail("unknown button " + quoted(button) + " (expected left, middle or right)");
        }
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
        switch (readDigits(count, kMaxStepsPerCommand, command.steps)) {
            case NumberStatus::Ok: break;
            case NumberStatus::Malformed:
                return fail("step count must be a non-negative integer, got " + quoted(count));
            case NumberStatus::OutOfRange:
                return fail("step count out of range: " + quoted(count) + " (limit " +
                            std::to_string(kMaxStepsPerCommand) + ")");
        }
        if (!noExtra(tokens, 2)) return false;
        commands_.push_back(command);
        return true;
    }

    int line_;
    std::vector<ScriptCommand>& commands_;
    ScriptError& error_;
};

}  // namespace

bool parseScript(std::string_view text, std::vector<ScriptCommand>& commands, ScriptError& error) {
    commands.clear();
    int line = 0;
    std::size_t pos = 0;
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
        if (!LineReader(line, commands, error).read(body)) return false;
    }
    return true;
}
