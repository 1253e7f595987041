#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The window's runs: `tremblo [RUN | --link FILE] [--at STEP|end] [--record FILE]` plays RUN (a
// run file or a page address with #run=; with --link, the address held in FILE) at the window's
// pace, then hands the scene to the person; with --at, the run is first carried out at once up
// to that step, and plays on from there. A key or a button of the person's while it plays takes
// it over: it ends where it stands. With --record, FILE gets the session as a run (the played
// run's lines first), flushed once a frame and ended with the state hash and the step count
// when the window closes. No GL here.

struct WindowRunOptions {
    std::string playPath;    // empty: nothing to play
    bool playLink = false;   // playPath is a file holding a page address (--link)
    std::optional<std::uint64_t> atStep;  // --at; `end` is UINT64_MAX
    std::string recordPath;  // empty: nothing recorded
};

// tremblo's own arguments: one RUN or --link FILE, --at STEP (a step count, or `end`), and
// --record FILE (or --link=FILE, --at=STEP, --record=FILE). Arguments with a single dash are
// GLUT's and left to it, with the value of -display and -geometry. On a bad command line
// returns false with a one-line message in `error`.
bool parseWindowRunOptions(int argc, char** argv, WindowRunOptions& options, std::string& error);

// Reads and checks the whole run to play, and refuses a record file that is a file the run is
// read from: on a fault prints one line (`RUN:LINE: message` for a bad line) and returns false.
bool readWindowRun(const WindowRunOptions& options);
// Opens the recording's file, or creates it, without changing what it holds: a start that
// fails later leaves a file as it was, and takes away one it made. On a fault prints one line
// and returns false.
bool openWindowRecording(const WindowRunOptions& options);

// After the first scene is built and before the window opens: starts playing the run, carried
// out at once, without pacing or frames, up to the step of --at.
void playWindowRun(const WindowRunOptions& options);

// Once the window exists: empties the record file and starts recording into it (the lines
// played so far first) and installs the idle hooks; Ctrl-C, a kill and a
// closed terminal (SIGINT, SIGTERM, SIGHUP) then end the recording as closing the window does.
// `setTitle` sets the window's title: a recording that stops on a write error says so there.
// Returns false, having said why, when the record file cannot be emptied.
bool startWindowRun(void (*setTitle)(const char*));

// The callbacks of the window while a run plays or is recorded: they go through the session.
void onRunIdle();
void onRunDisplay();
void onRunKey(unsigned char key, int x, int y);
void onRunMouse(int button, int state, int x, int y);
// The grab (view/grab_controls.h), its take, move and let go carried out and recorded through
// the session like keys. `shift`: the shift key was down; width x height: the window's size.
// onRunGrabMouse is true when the event was the grab's. The moves go out at drawn frames.
bool onRunGrabMouse(int button, int state, bool shift, int x, int y, int width, int height);
void onRunGrabMotion(int x, int y, int width, int height);

// Ends the recording (the window closes); once only. Returns false, having said so, when the
// recording could not be written whole.
bool endWindowRun();
