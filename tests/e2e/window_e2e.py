#!/usr/bin/env python3
"""End-to-end test of the window program: the real binary in a private Xvfb, played with keys
and a mouse drag through xdotool, checked on its console and on screenshots of its window.

    window_e2e.py PROGRAM [--screenshot PNG]

With --screenshot, a picture of the twenty-cube row, landed, is saved there (the README's picture).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree

from picture import FAR_WALL, FLOOR, NEAR_WALL, POINT, SPRING, body_box, cube_corners, expected_cube_box  # noqa: E402
from xsession import Demo, XServer, wait_for  # noqa: E402

CONSOLE = (b"tremblo 0.1\n"
           b"*********************\n\n"
           b"press '1' up to '7' to restart with 'x' cubes\n"
           b"press 'x' to use forces in xz direction, x again for yz direction.\n"
           b"press '3' to restart with three cubes\n"
           b"press 'p' to restart with a pendulum\n"
           b"press 'q' to restart with a cube, sticky to the wall.\n"
           b"press 'z' to make the springs destroyable/undestroyable\n"
           b"press 'u' to make the springs plastic/elastic\n"
           b"press 'g' to turn on/off the gravity\n"
           b"press 'v' to turn on/off the volume constraint\n")

# The one-cube scene: a unit cube with corner 0 at (0, 0, 2), and the same cube on the floor.
HANGING = cube_corners(0.0, 0.0, 2.0)
LANDED = cube_corners(0.0, 0.0, 0.0)

# A resting cube still trembles by a pixel here and there, a moving one changes thousands.
STILL_PIXELS = 1000
# How long a picture must stay the same to count as still, in seconds.
STILL_TIME = 3.0


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def stays_the_same(demo, reference, seconds=STILL_TIME):
    """True when every screenshot over the next seconds equals reference."""
    deadline = time.monotonic() + seconds
    shots = 0
    while time.monotonic() < deadline or shots < 3:
        if demo.screenshot() != reference:
            return False
        shots += 1
        time.sleep(0.2)
    return True


def settled(demo):
    """The last of three or more screenshots over a second or more, each barely different from the
    one before; None while the picture still moves."""
    shots = [demo.screenshot()]
    start = time.monotonic()
    while len(shots) < 3 or time.monotonic() - start < 1.0:
        time.sleep(0.4)
        shots.append(demo.screenshot())
        if shots[-2].differing_pixels(shots[-1]) >= STILL_PIXELS:
            return None
    return shots[-1]


def test_without_display(program):
    """No DISPLAY, or one that no X server answers (named by DISPLAY or by -display): one line of
    advice and a failure status."""
    no_display = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    unanswered = dict(no_display, DISPLAY=":64999")
    for args, env, hints in (([], no_display, ("DISPLAY", "xvfb-run", "tremblo-sim")),
                             ([], unanswered, (":64999", "xvfb-run", "tremblo-sim")),
                             (["-display", ":64998"], no_display, (":64998", "xvfb-run", "tremblo-sim"))):
        result = subprocess.run([program, *args], env=env, capture_output=True, text=True, timeout=60)
        check(result.returncode != 0, "without a display the program must fail, it returned 0")
        check(result.stdout == "", "without a display nothing goes to stdout, got %r" % result.stdout)
        lines = result.stderr.splitlines()
        check(len(lines) == 1, "without a display one line of explanation, got %r" % result.stderr)
        for hint in hints:
            check(hint in lines[0], "the no-display line names %s: %r" % (hint, lines[0]))


def test_display_option(program, workdir):
    """-display names the X server when DISPLAY is unset: the window opens there."""
    server = XServer()
    demo = Demo(program, server, workdir, display_option=True)
    try:
        test_console(demo)
    finally:
        demo.stop()
        server.stop()


def test_toolkit_error(program):
    """A fatal toolkit error other than a display that cannot be opened keeps GLUT's own words."""
    server = XServer(extra=("-extension", "GLX"))
    try:
        result = subprocess.run([program], env=server.env(), capture_output=True, text=True, timeout=60)
    finally:
        server.stop()
    check(result.returncode != 0, "without OpenGL the program must fail, it returned 0")
    lines = result.stderr.splitlines()
    check(len(lines) == 1 and lines[0].startswith("freeglut (") and "xvfb-run" not in lines[0],
          "GLUT's own one-line message, without the display advice, got %r" % result.stderr)


def test_console(demo):
    wait_for(lambda: len(demo.stdout()) >= len(CONSOLE), "the banner and the help on stdout")
    check(demo.stdout() == CONSOLE, "stdout is exactly the eleven texts, got:\n%s" % demo.stdout().decode())


def test_window(demo, program):
    check(demo.title() == program, "window title %r, expected the program's path %r" % (demo.title(), program))
    check(demo.geometry() == (0, 0, 800, 600), "window at (0, 0), 800 x 600, got %r" % (demo.geometry(),))


def test_first_picture(demo):
    def drawn():
        shot = demo.screenshot()
        counts = {c: shot.count(c) for c in (FLOOR, NEAR_WALL, SPRING, POINT)}
        return (shot, counts) if min(counts.values()) > 0 else None

    shot, counts = wait_for(drawn, "a frame with floor, near wall, springs and points")
    check(counts[FLOOR] > 50000 and counts[NEAR_WALL] > 20000,
          "the floor and the near wall fill much of the picture: %r" % counts)
    check(counts[SPRING] > 300 and counts[POINT] > 200, "springs and points of a whole cube are drawn: %r" % counts)
    # Wherever the cube is in its fall, the camera follows it: it stays between where it hangs
    # at the start and where it lands.
    box = body_box(shot)
    hanging, landed = expected_cube_box(HANGING), expected_cube_box(LANDED)
    slack = 10
    check(box.left >= min(hanging.left, landed.left) - slack and box.right <= max(hanging.right, landed.right) + slack
          and box.top >= min(hanging.top, landed.top) - slack
          and box.bottom <= max(hanging.bottom, landed.bottom) + slack,
          "the cube is drawn at %r, between %r and %r" % (box, hanging, landed))


def restart_hanging(demo):
    """'1' until the picture shows the one-cube scene at its start and it stays still."""
    expected = expected_cube_box(HANGING)

    def hanging():
        demo.keys("1")
        shot = demo.screenshot()
        box = body_box(shot)
        return shot if box is not None and box.within(expected, 3) and stays_the_same(demo, shot, 1.0) else None

    return wait_for(hanging, "the cube hanging still where it starts (%r)" % expected)


def test_gravity_off_then_restart(demo):
    """'g' then '1' leaves the cube hanging still at its start; '8' and 'G' change nothing."""
    demo.keys("g", "1")
    still = restart_hanging(demo)
    check(stays_the_same(demo, still), "with gravity off, the restarted cube hangs still")
    demo.keys("8", "shift+g")
    check(stays_the_same(demo, still), "'8' and 'G' change nothing")
    check(demo.running(), "the program still runs")
    return still


def test_right_drag(demo, still):
    """A right drag to the right pushes the hanging cube toward +y."""
    # Which way +y runs on the screen, from the camera, following the cube as it does.
    here = expected_cube_box(HANGING).centre
    moved = expected_cube_box([(x, y + 1.0, z) for x, y, z in HANGING]).centre
    plus_y = (moved[0] - here[0], moved[1] - here[1])
    check(plus_y[0] > 10 and abs(plus_y[1]) < plus_y[0] / 2, "camera model: +y runs to the right, got %r" % (plus_y,))

    start = body_box(still).centre
    demo.right_drag((250, 450), (550, 450))

    def shift():
        box = body_box(demo.screenshot())
        d = (box.centre[0] - start[0], box.centre[1] - start[1]) if box else (0, 0)
        return d if abs(d[0]) + abs(d[1]) >= 10 else None

    # The first clear move tells the direction; a push the wrong way would come back only
    # after a bounce off the near wall.
    d = wait_for(shift, "the cube to move after the drag")
    check(d[0] > 0 and abs(d[1]) < d[0], "a right drag to the right moves the cube toward +y (right on screen), "
          "it moved by %r" % (d,))

    # A restart brings back the very same start.
    check(restart_hanging(demo) == still, "restarting gives the same picture as the first restart")


def test_view(demo, still):
    """A middle drag turns the view and the wheel zooms it, changing only the picture: a middle
    click gives back the very picture of the fixed view."""
    demo.drag(2, (300, 300), (480, 360))
    turned = wait_for(lambda: (lambda s: s if s.differing_pixels(still) > 10 * STILL_PIXELS else None)(demo.screenshot()),
                      "the picture to turn after a middle drag")
    demo.click(4, (400, 300))
    wait_for(lambda: demo.screenshot().differing_pixels(turned) > STILL_PIXELS, "the picture to zoom after a wheel notch")
    demo.click(2, (400, 300))
    wait_for(lambda: demo.screenshot() == still, "the fixed view's very picture after a middle click")


def test_fall_and_settle(demo, still):
    """Gravity back on: the picture changes as the cube falls, then settles on the floor."""
    demo.keys("g")
    wait_for(lambda: demo.screenshot().differing_pixels(still) > 10 * STILL_PIXELS, "the cube to fall")
    landed = wait_for(lambda: settled(demo), "the picture to settle")
    box, expected = body_box(landed), expected_cube_box(LANDED)
    check(box.within(expected, 8), "the cube rests on the floor at %r, expected %r" % (box, expected))
    return box


def test_longer_rows(demo, one_cube, screenshot_path):
    demo.keys("7")
    row = wait_for(lambda: (lambda b: b if b and b.width > 2 * one_cube.width else None)(body_box(demo.screenshot())),
                   "the seven-cube row")
    check(row.right > one_cube.right + one_cube.width, "the row of seven runs on toward +y: %r" % row)

    demo.keys("s")

    def twenty():
        shot = demo.screenshot()
        box = body_box(shot)
        return (shot, box) if box and box.width > 2 * one_cube.width and shot.count(FAR_WALL) > 10000 else None

    # The camera turns to the last of the twenty cubes, at the far wall.
    shot, box = wait_for(twenty, "the twenty-cube row in front of the far wall")
    check(shot.count(POINT) > 0 and shot.count(SPRING) > 0, "springs and points of the row are drawn")
    if screenshot_path:
        wait_for(lambda: settled(demo), "the row to land")
        demo.save_screenshot(screenshot_path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--screenshot")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    screenshot = os.path.abspath(args.screenshot) if args.screenshot else None

    started = time.monotonic()
    server = workdir = demo = None
    try:
        test_without_display(program)
        print("ok: without a display, or with one that nobody answers, one line of advice and a non-zero exit")
        test_toolkit_error(program)
        print("ok: other toolkit errors keep GLUT's own message")
        workdir = tempfile.mkdtemp(prefix="tremblo-e2e-")
        test_display_option(program, workdir)
        print("ok: with DISPLAY unset, -display opens the window on the display it names")
        server = XServer()
        demo = Demo(program, server, workdir)
        test_console(demo)
        print("ok: the console shows exactly the banner and the help")
        test_window(demo, program)
        print("ok: the window is 800 x 600 at (0, 0), titled with the program's path")
        test_first_picture(demo)
        print("ok: the first picture shows the floor, the near wall, red springs and yellow points")
        still = test_gravity_off_then_restart(demo)
        print("ok: 'g' then '1' leaves the cube hanging still; '8' and 'G' change nothing")
        test_right_drag(demo, still)
        print("ok: a right drag to the right moves the cube toward +y")
        test_view(demo, still)
        print("ok: a middle drag turns the view, the wheel zooms it, a middle click brings back the fixed view")
        one_cube = test_fall_and_settle(demo, still)
        print("ok: the picture changes as the cube falls, then settles on the floor")
        test_longer_rows(demo, one_cube, screenshot)
        print("ok: '7' and 's' show longer rows")
        check(demo.running(), "the program still runs after every key")
        check(demo.stdout() == CONSOLE, "nothing but the eleven texts on stdout, got:\n%s" % demo.stdout().decode())
        print("ok: nothing more on the console")
    except Exception as e:  # a failed check, a timeout, the program gone: all end the test
        print("FAILED: %s: %s" % (type(e).__name__, e))
        if demo is not None:
            print("the program's stderr:", demo.stderr() or "(empty)")
        return 1
    finally:
        if demo is not None:
            demo.stop()
        if server is not None:
            server.stop()
        if workdir is not None:
            shutil.rmtree(workdir, ignore_errors=True)
    print("window end-to-end: all checks passed in %.0f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
