#include "app/window_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "run/apply_command.h"
#include "run/run_link.h"
#include "run/run_recorder.h"
#include "run/run_session.h"
#include "run/script.h"
#include "run/script_file.h"
#include "sim/time_step.h"
#include "sim/world.h"
#include "view/frame_pacing.h"
#include "view/grab_controls.h"
#include "view/render.h"

namespace {

std::string playText;
std::vector<ScriptCommand> playCommands;
std::string recordPath;
int recordFd = -1;
bool recordFileMade = false;  // the file did not exist before this start
bool recordingStarted = false;
std::FILE* recordFile = nullptr;
void (*setWindowTitle)(const char*) = nullptr;
std::optional<RunRecorder> recording;
RunRecorder* recorder = nullptr;  // &*recording while recording
std::optional<RunSession> session;
bool ended = false;
bool endWritten = true;

// At any exit before the recording started (the display could not be opened): a file this
// start made goes again; one that was there was never touched.
void takeBackUnstartedRecording() {
    if (!recordingStarted && recordFileMade) ::unlink(recordPath.c_str());
}

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

GrabControls grabControls([](const ScriptCommand& command) { return session->command(command); });

bool startsWith(const char* arg, const char* prefix) { return std::strncmp(arg, prefix, std::strlen(prefix)) == 0; }

const char* const kUsage = "usage: tremblo [RUN | --link FILE] [--at STEP|end] [--record FILE]";

// A step count (decimal, within 64 bits) or `end`.
bool readAtStep(const std::string& text, std::uint64_t& step) {
    if (text == "end") {
        step = UINT64_MAX;
        return true;
    }
    const char* last = text.data() + text.size();
    const auto [stop, fault] = std::from_chars(text.data(), last, step);
    return !text.empty() && fault == std::errc() && stop == last;
}

}  // namespace

bool parseWindowRunOptions(int argc, char** argv, WindowRunOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--link") == 0 || startsWith(arg, "--link=")) {
            std::string path;
            if (std::strcmp(arg, "--link") != 0) {
                path = arg + std::strlen("--link=");
            } else if (i + 1 < argc) {
                path = argv[++i];
            }
            if (path.empty()) {
                error = "--link needs a file (or - for standard input)";
                return false;
            }
            if (!options.playPath.empty()) {
                error = "more than one run given ('" + options.playPath + "' and --link)";
                return false;
            }
            options.playPath = path;
            options.playLink = true;
        } else if (std::strcmp(arg, "--at") == 0 || startsWith(arg, "--at=")) {
            if (options.atStep) {
                error = "--at given twice";
                return false;
            }
            std::string value;
            if (std::strcmp(arg, "--at") != 0) {
                value = arg + std::strlen("--at=");
            } else if (i + 1 < argc) {
                value = argv[++i];
            }
            std::uint64_t step = 0;
            if (!readAtStep(value, step)) {
                error = "--at needs a step count or 'end'" + (value.empty() ? "" : ", got '" + value + "'");
                return false;
            }
            options.atStep = step;
        } else if (std::strcmp(arg, "--record") == 0) {
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
            error = "unknown option '" + std::string(arg) + "' (" + kUsage + ")";
            return false;
        } else if (arg[0] == '-') {
            if ((std::strcmp(arg, "-display") == 0 || std::strcmp(arg, "-geometry") == 0) && i + 1 < argc) ++i;
        } else if (!options.playPath.empty()) {
            const std::string first = options.playLink ? "--link" : "'" + options.playPath + "'";
            error = "more than one run given (" + first + " and '" + arg + "')";
            return false;
        } else {
            options.playPath = arg;
        }
    }
    if (options.atStep && options.playPath.empty()) {
        error = std::string("--at needs a run to play (") + kUsage + ")";
        return false;
    }
    return true;
}

bool readWindowRun(const WindowRunOptions& options) {
    if (options.playPath.empty()) return true;
    // The run read from the record file (through any name) would be emptied by the recording.
    const bool readsFile = options.playLink || !isRunAddress(options.playPath);
    if (!options.recordPath.empty() && readsFile && wouldOverwrite(options.recordPath, options.playPath)) {
        std::fprintf(stderr,
                     "tremblo: --record '%s' is the %s it plays: recording would overwrite it; record to another file\n",
                     options.recordPath.c_str(), options.playLink ? "link" : "run");
        return false;
    }
    std::string error;
    const bool read = options.playLink ? readLinkFile(options.playPath, playText, error)
                                       : readScriptFile(options.playPath, playText, error);
    if (!read) {
        std::fprintf(stderr, "tremblo: %s\n", error.c_str());
        return false;
    }
    ScriptError scriptError;
    if (!parseScript(playText, playCommands, scriptError)) {
        const std::string name = options.playLink ? "<link>" : scriptName(options.playPath);
        std::fprintf(stderr, "%s:%d: %s\n", name.c_str(), scriptError.line, scriptError.message.c_str());
        return false;
    }
    return true;
}

bool openWindowRecording(const WindowRunOptions& options) {
    if (options.recordPath.empty()) return true;
    recordPath = options.recordPath;
    recordFd = ::open(recordPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    recordFileMade = recordFd >= 0;
    if (recordFd < 0 && errno == EEXIST) recordFd = ::open(recordPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (recordFd < 0) {
        std::fprintf(stderr, "tremblo: cannot write run '%s': %s\n", recordPath.c_str(), std::strerror(errno));
        return false;
    }
    std::atexit(takeBackUnstartedRecording);
    return true;
}

void playWindowRun(const WindowRunOptions& options) {
    session.emplace(nullptr, RunSession::WhilePlaying::InputTakesOver);
    session->play(std::move(playText), std::move(playCommands));
    if (!options.atStep) return;
    // Reached a thousand steps at a time: Ctrl-C, a kill or a closed terminal meanwhile ends a
    // start that failed, and a record file it made goes again.
    if (recordFileMade) {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, noteStopSignal);
    }
    while (session->playing() && session->playedSteps() < *options.atStep && stopSignal == 0) {
        session->reach(std::min(*options.atStep, session->playedSteps() + 1000));
    }
    if (stopSignal != 0) {
        takeBackUnstartedRecording();
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
    }
}

bool startWindowRun(void (*setTitle)(const char*)) {
    setWindowTitle = setTitle;
    if (recordFd >= 0) {
        // Only now, with the window open, is an earlier file's content replaced. A device
        // (/dev/null) is written as it is.
        struct stat file {};
        const bool regular = ::fstat(recordFd, &file) == 0 && S_ISREG(file.st_mode);
        if ((regular && ::ftruncate(recordFd, 0) != 0) || (recordFile = ::fdopen(recordFd, "wb")) == nullptr) {
            std::fprintf(stderr, "tremblo: cannot write run '%s': %s\n", recordPath.c_str(), std::strerror(errno));
            return false;
        }
        recordingStarted = true;
        recorder = &recording.emplace(recordFile);
    }
    session->record(recorder);
    idleHooks.waitForFrame = waitForFrameAndNote;
    if (recorder != nullptr) {
        std::signal(SIGINT, noteStopSignal);
        std::signal(SIGTERM, noteStopSignal);
        std::signal(SIGHUP, noteStopSignal);
    }
    return true;
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
    if (stepsSinceFrame != 0) return;
    // A frame was drawn: the grab's target, if it moved, then the steps since the last one go out.
    grabControls.frame();
    if (recorder == nullptr) return;
    const bool wasGood = recorder->good();
    recorder->flush();
    // Said at once, on the console and in the window's title, not only when the window
    // closes: the session goes on unrecorded.
    if (wasGood && !recorder->good()) {
        std::fprintf(stderr, "tremblo: error writing run '%s': %s; recording stopped\n", recordPath.c_str(),
                     std::strerror(errno));
        if (setWindowTitle != nullptr) {
            setWindowTitle(("tremblo: recording stopped: cannot write '" + recordPath + "'").c_str());
        }
    }
}

void onRunKey(unsigned char key, int x, int y) { session->key(key, x, y); }
void onRunMouse(int button, int state, int x, int y) { session->mouse(button, state, x, y); }

bool onRunGrabMouse(int button, int state, bool shift, int x, int y, int width, int height) {
    return grabControls.mouse(button, state, shift, x, y, windowCamera(), width, height);
}
void onRunGrabMotion(int x, int y, int width, int height) {
    grabControls.motion(x, y, windowCamera(), width, height);
}

bool endWindowRun() {
    if (ended || recorder == nullptr) return endWritten;
    ended = true;
    session->finish();
    endWritten = recorder->good();
    if (std::fclose(recordFile) != 0) endWritten = false;
    if (!endWritten) std::fprintf(stderr, "tremblo: error writing run '%s'\n", recordPath.c_str());
    return endWritten;
}
