// The grab under the pointer: the run's commands it sends, and the button events it keeps.

#include <gtest/gtest.h>

#include <algorithm>

#include "interaction/mouse.h"
#include "run/apply_command.h"
#include "sim/grab.h"
#include "tests/test_support.h"
#include "view/grab_controls.h"

using GrabControlsTest = WorldTest;

TEST_F(GrabControlsTest, APressOnAPointTakesItMovesGoOutOncePerFrameAndTheReleaseLetsGo) {
    const ViewCamera camera{0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, kFrustum};  // along +x, z up
    pointAt(5.0f, 0.0f, 0.0f, true);  // drawn at (400, 300)
    std::string sent;
    GrabControls grabs([&](const ScriptCommand& c) { sent += writeCommand(c); applyCommand(c); return true; });
    const auto left = [&](int state, bool shift, int y) {
        return grabs.mouse(kLeftButton, state, shift, 400, y, camera, 800, 600); };
    EXPECT_FALSE(left(kButtonDown, false, 300) || left(kButtonUp, false, 300)) << "a plain left drag pushes";
    EXPECT_TRUE(left(kButtonDown, true, 320) && left(kButtonUp, false, 320)) << "20 pixels off: no take, no push";
    EXPECT_TRUE(left(kButtonDown, true, 308));
    grabs.motion(400, 250, camera, 800, 600);
    grabs.motion(400, 210, camera, 800, 600);  // 90 pixels up, 5 units away: z = 1
    grabs.frame();
    grabs.frame();
    EXPECT_TRUE(left(kButtonUp, true, 210));
    EXPECT_TRUE(left(kButtonDown, true, 300));
    letGo();  // as a restart does: no moves after it, nothing to let go
    grabs.motion(400, 210, camera, 800, 600);
    grabs.frame();
    EXPECT_TRUE(left(kButtonUp, true, 210));
    EXPECT_EQ(sent, "take 0\nmove 5 0 1\nlet go\ntake 0\n");
}

// What a played run refuses is not kept: a refused take holds nothing (while the run holds a
// point of its own, the release must not let that go), and a refused move is tried once, not
// frame after frame. A frame sends only a motion it has not sent, and a pointer far out of the
// window gives a target within the run's range.
TEST_F(GrabControlsTest, KeepsNothingRefusedAndSendsOnlyNewTargetsWithinTheRunsRange) {
    const ViewCamera camera{0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, kFrustum};  // along +x, z up
    pointAt(5.0f, 0.0f, 0.0f, true);
    std::string sent;
    bool accepts = false;
    GrabControls grabs([&](const ScriptCommand& c) {
        sent += writeCommand(c);
        if (accepts) applyCommand(c);
        return accepts;
    });
    const auto left = [&](int state) { return grabs.mouse(kLeftButton, state, true, 400, 300, camera, 800, 600); };
    const auto moves = [&] { return std::count(sent.begin(), sent.end(), 'm'); };

    takePoint(0);  // the run's own
    EXPECT_TRUE(left(kButtonDown));
    grabs.motion(400, 250, camera, 800, 600);
    grabs.frame();
    EXPECT_TRUE(left(kButtonUp));
    EXPECT_EQ(sent, "take 0\n");

    letGo();
    accepts = true;
    sent.clear();
    left(kButtonDown);
    grabs.frame();
    EXPECT_EQ(sent, "take 0\n") << "no motion yet";
    grabs.motion(1000000, 300, camera, 800, 600);  // right of the window: toward -y
    grabs.frame();
    EXPECT_EQ(grab.target.y, -kMaxPosition);
    accepts = false;
    grabs.motion(400, 250, camera, 800, 600);
    for (int i = 0; i < 3; ++i) grabs.frame();
    accepts = true;
    grabs.frame();
    EXPECT_EQ(moves(), 2) << sent;
}
