#pragma once

// A fixture for tests that drive the world with script text, as the runner does.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "tests/test_support.h"

class ScriptWorldTest : public WorldTest {
protected:
    // Reads the script (it must read) and runs it against the world as it stands.
    static void run(const std::string& script) {
        std::vector<ScriptCommand> commands;
        ScriptError error{0, ""};
        ASSERT_TRUE(parseScript(script, commands, error)) << error.line << ": " << error.message;
        runScript(commands);
    }
    // The state hash after the script, run from the start state.
    static std::uint64_t hashAfter(const std::string& script) {
        resetWorld();
        startWorld();
        run(script);
        return hashMovingPoints();
    }
};
