#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The command line of tremblo-sim: SCRIPT or --link FILE, [--trace FILE] [--every K] [--at STEP] [--hash];
// or --help.
struct RunnerOptions {
    std::string scriptPath;     // "-" reads standard input
    bool link = false;          // scriptPath is a file holding a page address (--link)
    std::string tracePath;      // "-" writes standard output; empty: no trace
    std::uint64_t every = 100;  // a trace sample after every K-th step, K >= 1
    std::optional<std::uint64_t> stopAt;  // end the run at this step (--at)
    bool hash = false;          // print the state hash at the end
    bool help = false;          // print the usage and do nothing else
};

// Options may stand before or after SCRIPT; "--trace=FILE" and "--every=K" work as well.
// On a bad command line returns false with a one-line message in `error`.
bool parseOptions(int argc, const char* const* argv, RunnerOptions& options, std::string& error);

// The usage text printed by --help.
const char* usageText();
