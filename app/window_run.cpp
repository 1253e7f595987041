#include "app/window_run.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "run/apply_command.h"
#include "run/run_recorder.h"
#include "run/run_session.h"
#include "run/script.h"
#include "run/script_file.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_pacing.h"
#include "view/render.h"

namespace {

std::string playText;
std::vector<ScriptCommand> playCommands;
std::string recordPath;
std::FILE* recordFile = nullptr;
std::optional<RunRecorder> recording;
RunRecorder* recorder = nullptr;  // &*recording while recording
std::optional<RunSession> session;
bool ended = false;
bool endWritten = true;

volatile std::sig_atomic_t stopSignal = 0;
void noteStopSignal(int signal) { stopSignal = signal; }

// Set when an idle call did not step because a frame is due first.
bool frameDue = false;
void waitForFrameAndNote() {
    frameDue = true;
    waitForFrame();
}
bool windowIdleCall() {
    frameDue = false;
    onIdle();
    return !frameDue;
}

bool startsWith(const char* arg, const char* prefix) { return std::strncmp(arg, prefix, std::strlen(prefix)) == 0; }

}  // namespace

bool parseWindowRunOptions(int argc, char** argv, WindowRunOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--record") == 0) {
            if (i + 1 >= argc) {
                error = "--record needs a file";
                return false;
            }
            options.recordPath = argv[++i];
        } else if (startsWith(arg, "--record=")) {
            options.recordPath = arg + std::strlen("--record=");
            if (options.recordPath.empty()) {
                error = "--record needs a file";
                return false;
            }
        } else if (startsWith(arg, "--")) {
            error = "unknown option '" + std::string(arg) + "' (usage: tremblo [RUN] [--record FILE])";
            return false;
        } else if (arg[0] == '-') {
            if ((std::strcmp(arg, "-display") == 0 || std::strcmp(arg, "-geometry") == 0) && i + 1 < argc) ++i;
        } else if (!options.playPath.empty()) {
            error = "more than one run given ('" + options.playPath + "' and '" + arg + "')";
            return false;
        } else {
            options.playPath = arg;
        }
    }
    return true;
}

bool readWindowRun(const WindowRunOptions& options) {
    if (!options.playPath.empty()) {
        std::string error;
        if (!readScriptFile(options.playPath, playText, error)) {
            std::fprintf(stderr, "tremblo: %s\n", error.c_str());
            return false;
        }
        ScriptError scriptError;
        if (!parseScript(playText, playCommands, scriptError)) {
            std::fprintf(stderr, "%s:%d: %s\n", scriptName(options.playPath).c_str(), scriptError.line,
                         scriptError.message.c_str());
            return false;
        }
    }
    return true;
}

bool openWindowRecording(const WindowRunOptions& options) {
    if (!options.recordPath.empty()) {
        recordPath = options.recordPath;
        recordFile = std::fopen(recordPath.c_str(), "wb");
        if (recordFile == nullptr) {
            std::fprintf(stderr, "tremblo: cannot write run '%s': %s\n", recordPath.c_str(), std::strerror(errno));
            return false;
        }
        recorder = &recording.emplace(recordFile);
    }
    return true;
}

void startWindowRun() {
    session.emplace(recorder);
    session->play(std::move(playText), std::move(playCommands));
    idleHooks.waitForFrame = waitForFrameAndNote;
    if (recorder != nullptr) {
        std::signal(SIGINT, noteStopSignal);
        std::signal(SIGTERM, noteStopSignal);
    }
}

void onRunIdle() {
    if (stopSignal != 0) {
        // Ended as a close would end it, then the signal does what it does by default.
        const int signal = stopSignal;
        endWindowRun();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    session->idle(windowIdleCall);
}

void onRunDisplay() {
    onDisplay();
    // A frame was drawn: the steps since the last one go out.
    if (recorder == nullptr || stepsSinceFrame != 0) return;
    const bool wasGood = recorder->good();
    recorder->flush();
    // Said at once, not only when the window closes: the session goes on unrecorded.
    if (wasGood && !recorder->good()) {
        std::fprintf(stderr, "tremblo: error writing run '%s': %s; recording stopped\n", recordPath.c_str(),
                     std::strerror(errno));
    }
}

void onRunKey(unsigned char key, int x, int y) { session->key(key, x, y); }
void onRunMouse(int button, int state, int x, int y) { session->mouse(button, state, x, y); }

bool endWindowRun() {
    if (ended || recorder == nullptr) return endWritten;
    ended = true;
    session->finish();
    endWritten = recorder->good();
    if (std::fclose(recordFile) != 0) endWritten = false;
    if (!endWritten) std::fprintf(stderr, "tremblo: error writing run '%s'\n", recordPath.c_str());
    return endWritten;
}
