#include "tools/options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

struct Outcome {
    bool ok;
    RunnerOptions options;
    std::string error;
};

Outcome parseArgs(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"tremblo-sim"};
    argv.insert(argv.end(), args.begin(), args.end());
    Outcome outcome;
    outcome.ok = parseOptions(static_cast<int>(argv.size()), argv.data(), outcome.options, outcome.error);
    return outcome;
}

void expectRefused(std::initializer_list<const char*> args, const std::string& fragment) {
    const Outcome outcome = parseArgs(args);
    EXPECT_FALSE(outcome.ok) << "accepted, expected: " << fragment;
    EXPECT_NE(outcome.error.find(fragment), std::string::npos) << "error: " << outcome.error;
    EXPECT_EQ(outcome.error.find('\n'), std::string::npos);
}

TEST(RunnerOptions, AScriptAloneTakesTheDefaults) {
    const Outcome outcome = parseArgs({"drop.sim"});
    ASSERT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(outcome.options.scriptPath, "drop.sim");
    EXPECT_TRUE(outcome.options.tracePath.empty());
    EXPECT_EQ(outcome.options.every, 100u);
    EXPECT_FALSE(outcome.options.hash);
    EXPECT_FALSE(outcome.options.help);
}

TEST(RunnerOptions, OptionsComeInAnyOrderAndEitherSpelling) {
    const Outcome a = parseArgs({"--every", "7", "-", "--trace", "out.csv", "--hash"});
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_EQ(a.options.scriptPath, "-");
    EXPECT_EQ(a.options.tracePath, "out.csv");
    EXPECT_EQ(a.options.every, 7u);
    EXPECT_TRUE(a.options.hash);

    EXPECT_FALSE(a.options.stopAt.has_value());

    const Outcome b = parseArgs({"--trace=-", "--every=18446744073709551615", "s.sim", "--at=0"});
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(b.options.tracePath, "-");
    EXPECT_EQ(b.options.every, 18446744073709551615u);
    EXPECT_EQ(b.options.stopAt, 0u);
}

TEST(RunnerOptions, HelpWinsWhereverItStands) {
    EXPECT_TRUE(parseArgs({"--help"}).options.help);
    EXPECT_TRUE(parseArgs({"--bogus", "--every", "0", "-h"}).options.help);
}

TEST(RunnerOptions, RefusesBadCommandLines) {
    expectRefused({}, "no script given");
    expectRefused({"a.sim", "b.sim"}, "more than one script");
    expectRefused({"a.sim", "--verbose"}, "unknown option '--verbose'");
    expectRefused({"a.sim", "--tracefile", "x"}, "unknown option");
    expectRefused({"a.sim", "--trace"}, "--trace needs a value");
    expectRefused({"a.sim", "--trace="}, "--trace needs a file name");
    expectRefused({"a.sim", "--trace", "x", "--trace", "y"}, "--trace given twice");
    expectRefused({"a.sim", "--hash", "--hash"}, "--hash given twice");
    expectRefused({"a.sim", "--trace", "x", "--every"}, "--every needs a value");
    expectRefused({"a.sim", "--every", "5"}, "--every needs --trace");
    expectRefused({"a.sim", "--hash", "--trace", "-"}, "both write to standard output");
    expectRefused({""}, "script path is empty");
    expectRefused({"a.sim", "--at", "5", "--at", "6"}, "--at given twice");
    for (const char* step : {"", "-1", "+5", "1.5", "18446744073709551616"})
        expectRefused({"a.sim", (std::string("--at=") + step).c_str()}, "--at needs a step count");
}

TEST(RunnerOptions, EveryMustBeAPositiveInteger) {
    for (const char* k : {"0", "-1", "+5", "1.5", "abc", "", "18446744073709551616"})
        expectRefused({"a.sim", "--trace", "t.csv", "--every", k}, "--every needs a positive integer");
}

}  // namespace
