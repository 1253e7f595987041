// The window program: builds the first scene, opens the window, registers the callbacks,
// prints the banner and the key help, and hands control to GLUT until the window closes. It
// may play a run first and record the session (app/window_run.h).
#if __has_include(<GL/freeglut.h>)
#include <GL/freeglut.h>
#else
#include <GL/glut.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/window_run.h"
#include "run/apply_command.h"
#include "interaction/console_text.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "sim/time_step.h"
#include "view/render.h"
#include "view/view_controls.h"

namespace {

const char* const kWithoutDesktop =
    "start it on a desktop, or in a virtual X server with `xvfb-run -a make run`; to simulate without a "
    "window, use the headless runner tremblo-sim";

// Without an X display GLUT can only fail; say so in one line, and where to go instead. A
// display named on the command line (-display HOST:N, which GLUT takes) counts like DISPLAY.
bool haveDisplay(int argc, char** argv) {
    const char* display = std::getenv("DISPLAY");
    if (display != nullptr && display[0] != '\0') return true;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-display") == 0) return true;
    }
    return false;
}

// The view's controls (middle button, wheel) take their events; a left press with shift and
// its release are the grab's; the other left and right events go to the simulation's onMouse,
// through the run session, as they always did. The view is no part of a run.
ViewControls& viewControls() {
    static ViewControls controls(windowView());
    return controls;
}

void onWindowMouse(int button, int state, int x, int y) {
    if (viewControls().mouse(button, state, x, y)) return;
    const bool shift = (glutGetModifiers() & GLUT_ACTIVE_SHIFT) != 0;
    if (onRunGrabMouse(button, state, shift, x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT))) return;
    onRunMouse(button, state, x, y);
}

void onWindowMotion(int x, int y) {
    viewControls().motion(x, y);
    onRunGrabMotion(x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT));
}

#ifdef FREEGLUT
const char* programName = "tremblo";

// GLUT's fatal errors. A display that cannot be opened gets one line with the same advice;
// any other keeps GLUT's own wording. GLUT cannot go on after one, so neither does the program.
[[noreturn]] void onToolkitError(const char* format, va_list args) {
    if (std::strstr(format, "failed to open display") != nullptr) {
        std::fprintf(stderr, "tremblo: ");
        std::vfprintf(stderr, format, args);
        std::fprintf(stderr, ": %s\n", kWithoutDesktop);
    } else {
        std::fprintf(stderr, "freeglut (%s): ", programName);
        std::vfprintf(stderr, format, args);
        std::fputc('\n', stderr);
    }
    std::exit(1);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // A run to play and a file to record to: a bad one is refused before any window opens.
    WindowRunOptions runOptions;
    std::string runError;
    if (!parseWindowRunOptions(argc, argv, runOptions, runError)) {
        std::fprintf(stderr, "tremblo: %s\n", runError.c_str());
        return 2;
    }
    if (!readWindowRun(runOptions)) return 2;
    if (!haveDisplay(argc, argv)) {
        std::fprintf(stderr, "tremblo: no display (DISPLAY is not set): %s\n", kWithoutDesktop);
        return 1;
    }
    // Opened here to be refused before any window opens, but emptied only once it is open.
    if (!openWindowRecording(runOptions)) return 2;

    // The first scene exists before the toolkit and the window do.
    startWorld();

#ifdef FREEGLUT
    // Added to the start-up order: GLUT's own error messages, before it can fail.
    programName = argv[0];
    glutInitErrorFunc(onToolkitError);
#endif
    glutInit(&argc, argv);
    // With the display open: the run starts, carried out at once up to the step of --at, so
    // that the window opens there.
    playWindowRun(runOptions);
    glutInitDisplayMode(GLUT_DOUBLE | GLUT_DEPTH | GLUT_RGB);
    glutInitWindowSize(800, 600);
    glutInitWindowPosition(0, 0);
    glutCreateWindow(argv[0]);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    // Keys, buttons and steps go to the core through the run session, which plays a run (the
    // person's input takes it over) and records the person's.
    glutDisplayFunc(onRunDisplay);
    glutReshapeFunc(onReshape);
    glutKeyboardFunc(onRunKey);
    glutMouseFunc(onWindowMouse);
    glutIdleFunc(onRunIdle);
    // Added: a drag with the middle button held turns the view, one with shift and the left
    // button pulls the point taken.
    glutMotionFunc(onWindowMotion);
#ifdef FREEGLUT
    // Closing the window ends the recording, and then the program.
    glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_GLUTMAINLOOP_RETURNS);
    glutCloseFunc([] { endWindowRun(); });
#endif

    // The banner and the key help, one text at a time (the page shows the same texts).
    for (const char* text : consoleTexts) std::printf("%s", text);
    // A pipe would otherwise hold the help back until the process ends.
    std::fflush(stdout);

    glEnable(GL_DEPTH_TEST);

    // Added to the start-up order: the idle callback's hooks into the window. It asks for a
    // redisplay after every call, and while the simulation is a frame ahead it sleeps until
    // that frame is due instead of spinning a processor core through idle calls.
    idleHooks.requestRedisplay = glutPostRedisplay;
    if (!startWindowRun(glutSetWindowTitle)) return 2;

    glutMainLoop();
    return endWindowRun() ? 0 : 1;
}
