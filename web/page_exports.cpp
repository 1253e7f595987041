// What the page's script calls (web/page/module_api.js, the one script that does): the same
// keyboard and mouse callbacks as the window, the main loop, and what to draw and show.
// Pointers are byte offsets into the module's memory.
#include <emscripten/emscripten.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "interaction/console_text.h"
#include "interaction/keyboard.h"
#include "interaction/mouse.h"
#include "model/mass_point.h"
#include "run/apply_command.h"
#include "run/script.h"
#include "run/script_runner.h"
#include "run/state_hash.h"
#include "run/timeline.h"
#include "sim/energy.h"
#include "sim/grab.h"
#include "sim/scene_counts.h"
#include "sim/settings.h"
#include "sim/world.h"
#include "view/camera.h"
#include "view/frame_clock.h"
#include "view/frame_view.h"
#include "view/pick.h"
#include "view/view_controls.h"
#include "web/page_loop.h"

static_assert(sizeof(ViewCamera) == 15 * sizeof(double), "the script reads the camera as 15 doubles");
static_assert(sizeof(RoomQuad) == 15 * sizeof(float), "the script reads a quad as 15 floats");
static_assert(sizeof(Vec3) == 3 * sizeof(float), "the script reads positions as 3 floats each");

namespace {

FrameView frame;
ViewControls viewControls(frame.orbit);

// The status line and the energy plot, read by the script as doubles; the
// switches are webFlags'.
enum StatusField { kSimTime, kSteps, kStepMs, kMovingPoints, kActiveSprings, kKinetic, kGravitational, kSpring,
                   kStatusFields };
double status[kStatusFields];

// A run handed over by the script (bytes), the reader's message about it, the recording as
// text, and the state hash as 16 hex digits.
std::string runBytes;
std::string runMessage;
std::string runText;
char hashText[17];

// The timeline and the run for the script; see webRunState.
double runState[11];

// Anything of the person's recorded: keys, buttons, live steps, the panel's scenes and settings.
bool personActed = false;
// A recording of more steps than this (5 s of simulated time) is worth asking about even
// without the person's input.
constexpr std::uint64_t kStepsWorthKeeping = 10000;

// The point the person's pointer took, and the plane it is dragged in: through where the point
// was at the take, facing the eye. The core lets go of it on a restart, a scene command or a
// pin, and a run's own `take` replaces it; the pointer's grab is over then, and on a jump.
const MassPoint* pointerHolds = nullptr;
Vec3 dragPlaneThrough{};

bool pointerStillHolds() { return pointerHolds != nullptr && grab.point == pointerHolds; }

// What webGrab hands the script: whose grab it is (0 none, 1 a run's, 2 the pointer's); whether
// it can be drawn (1: the point and the target are near the room, as camera.h has it); then the
// held point's position and the target.
float grabShown[8];

// The person's turn: the run's future is cut where the world is (run/timeline.h), and a jump on
// its way ends there.
void personCommand(const ScriptCommand& command) {
    pageTimeline().command(command);
    tookOver();
    personActed = true;
}

void pointerLetsGo() {
    if (pointerStillHolds()) personCommand(ScriptCommand{CommandKind::LetGo, 0, 0, 0, 0, 0, 0});
    pointerHolds = nullptr;
}

float withinScene(float v) { return v < -kMaxPosition ? -kMaxPosition : v > kMaxPosition ? kMaxPosition : v; }

// Reads the run in the buffer; a bad one: false, with the reader's message, named as from
// `source`, in runMessage.
bool readBuffer(const char* source, std::vector<ScriptCommand>& commands) {
    ScriptError error;
    const bool good = parseScript(runBytes, commands, error);
    runBytes = std::string();
    if (!good) runMessage = std::string(source) + ":" + std::to_string(error.line) + ": " + error.message;
    return good;
}

}  // namespace

extern "C" {

// The window's start: the one-cube scene before anything else, the start of the timeline.
EMSCRIPTEN_KEEPALIVE void webStart() {
    startWorld();
    pageTimeline().start();
}

EMSCRIPTEN_KEEPALIVE int webRunUntilFrame() { return runUntilFrame(frameClock) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE int webMsUntilFrame() { return msUntilFrame(frameClock()); }
EMSCRIPTEN_KEEPALIVE int webHasWork() { return hasWork() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void webSetPaused(int paused) { setPaused(paused != 0); }
EMSCRIPTEN_KEEPALIVE int webPaused() { return isPaused() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void webSetStepsPerFrame(int steps) { setStepsPerFrame(static_cast<std::uint32_t>(steps)); }

// One step forward, paused: at the run's end a step of the person's, recorded.
EMSCRIPTEN_KEEPALIVE void webStepOnce() {
    if (pageTimeline().atEnd()) personActed = true;
    stepOnce();
}

// Goes to a step of the run, paused (not recorded); the work is done by webRunUntilFrame.
EMSCRIPTEN_KEEPALIVE void webJump(double step) {
    pointerHolds = nullptr;
    jumpTo(step <= 0 ? 0 : static_cast<std::uint64_t>(step));
}
EMSCRIPTEN_KEEPALIVE void webCancelJump() { cancelJump(); }
EMSCRIPTEN_KEEPALIVE void webForward(int steps) {
    if (pageTimeline().atEnd()) personActed = true;
    forward(static_cast<std::uint64_t>(steps));
}

// Canvas pixels, y down; the toolkit's button and state codes. Both recorded (at a step before
// the run's end, after cutting its future off).
EMSCRIPTEN_KEEPALIVE void webKey(int key, int x, int y) {
    pageTimeline().key(static_cast<unsigned char>(key), x, y);
    tookOver();
    personActed = true;
}
EMSCRIPTEN_KEEPALIVE void webMouse(int button, int state, int x, int y) {
    pageTimeline().mouse(button, state, x, y);
    tookOver();
    personActed = true;
}

// Room for a run of `size` bytes, which the script fills before webPlayRun.
EMSCRIPTEN_KEEPALIVE char* webRunBuffer(int size) {
    runBytes.assign(static_cast<std::size_t>(size), '\0');
    return runBytes.data();
}

// Reads the run in the buffer and puts the whole of it on the timeline: played from its start at
// the page's pace (then paused, with `pauseAtEnd`), or, with `at` of 0 or more, shown at that
// step, paused. A bad run: 0, nothing played, and the reader's message in webRunMessage.
EMSCRIPTEN_KEEPALIVE int webPlayRun(int pauseAtEnd, double at) {
    std::vector<ScriptCommand> commands;
    if (!readBuffer("<link>", commands)) return 0;
    pointerHolds = nullptr;
    const std::uint64_t step = at <= 0 ? 0 : static_cast<std::uint64_t>(at);
    loadRun(std::move(commands), pauseAtEnd != 0, at >= 0 ? &step : nullptr);
    return 1;
}

// The panel's commands in the buffer (a scene from the editor or the menu, settings), as the
// run's future from where the world is: 1. A bad line: 0, nothing carried out, the reader's
// message in webRunMessage.
EMSCRIPTEN_KEEPALIVE int webPlayCommands() {
    std::vector<ScriptCommand> commands;
    if (!readBuffer("<editor>", commands)) return 0;
    // A point the pointer holds is let go first.
    pointerLetsGo();
    playCommands(std::move(commands));
    personActed = true;
    return 1;
}

// Gives setting `index` the value, as a `set` command of the run, recorded in the shortest
// form that reads back the same float (a switch as on or off): 1. Refused (0, the reason in
// webRunMessage) for a value outside the setting's range and a switch's value other than 0 or 1.
EMSCRIPTEN_KEEPALIVE int webChangeSetting(int index, double value) {
    if (index < 0 || index >= kSettingCount) {
        runMessage = "no setting " + std::to_string(index) + " (there are " + std::to_string(kSettingCount) + ")";
        return 0;
    }
    SceneArguments set;
    set.setting = index;
    set.value = static_cast<float>(value);
    const SettingInfo& info = kSettings[index];
    // The writer writes any other value as on, which would read back as 1.
    if (info.isSwitch && value != 0.0 && value != 1.0) {
        char given[32];
        std::snprintf(given, sizeof given, "%.17g", value);
        runMessage = std::string(info.name) + " is a switch: 0 (off) or 1 (on), not " + given;
        return 0;
    }
    if (!(set.value >= info.low && set.value <= info.high)) {
        runMessage = std::string(info.name) + " out of range: " + floatText(set.value) + " (from " +
                     floatText(info.low) + " to " + floatText(info.high) + " " + info.unit + ")";
        return 0;
    }
    ScriptCommand command{CommandKind::Set, 0, 0, 0, 0, 0, 0};
    command.scene = HeldArguments(set);
    personCommand(command);
    return 1;
}

// The grab, in window pixels of a picture width x height, y down, seen through the camera of the
// frame drawn last (what the person sees). Takes the moving point drawn nearest (x, y) within
// `radius` pixels, as a `take` command of the run: its number, or -1 when none is that near, and
// then nothing is taken.
EMSCRIPTEN_KEEPALIVE int webGrabTake(double x, double y, int width, int height, double radius) {
    const PointPick pick = pickMovingPoint(frame.camera, width, height, x, y, radius);
    if (pick.number < 0) return -1;
    personCommand(ScriptCommand{CommandKind::Take, 0, 0, 0, pick.number, 0, 0});
    if (grab.point == nullptr) return -1;
    pointerHolds = grab.point;
    dragPlaneThrough = pick.at;
    return pick.number;
}

// Moves the target of the pointer's grab to where the ray through (x, y) meets its plane, as a
// `move` command of the run: 1. 0 when the pointer holds nothing any more (the core let go, or
// a jump), and then nothing is recorded.
EMSCRIPTEN_KEEPALIVE int webGrabMove(double x, double y, int width, int height) {
    if (!pointerStillHolds()) {
        pointerHolds = nullptr;
        return 0;
    }
    Vec3 target;
    if (!pointerOnPlane(frame.camera, width, height, x, y, dragPlaneThrough, target)) return 1;
    SceneArguments move;
    // Within the positions a run may hold, so that the recording reads back.
    move.at[0] = withinScene(target.x);
    move.at[1] = withinScene(target.y);
    move.at[2] = withinScene(target.z);
    ScriptCommand command{CommandKind::Move, 0, 0, 0, 0, 0, 0};
    command.scene = HeldArguments(move);
    personCommand(command);
    return 1;
}

// The pointer lets go: a `let go` command of the run, unless the core let go already.
EMSCRIPTEN_KEEPALIVE void webGrabLetGo() { pointerLetsGo(); }

// The grab as the core holds it: 8 floats (see grabShown).
EMSCRIPTEN_KEEPALIVE const float* webGrab() {
    const MassPoint* p = grab.point;
    grabShown[0] = p == nullptr ? 0.0f : pointerStillHolds() ? 2.0f : 1.0f;
    grabShown[1] = p != nullptr && nearTheRoom(p->position) && nearTheRoom(grab.target) ? 1.0f : 0.0f;
    if (grabShown[1] != 0.0f) {
        const Vec3 at[2] = {p->position, grab.target};
        for (int i = 0; i < 2; ++i) {
            grabShown[2 + 3 * i] = at[i].x;
            grabShown[3 + 3 * i] = at[i].y;
            grabShown[4 + 3 * i] = at[i].z;
        }
    }
    return grabShown;
}

// The physical settings (sim/settings.h): name, unit, whether it is a switch (1: its value is
// 0 or 1, off or on), range and design value, current value.
EMSCRIPTEN_KEEPALIVE int webSettingCount() { return kSettingCount; }
EMSCRIPTEN_KEEPALIVE const char* webSettingName(int i) { return kSettings[i].name; }
EMSCRIPTEN_KEEPALIVE const char* webSettingUnit(int i) { return kSettings[i].unit; }
EMSCRIPTEN_KEEPALIVE int webSettingIsSwitch(int i) { return kSettings[i].isSwitch ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const double* webSettingRange(int i) {
    static double range[3];
    range[0] = kSettings[i].low;
    range[1] = kSettings[i].high;
    range[2] = kSettings[i].design();
    return range;
}
EMSCRIPTEN_KEEPALIVE double webSettingValue(int i) { return settings.*kSettings[i].value; }

EMSCRIPTEN_KEEPALIVE const char* webRunMessage() { return runMessage.c_str(); }

// The run as text, webRunTextSize bytes at webRunText (it may hold any byte): `toHere` 1, as
// far as the world has come, ending in the end comment with the state hash shown (a download:
// it replays to the picture); 0, the whole run (a link, which names the step to show beside it),
// with the end comment where the world is at the run's end.
EMSCRIPTEN_KEEPALIVE const char* webRunText(int toHere) {
    const Timeline& timeline = pageTimeline();
    runText = toHere != 0 ? timeline.textToHere() : timeline.text();
    if (toHere != 0 || (timeline.atEnd() && timeline.reached())) runText += runEndLine(hashMovingPoints(), timeline.at());
    return runText.data();
}
EMSCRIPTEN_KEEPALIVE int webRunTextSize() { return static_cast<int>(runText.size()); }

// The step shown, the run's length, whether the world is at its end (the person's turn), a jump
// (on its way, from, to, commands carried out), the step the scene blew up by (-1: it did not),
// whether the recording is worth asking about before the page is left, steps a frame, and the
// simulated time.
EMSCRIPTEN_KEEPALIVE const double* webRunState() {
    const Timeline& timeline = pageTimeline();
    const JumpProgress& jump = jumpProgress();
    runState[0] = static_cast<double>(timeline.at());
    runState[1] = static_cast<double>(timeline.length());
    runState[2] = timeline.atEnd() ? 1 : 0;
    runState[3] = jump.going ? 1 : 0;
    runState[4] = static_cast<double>(jump.from);
    runState[5] = static_cast<double>(jump.goal);
    runState[6] = static_cast<double>(jump.commands);
    runState[7] = static_cast<double>(blownUpByStep());
    runState[8] = personActed || timeline.length() > kStepsWorthKeeping ? 1 : 0;
    runState[9] = static_cast<double>(stepsPerFrame());
    runState[10] = simTime;
    return runState;
}

EMSCRIPTEN_KEEPALIVE double webSnapshotBytes() { return static_cast<double>(pageTimeline().snapshotBytes()); }

// The same hash as tremblo-sim --hash prints.
EMSCRIPTEN_KEEPALIVE const char* webStateHash() {
    std::snprintf(hashText, sizeof hashText, "%016" PRIx64, hashMovingPoints());
    return hashText;
}

// The view: the middle button and the wheel in the toolkit's codes (1 if the event was the
// view's, 0 if it is the simulation's), pointer motion in canvas pixels, and the touch
// gestures: a turn by a drag of (dx, dy) canvas pixels, a zoom by a distance factor.
EMSCRIPTEN_KEEPALIVE int webViewMouse(int button, int state, int x, int y) {
    return viewControls.mouse(button, state, x, y) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE void webViewMotion(int x, int y) { viewControls.motion(x, y); }
EMSCRIPTEN_KEEPALIVE void webTurnView(double dx, double dy) { viewControls.turnByDrag(dx, dy); }
EMSCRIPTEN_KEEPALIVE void webZoomView(double factor) { frame.orbit.zoom(factor); }
EMSCRIPTEN_KEEPALIVE void webResetView() { frame.orbit.reset(); }

// Fills the frame; the accessors below read it.
EMSCRIPTEN_KEEPALIVE void webDescribeFrame() { describeFrame(frame); }
EMSCRIPTEN_KEEPALIVE const ViewCamera* webCamera() { return &frame.camera; }
EMSCRIPTEN_KEEPALIVE const RoomQuad* webRoom() { return frame.room.data(); }
EMSCRIPTEN_KEEPALIVE const Vec3* webSpringEnds() { return frame.springEnds.data(); }
EMSCRIPTEN_KEEPALIVE int webSpringEndCount() { return static_cast<int>(frame.springEnds.size()); }
EMSCRIPTEN_KEEPALIVE const Vec3* webPoints() { return frame.points.data(); }
EMSCRIPTEN_KEEPALIVE int webPointCount() { return static_cast<int>(frame.points.size()); }

// The springs' and points' colours (r, g, b each) and the points' cube edge; the grab's colour
// and the edge of the cube that marks its target.
EMSCRIPTEN_KEEPALIVE const float* webStyle() {
    static const float style[11] = {kSpringColour.r, kSpringColour.g, kSpringColour.b, kPointColour.r,
                                    kPointColour.g,  kPointColour.b,  kPointEdge,      kGrabColour.r,
                                    kGrabColour.g,   kGrabColour.b,   kGrabTargetEdge};
    return style;
}

// Flags as bits: 1 gravity, 2 volume, 4 plastic, 8 breakable, 16 push plane y-z.
EMSCRIPTEN_KEEPALIVE int webFlags() {
    return (gravityOn ? 1 : 0) | (volumeOn ? 2 : 0) | (plasticOn ? 4 : 0) | (breakableOn ? 8 : 0) |
           (pushPlaneYZ ? 16 : 0);
}

EMSCRIPTEN_KEEPALIVE const double* webStatus() {
    const StepStats& stats = stepStats();
    const SceneEnergy energy = sceneEnergy();
    status[kSimTime] = simTime;
    status[kSteps] = static_cast<double>(stats.steps);
    status[kStepMs] = stats.stepMs;
    status[kMovingPoints] = countMovingPoints();
    status[kActiveSprings] = countActiveSprings();
    status[kKinetic] = energy.kinetic;
    status[kGravitational] = energy.gravitational;
    status[kSpring] = energy.spring;
    return status;
}

EMSCRIPTEN_KEEPALIVE int webConsoleTextCount() { return kConsoleTextCount; }
EMSCRIPTEN_KEEPALIVE const char* webConsoleText(int i) { return consoleTexts[i]; }

}  // extern "C"
