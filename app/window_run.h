#pragma once

#include <string>

// The window's runs: `tremblo [RUN] [--record FILE]` plays RUN (a run file or a page address
// with #run=) at the window's pace, then hands the scene to the person; with --record, FILE
// gets the session as a run (the played run's lines first), flushed once a frame and ended
// with the state hash and the step count when the window closes. No GL here.

struct WindowRunOptions {
    std::string playPath;    // empty: nothing to play
    std::string recordPath;  // empty: nothing recorded
};

// tremblo's own arguments: one RUN and --record FILE (or --record=FILE). Arguments with a
// single dash are GLUT's and left to it, with the value of -display and -geometry. On a bad
// command line returns false with a one-line message in `error`.
bool parseWindowRunOptions(int argc, char** argv, WindowRunOptions& options, std::string& error);

// Reads and checks the whole run to play: on a fault prints one line (`RUN:LINE: message` for
// a bad line) and returns false.
bool readWindowRun(const WindowRunOptions& options);
// Creates the recording's file: on a fault prints one line and returns false.
bool openWindowRecording(const WindowRunOptions& options);

// Starts playing (after the first scene is built) and installs the idle hooks; Ctrl-C and
// kills then end the recording as closing the window does.
void startWindowRun();

// The callbacks of the window while a run plays or is recorded: they go through the session.
void onRunIdle();
void onRunDisplay();
void onRunKey(unsigned char key, int x, int y);
void onRunMouse(int button, int state, int x, int y);

// Ends the recording (the window closes); once only. Returns false, having said so, when the
// recording could not be written whole.
bool endWindowRun();
