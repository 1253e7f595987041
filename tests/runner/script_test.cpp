#include "run/script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok;
    std::vector<ScriptCommand> commands;
    ScriptError error{0, ""};
};

Parsed parse(std::string_view text) {
    Parsed result;
    result.ok = parseScript(text, result.commands, result.error);
    return result;
}

// The script must be rejected at `line` with a message containing `fragment`.
void expectRejected(std::string_view text, int line, const std::string& fragment) {
    SCOPED_TRACE(testing::Message() << "script: \"" << text << "\"");
    const Parsed result = parse(text);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.line, line);
    EXPECT_NE(result.error.message.find(fragment), std::string::npos) << "message: " << result.error.message;
}

TEST(ScriptReader, ReadsEveryCommandWithItsArguments) {
    const Parsed result = parse("key z\npress left 100 -200\nrelease right +3 0\npress middle 0 0\nstep 250\n");
    ASSERT_TRUE(result.ok) << result.error.message;
    ASSERT_EQ(result.commands.size(), 5u);

    EXPECT_EQ(result.commands[0].kind, CommandKind::Key);
    EXPECT_EQ(result.commands[0].key, 'z');
    EXPECT_EQ(result.commands[1].kind, CommandKind::Press);
    EXPECT_EQ(result.commands[1].button, kScriptLeftButton);
    EXPECT_EQ(result.commands[1].x, 100);
    EXPECT_EQ(result.commands[1].y, -200);
    EXPECT_EQ(result.commands[2].kind, CommandKind::Release);
    EXPECT_EQ(result.commands[2].button, kScriptRightButton);
    EXPECT_EQ(result.commands[2].x, 3);
    EXPECT_EQ(result.commands[2].y, 0);
    EXPECT_EQ(result.commands[3].button, kScriptMiddleButton);
    EXPECT_EQ(result.commands[4].kind, CommandKind::Step);
    EXPECT_EQ(result.commands[4].steps, 250u);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(result.commands[i].line, i + 1);
}

TEST(ScriptReader, SkipsBlankLinesAndCommentsAndKeepsLineNumbers) {
    const Parsed result = parse("# a drop\n\n   \t\n\tkey\t\tg   # gravity off # for now\nstep 10#no blank needed\n#\n");
    ASSERT_TRUE(result.ok) << result.error.message;
    ASSERT_EQ(result.commands.size(), 2u);
    EXPECT_EQ(result.commands[0].key, 'g');
    EXPECT_EQ(result.commands[0].line, 4);
    EXPECT_EQ(result.commands[1].steps, 10u);
    EXPECT_EQ(result.commands[1].line, 5);
}

TEST(ScriptReader, EmptyAndCommentOnlyScriptsHaveNoCommands) {
    for (const std::string_view text : {"", "\n\n", "# nothing\n  # more\n", "\r\n"}) {
        const Parsed result = parse(text);
        EXPECT_TRUE(result.ok) << result.error.message;
        EXPECT_TRUE(result.commands.empty());
    }
}

TEST(ScriptReader, AcceptsCrlfAByteOrderMarkAndAMissingFinalNewline) {
    const Parsed result = parse("\xEF\xBB\xBFkey 2\r\n# note\r\nstep 5\r");
    ASSERT_TRUE(result.ok) << result.error.message;
    ASSERT_EQ(result.commands.size(), 2u);
    EXPECT_EQ(result.commands[0].key, '2');
    EXPECT_EQ(result.commands[1].steps, 5u);
    EXPECT_EQ(result.commands[1].line, 3);
}

TEST(ScriptReader, RejectsACarriageReturnInsideALine) {
    expectRejected("step 1\nkey 1\rstep 5\n", 2, "carriage return");
    expectRejected("step 1\r\r\n", 1, "carriage return");
    // Old Mac line ends make one long line.
    expectRejected("key 1\rkey 2\r", 1, "carriage return");
}

TEST(ScriptReader, AKeyIsAnySingleByteButBlanksAndHash) {
    for (const int code : {0, 1, 27, int{'A'}, int{'~'}, 127, 128, 233, 255}) {
        std::string text = "key ";
        text += static_cast<char>(code);
        text += '\n';
        const Parsed result = parse(text);
        ASSERT_TRUE(result.ok) << "code " << code << ": " << result.error.message;
        ASSERT_EQ(result.commands.size(), 1u);
        EXPECT_EQ(result.commands[0].key, code);
    }
    expectRejected("key #\n", 1, "key needs one character");
    expectRejected("key \t \n", 1, "key needs one character");
}

TEST(ScriptReader, CoordinatesWithinTheLimitsAreRead) {
    const Parsed result = parse("press left -1000000 +1000000\nrelease left 000123 -0\n");
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.commands[0].x, -kMaxCoordinate);
    EXPECT_EQ(result.commands[0].y, kMaxCoordinate);
    EXPECT_EQ(result.commands[1].x, 123);
    EXPECT_EQ(result.commands[1].y, 0);
}

TEST(ScriptReader, CoordinatesBeyondTheLimitsAreOutOfRange) {
    expectRejected("press left 1000001 0\n", 1, "X out of range");
    expectRejected("press left 0 -1000001\n", 1, "Y out of range");
    // Far more digits than any integer holds: still a clean range error.
    expectRejected("release right 99999999999999999999999999999999 0\n", 1, "X out of range");
}

TEST(ScriptReader, StepCountsUpToTheCapAreRead) {
    const Parsed result = parse("step 0\nstep 1000000000\nstep 007\n");
    ASSERT_TRUE(result.ok) << result.error.message;
    EXPECT_EQ(result.commands[0].steps, 0u);
    EXPECT_EQ(result.commands[1].steps, kMaxStepsPerCommand);
    EXPECT_EQ(result.commands[2].steps, 7u);
}

TEST(ScriptReader, RejectsMalformedNumbers) {
    for (const char* token : {"1.5", "0x10", "1e3", "-", "+", "12a", "--1", "１"}) {
        expectRejected(std::string("press left ") + token + " 0\n", 1, "X must be an integer");
        expectRejected(std::string("release middle 0 ") + token + "\n", 1, "Y must be an integer");
    }
    for (const char* token : {"-1", "+1", "1.0", "ten", "0x1", "-0"})
        expectRejected(std::string("step ") + token + "\n", 1, "non-negative integer");
    expectRejected("step 1000000001\n", 1, "step count out of range");
    expectRejected("step 18446744073709551616\n", 1, "step count out of range");
}

TEST(ScriptReader, RejectsUnknownCommandsAndButtons) {
    expectRejected("step 1\nstepp 1\n", 2, "unknown command 'stepp'");
    expectRejected("Key 1\n", 1, "unknown command 'Key'");
    expectRejected("wait 5\n", 1, "unknown command");
    expectRejected("press LEFT 1 2\n", 1, "unknown button 'LEFT'");
    expectRejected("release 0 1 2\n", 1, "unknown button '0'");
}

TEST(ScriptReader, RejectsMissingArguments) {
    expectRejected("key\n", 1, "key needs one character");
    expectRejected("step\n", 1, "step needs a count");
    expectRejected("press\n", 1, "press needs three arguments");
    expectRejected("press left\n", 1, "press needs three arguments");
    expectRejected("release right 10\n", 1, "release needs three arguments");
    expectRejected("step # 5\n", 1, "step needs a count");
}

TEST(ScriptReader, RejectsExtraArguments) {
    expectRejected("key g v\n", 1, "extra argument 'v' to key");
    expectRejected("key gv\n", 1, "single character, got 'gv'");
    expectRejected("step 5 6\n", 1, "extra argument '6' to step");
    expectRejected("press left 1 2 3\n", 1, "extra argument '3' to press");
    expectRejected("release left 1 2 3 4 5 6\n", 1, "extra argument '3' to release");
}

TEST(ScriptReader, ReportsTheFirstBadLineCountingEveryLine) {
    expectRejected("# header\n\nkey 1\r\n  \nstep x\nbogus\n", 5, "non-negative integer");
    expectRejected("step 1\nstep 2\nstep 3\nkey", 4, "key needs one character");
}

TEST(ScriptReader, MessagesStayOnePrintableLineWhateverTheBytes) {
    std::string text = "step 1\n";
    text += std::string("\x00\xff\x1b\xc3\xa9", 5);
    text += std::string(100000, 'x');
    text += " 1\n";
    const Parsed result = parse(text);
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.error.line, 2);
    EXPECT_LT(result.error.message.size(), 200u);
    for (const char c : result.error.message) {
        EXPECT_GE(static_cast<unsigned char>(c), 0x20);
        EXPECT_LT(static_cast<unsigned char>(c), 0x7f);
    }
    EXPECT_NE(result.error.message.find("\\x00\\xff\\x1b\\xc3\\xa9xxx"), std::string::npos) << result.error.message;
}

TEST(ScriptReader, AHugeLineOfTokensIsRejectedAsOneExtraArgument) {
    std::string text = "step 1";
    for (int i = 0; i < 200000; ++i) text += " 9";
    expectRejected(text, 1, "extra argument '9' to step");
}

}  // namespace

namespace {

TEST(ScriptReader, FillsInTheDefaultsOfSceneCommands) {
    const Parsed r = parse("scene\ncube 1 2 3\nattach 2 tear 50\ncube 0 0 9 mass 3 elements off\nattach\n"
                           "pin cube 1 near 1\nanchor 0 4 5 corner 6\nlead 2\nset gravity 1.5\nstep 1\n");
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.commands.size(), 10u);
    // A cube's defaults are the prepared cubes' (key-q.sim, compared with its key, leaves them out).
    EXPECT_EQ(r.commands[1].scene->at[1], 2.0f);
    EXPECT_EQ(r.commands[2].scene->count, 2);
    EXPECT_EQ(r.commands[2].scene->tearForce, 50.0f);
    EXPECT_FALSE(r.commands[4].scene->elements) << "an attached cube is built like the one it attaches to";
    EXPECT_EQ(r.commands[5].scene->cube, 1);
    EXPECT_EQ(r.commands[5].scene->corners, 0x9bu) << "the near face and corner 1";
    EXPECT_EQ(r.commands[6].scene->cube, 5) << "the last cube by default";
    EXPECT_EQ(r.commands[6].scene->corner, 6);
    EXPECT_EQ(r.commands[6].scene->restLength, 0.0f) << "the start distance";
    EXPECT_EQ(r.commands[8].scene->value, 1.5f);
    // The step's order is read once, after the last command of a build.
    for (std::size_t i = 0; i < r.commands.size(); ++i) EXPECT_EQ(r.commands[i].endsBuild, i == 6) << i;
}

TEST(ScriptReader, RejectsBadSceneAndSettingLinesNamingTheLine) {
    const struct {
        std::string text;
        int line;
        const char* fragment;
    } cases[] = {
        {"cube 0 0", 1, "cube needs a position"},
        {"cube 0 0 nan", 1, "Z must be a number"},
        {"cube 0 0 0x1p3", 1, "must be a number"},
        {"cube 0 0 1e39", 1, "Z out of range: '1e39' (too large for a float)"},
        {"set gravity " + std::string(301, '9'), 1, "gravity out of range: '9999999999999999999999999999999"},
        {"cube 0 -1000.5 2", 1, "Y out of range"},
        {"cube 0 999.5 2", 1, "cube reaches beyond"},
        {"cube 0 0 2 edge 0", 1, "edge must be positive"},
        {"cube 0 0 2 mass -1", 1, "mass must be positive"},
        {"cube 0 0 2 stiffness 0", 1, "stiffness must be positive"},
        {"cube 0 0 2 tear 0", 1, "tear force must be positive"},
        {"cube 0 0 2 damping -0.1", 1, "damping must not be negative"},
        {"cube 0 0 2 edge 1 edge 2", 1, "'edge' given twice"},
        {"cube 0 0 2 colour red", 1, "unknown option 'colour' to cube"},
        {"cube 0 0 2 colour", 1, "unknown option 'colour' to cube (expected edge, stiffness, mass, damping, tear or"},
        {"cube 0 0 2 edge 1 5", 1, "extra argument '5' to cube"},
        {"cube 0 0 2 edge", 1, "'edge' of cube needs a value"},
        {"cube 0 0 2 elements maybe", 1, "elements must be on or off"},
        {"scene\nattach", 2, "attach needs a cube"},
        {"attach 0", 1, "attach count must be an integer from 1"},
        {"attach -1", 1, "attach count must be an integer from 1 to 20000, got '-1'"},
        {"attach 2 3", 1, "extra argument '3' to attach"},
        {"attach tear", 1, "'tear' of attach needs a value"},
        {"step 1\n\xEF\xBB\xBFstep 1", 2, "unknown command '\\xef\\xbb\\xbfstep'"},
        {"attach 1000", 1, "the row reaches beyond y = 1000"},
        {"scene\ncube 0 -999 0 edge 0.01\nattach 19999\nattach", 4, "more than 20000 cubes"},
        {"key 3\npin cube 4 near", 2, "no cube '4' in this scene (its cubes are 1 to 3)"},
        {"pin near left", 1, "unknown corner 'left'"},
        {"pin cube 1", 1, "pin needs corners"},
        {"anchor 0 0 0", 1, "anchor needs a corner"},
        {"anchor 0 0 0 corner 8", 1, "corner must be 0 to 7"},
        {"anchor 0 0 0 corner 1 rest 0", 1, "rest length must be positive"},
        {"anchor 0 0 1001 corner 1", 1, "Z out of range"},
        {"lead 2", 1, "no cube '2'"},
        {"key s\nlead 21", 2, "its cubes are 1 to 20"},
        {"set wind 1", 1, "unknown setting 'wind' (expected gravity, damping"},
        {"set gravity", 1, "set needs a name and a value"},
        {"set gravity 100.5", 1, "gravity out of range: '100.5' (from 0 to 100 units/s^2, design value 9.81)"},
        {"set stiffness-scale 0", 1, "stiffness-scale out of range"},
        {"set damping -1", 1, "damping out of range"},
        {"set damping 1 2", 1, "extra argument '2' to set"},
        {"set contact 1", 1, "contact must be on or off, got '1'"},
        {"set contact on 3", 1, "extra argument '3' to set"},
        {"take 8", 1, "no point '8' in the moving chain (its points are 0 to 7)"},
        {"take -1", 1, "no point '-1'"},
        {"key q\ntake 16", 2, "its points are 0 to 15"},
        {"scene\ncube 0 0 2\nattach\npin cube 2 far 0\ntake 7", 5, "its points are 0 to 6"},
        {"scene\ntake 0", 2, "(this scene has none)"},
        {"move 0 0 1000.5", 1, "Z out of range"},
        {"move 1 2", 1, "move needs a target"},
        {"let stay", 1, "did you mean let go"},
        {"let", 1, "did you mean let go"},
        {"let go now", 1, "extra argument 'now' to let"},
    };
    for (const auto& c : cases) expectRejected(c.text, c.line, c.fragment);
}

TEST(ScriptReader, AllowsAtMostOneHundredThousandAnchorsInAScene) {
    std::string script = "key 2\n";
    for (int i = 0; i < kMaxSceneAnchors; ++i) script += "anchor 0 0 0 corner 1\n";
    EXPECT_TRUE(parse(script).ok);
    expectRejected(script + "anchor 0 0 0 corner 1\n", kMaxSceneAnchors + 2, "more than 100000 anchors");
    expectRejected("key p\n" + script.substr(6, 22 * (kMaxSceneAnchors - 3)), kMaxSceneAnchors - 2,
                   "more than 100000 anchors");
}

}  // namespace

// Whatever the reader accepts, the writer writes as lines that read back to the same commands,
// bit for bit, and writing those again gives the same text: one line per command kind, with
// defaults taken and given, shortest and longest floats, faces and corner lists.
TEST(ScriptWriter, WritesEveryCommandAsALineThatReadsBackTheSame) {
    const std::string script =
        "key 5\nkey ~\npress left -1000000 1000000\nrelease middle 0 -7\npress right 3 4\nstep 1000000000\n"
        "step 0\nscene\ncube 0 0 2\ncube -1.5 3e2 0.1 edge 0.25 stiffness 1e-3 mass 3 damping 0 tear 1.17549435e-38"
        " elements off\nattach\nattach 3 tear 9.81 elements on\npin 2\npin cube 1 near top 5\n"
        "anchor 1 2 3 corner 7\nanchor -4 0.5 9 cube 3 corner 0 stiffness 1000 rest 0.7 tear 7000\nlead 2\n"
        "set gravity 9.81\nset stiffness-scale 0.1\nset volume-stiffness 100000\nset contact on\nset own-weight off\n"
        "take 7\nmove -1000 0.1 1e-3\nlet go\nkey 1\n";
    const Parsed read = parse(script);
    ASSERT_TRUE(read.ok) << read.error.line << ": " << read.error.message;
    std::string written;
    for (const ScriptCommand& c : read.commands) written += writeCommand(c);
    const Parsed again = parse(written);
    ASSERT_TRUE(again.ok) << again.error.line << ": " << again.error.message << "\n" << written;
    ASSERT_EQ(again.commands.size(), read.commands.size());
    std::string rewritten;
    for (std::size_t i = 0; i < read.commands.size(); ++i) {
        EXPECT_TRUE(sameCommand(read.commands[i], again.commands[i])) << "line " << read.commands[i].line << "\n"
                                                                       << written;
        rewritten += writeCommand(again.commands[i]);
    }
    EXPECT_EQ(rewritten, written);
    EXPECT_NE(written.find("set gravity 9.81\n"), std::string::npos) << "floats in their shortest form:\n" << written;
}
