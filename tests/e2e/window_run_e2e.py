#!/usr/bin/env python3
"""End-to-end test of the window's runs: the real program in a private Xvfb, recording a session
of keys and drags (--record), ended by closing the window or by a kill, and replayed with the
headless runner to the hash written at the end of the file; a run played first and recorded on,
taken over by a key while it plays, or reached at a step at once (--at);
bad runs refused before any window opens; no file lost to a recording (not the run it plays,
not one there before a start that fails) and a recording that cannot be written named in the
window's title.

    window_run_e2e.py PROGRAM TREMBLO_SIM
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree

from picture import GRAB, POINT, body_box  # noqa: E402
from xsession import Demo, XServer, wait_for  # noqa: E402

END_LINE = re.compile(r"# end: state hash ([0-9a-f]{16}) after (\d+) steps\n\Z")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def replays_to_its_end(sim, path):
    """The run's last line names the hash and step count that tremblo-sim reaches with it."""
    text = read(path)
    end = END_LINE.search(text)
    check(end is not None, "the run ends with the hash and the step count: ...%r" % text[-120:])
    result = subprocess.run([sim, path, "--hash"], capture_output=True, text=True, timeout=120)
    check(result.returncode == 0, "tremblo-sim %s: %s" % (path, result.stderr))
    steps = re.search(r"(\d+) steps", result.stderr).group(1)
    check((result.stdout.strip(), steps) == end.groups(),
          "tremblo-sim replays to %s after %s steps, the window wrote %s after %s" % (
              result.stdout.strip(), steps, *end.groups()))
    return text


def test_recorded_session(program, sim, server, workdir):
    run = os.path.join(workdir, "session.sim")
    demo = Demo(program, server, workdir, args=["--record", run])
    try:
        demo.keys("3")
        time.sleep(0.5)
        demo.drag(1, (250, 450), (500, 380), hold=0.2)
        time.sleep(0.5)
        demo.drag(3, (300, 300), (500, 250))
        demo.keys("x", "g")
        demo.drag(1, (400, 300), (420, 450), hold=0.2)
        # Lines go out once a frame, while the window is still open.
        wait_for(lambda: read(run).count("release left") == 2, "the recording to hold the last drag")
        time.sleep(0.5)
        demo.close()
        demo.process.wait(timeout=60)
        check(demo.process.returncode == 0, "closing the window ends the program with 0, got %d: %s" % (
            demo.process.returncode, demo.stderr()))
    finally:
        demo.stop()
    text = replays_to_its_end(sim, run)
    for line in ("key 3\n", "press left 250 450\n", "release left 500 380\n", "press right 300 300\n",
                 "release right 500 250\n", "key x\n", "key g\n"):
        check(line in text, "the recording holds %r" % line)


def test_grab(program, sim, server, workdir):
    """A shift + left drag up from a point of the resting cube: drawn while held, recorded, replayed."""
    run, boxes, held = os.path.join(workdir, "grab.sim"), [None], []
    demo = Demo(program, server, workdir, args=["--record", run])
    try:
        wait_for(lambda: boxes.append(body_box(demo.screenshot())) or None not in boxes[-2:]
                 and boxes[-1].within(boxes[-2], 1), "the cube to come to rest", interval=0.5)
        x, y = min(demo.screenshot().where(POINT), key=lambda p: p[1])  # the top of the highest point drawn
        demo.drag(1, (x, y + 2), (x, y - 100), hold=0.5, modifier="shift",
                  before_release=lambda: held.append(demo.screenshot().count(GRAB)))
        wait_for(lambda: "let go" in read(run), "the recording to hold the release")
        check(held[0] > 20 and demo.screenshot().count(GRAB) == 0, "the grab drawn while held only: %d" % held[0])
        demo.close()
        demo.process.wait(timeout=60)
    finally:
        demo.stop()
    text = replays_to_its_end(sim, run)
    check(re.search(r"^take \d+\n(step \d+\n)*move .*\n(step \d+\n|move .*\n)*let go\n", text, re.M)
          and "press left" not in text, "a grab's lines, no push: %r" % text)


def test_played_then_recorded(program, sim, server, workdir, stop_signal):
    played, run = os.path.join(workdir, "played.sim"), os.path.join(workdir, "again.sim")
    with open(played, "w") as f:
        f.write("# a short run\nkey 2\nstep 200\n")
    demo = Demo(program, server, workdir, args=[played, "--record", run])
    try:
        # The played run is 0.1 s of simulated time; a key after its end is the person's.
        wait_for(lambda: "step 200\n" in read(run), "the played run to end")
        wait_for(lambda: demo.keys("5") or "key 5" in read(run), "the recording to hold a key after the played run",
                 interval=0.5)
        demo.process.send_signal(stop_signal)
        demo.process.wait(timeout=60)
        check(demo.process.returncode == -stop_signal, "a kill still ends the program by the signal, got %d"
              % demo.process.returncode)
    finally:
        demo.stop()
    text = replays_to_its_end(sim, run)
    check(text.startswith("# a short run\nkey 2\nstep 200\n"), "the recording starts with the played run: %r"
          % text[:80])


def test_taken_over_and_reached(program, sim, server, workdir, at):
    """A key takes a long run over while it plays; or --at opens the window at step 20000 (10 s at
    the window's pace), closed at once. The recording replays to its end."""
    played, run = os.path.join(workdir, "long.sim"), os.path.join(workdir, "taken.sim")
    with open(played, "w") as f:
        f.write("key 2\nstep 20000\nkey 4\nstep 200000\n")
    demo = Demo(program, server, workdir, args=[played, "--record", run] + (["--at", "20000"] if at else []))
    try:
        if not at:
            wait_for(lambda: read(run) == "key 2\n", "the played run's first line recorded at a frame")
            wait_for(lambda: demo.keys("3") or "key 3" in read(run), "the recording to hold the key", interval=0.5)
        demo.close()
        demo.process.wait(timeout=60)
    finally:
        demo.stop()
    text = replays_to_its_end(sim, run)
    steps = int(END_LINE.search(text).group(2))
    check(text.startswith("key 2\nstep 20000\nkey 4\n") and steps >= 20000 if at else
          re.match(r"key 2\n(step \d+\n)*key 3\n", text) and steps < 20000, "the recording: %r" % text[:200])


def test_bad_runs(program, server, workdir):
    bad = os.path.join(workdir, "bad.sim")
    with open(bad, "w") as f:
        f.write("key 3\nstep 10\nwobble 2\n")
    no_display = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    cases = (([bad], no_display, bad + ":3: unknown command"),
             (["#run=ab$d"], no_display, "tremblo: the run in the address holds a character that is not base64url"),
             (["--record"], no_display, "tremblo: --record needs a file"),
             ([bad, "--at", "-1"], no_display, "tremblo: --at needs a step count or 'end', got '-1'"),
             (["--record", os.path.join(workdir, "no", "such.sim")], server.env(), "tremblo: cannot write run"))
    # A recording over the run it plays, by any name, would lose it.
    kept = os.path.join(workdir, "kept.sim")
    with open(kept, "w") as f:
        f.write("key 2\nstep 10\n")
    os.symlink(kept, os.path.join(workdir, "also.sim"))
    cases += (([kept, "--record", kept], no_display, "tremblo: --record '%s' is the run it plays" % kept),
              ([os.path.join(workdir, "also.sim"), "--record=" + os.path.join(workdir, ".", "kept.sim")], server.env(),
               "tremblo: --record"))
    for args, env, start in cases:
        result = subprocess.run([program, *args], env=env, capture_output=True, text=True, timeout=60)
        check(result.returncode == 2 and result.stderr.startswith(start) and result.stderr.count("\n") == 1,
              "tremblo %r: status %d, %r; expected 2 and one line starting %r" % (
                  args, result.returncode, result.stderr, start))
    # A start that fails (no display, or one that cannot be opened) leaves a file as it was
    # and makes none.
    new = os.path.join(workdir, "new.sim")
    for display in (None, ":%d" % (1000 + os.getpid() % 30000)):
        env = dict(no_display, DISPLAY=display) if display else no_display
        for record in (kept, new):
            result = subprocess.run([program, "--record", record], env=env, capture_output=True, text=True,
                                    timeout=60)
            check(result.returncode == 1, "tremblo --record with display %r: status %d, %r" % (
                display, result.returncode, result.stderr))
        check(read(kept) == "key 2\nstep 10\n" and not os.path.exists(new),
              "a failed start changed or made a file: %r, new file: %s" % (read(kept), os.path.exists(new)))


def test_unwritable_recording(program, server, workdir):
    """A recording that cannot be written says so at once, on the console and in the title."""
    demo = Demo(program, server, workdir, args=["--record", "/dev/full"])
    try:
        wait_for(lambda: "recording stopped" in (demo.title() or ""), "the title to say the recording stopped")
        check("tremblo: error writing run '/dev/full'" in demo.stderr(), "the console: %r" % demo.stderr())
        check(demo.running(), "the session goes on unrecorded")
    finally:
        demo.stop()


def main():
    program, sim = (os.path.abspath(a) for a in sys.argv[1:3])
    started = time.monotonic()
    server = None
    workdir = tempfile.mkdtemp(prefix="tremblo-run-e2e-")
    try:
        server = XServer()
        test_bad_runs(program, server, workdir)
        print("ok: bad runs, links and --record, and a record file that is the run, are refused with one line and "
              "status 2, before any window; a failed start loses no file")
        test_recorded_session(program, sim, server, workdir)
        print("ok: keys and drags recorded, the window closed: tremblo-sim replays the run to the hash at its end")
        test_grab(program, sim, server, workdir)
        print("ok: a shift + left drag takes a point, drawn while held, recorded as take, move and let go")
        for stop_signal in (signal.SIGTERM, signal.SIGHUP):
            test_played_then_recorded(program, sim, server, workdir, stop_signal)
        print("ok: a run played, then a key of the person's, then a kill or a closed terminal: the recording "
              "replays to its end")
        test_taken_over_and_reached(program, sim, server, workdir, at=False)
        test_taken_over_and_reached(program, sim, server, workdir, at=True)
        print("ok: a key while a run plays takes it over, and --at opens the window at a step reached at once: "
              "both recordings replay to their end")
        if os.access("/dev/full", os.W_OK):
            test_unwritable_recording(program, server, workdir)
            print("ok: a recording that cannot be written is named in the window's title and on the console")
    except Exception as e:  # a failed check, a timeout, the program gone: all end the test
        print("FAILED: %s: %s" % (type(e).__name__, e))
        return 1
    finally:
        if server is not None:
            server.stop()
        shutil.rmtree(workdir, ignore_errors=True)
    print("window runs end-to-end: all checks passed in %.0f s" % (time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
