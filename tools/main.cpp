// tremblo-sim: the simulation without a window, driven by a script, writing a CSV trace.

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "run/apply_command.h"
#include "run/run_link.h"
#include "run/script.h"
#include "run/script_file.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "tools/options.h"
#include "tools/trace_writer.h"

namespace {

constexpr int kExitDone = 0;
constexpr int kExitWriteFailed = 1;
constexpr int kExitBadInput = 2;

int refuse(const std::string& message) {
    std::fprintf(stderr, "tremblo-sim: %s\n", message.c_str());
    return kExitBadInput;
}

}  // namespace

int main(int argc, char** argv) {
    RunnerOptions options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) return refuse(error);
    if (options.help) {
        std::fputs(usageText(), stdout);
        return kExitDone;
    }

    // A trace written over the file it was read from would lose it.
    if (!options.tracePath.empty() && options.tracePath != "-" &&
        (options.link || !isRunAddress(options.scriptPath)) && wouldOverwrite(options.tracePath, options.scriptPath)) {
        return refuse("--trace '" + options.tracePath + "' is the " + (options.link ? "link" : "script") +
                      " it reads: the trace would overwrite it; write the trace to another file");
    }

    // The whole script is read and checked before anything runs or any file is made.
    // An address's at= names where to stop, unless --at does.
    std::string text;
    std::optional<std::uint64_t> linkAt;
    const bool read = options.link ? readLinkFile(options.scriptPath, text, error, &linkAt)
                                   : readScriptFile(options.scriptPath, text, error, &linkAt);
    if (!read) return refuse(error);
    const std::uint64_t stopAt = options.stopAt.value_or(linkAt.value_or(UINT64_MAX));
    std::vector<ScriptCommand> commands;
    ScriptError scriptError;
    if (!parseScript(text, commands, scriptError)) {
        const std::string name = options.link ? "<link>" : scriptName(options.scriptPath);
        std::fprintf(stderr, "%s:%d: %s\n", name.c_str(), scriptError.line, scriptError.message.c_str());
        return kExitBadInput;
    }
    text = std::string();

    std::FILE* traceFile = nullptr;
    const bool traceToStdout = options.tracePath == "-";
    if (traceToStdout) {
        traceFile = stdout;
    } else if (!options.tracePath.empty()) {
        traceFile = std::fopen(options.tracePath.c_str(), "wb");
        if (traceFile == nullptr)
            return refuse("cannot write trace '" + options.tracePath + "': " + std::strerror(errno));
    }

    startWorld();
    TraceWriter trace(traceFile);
    if (traceFile != nullptr) trace.writeHeader();
    SampleHook sample;
    if (traceFile != nullptr) sample = [&trace](std::uint64_t steps) { trace.writeSample(steps); };
    const RunSummary summary = runScript(commands, sample, options.every, stopAt);

    bool written = true;
    if (traceFile != nullptr) {
        written = std::fflush(traceFile) == 0 && std::ferror(traceFile) == 0;
        if (!traceToStdout && std::fclose(traceFile) != 0) written = false;
    }
    std::fprintf(stderr, "tremblo-sim: %" PRIu64 " steps, simTime %.9g s, %d moving points, %d active springs",
                 summary.steps, static_cast<double>(summary.simTime), summary.movingPoints, summary.activeSprings);
    if (summary.firstNonFiniteStep != 0) {
        std::fprintf(stderr, ", not finite after step %" PRIu64, summary.firstNonFiniteStep);
    }
    std::fputc('\n', stderr);
    if (options.hash) std::printf("%016" PRIx64 "\n", hashMovingPoints());
    if (!written) {
        std::fprintf(stderr, "tremblo-sim: error writing trace '%s'\n", options.tracePath.c_str());
        return kExitWriteFailed;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fputs("tremblo-sim: error writing standard output\n", stderr);
        return kExitWriteFailed;
    }
    return kExitDone;
}
