"""A private virtual X server with the window program in it, driven the way a person would:
keys and drags through xdotool, screenshots through ImageMagick's import."""

import ctypes
import os
import select
import socket
import subprocess
import time

from picture import Picture

# The machine is slow and shared: every wait is for a condition, with a generous limit.
WAIT_LIMIT = 60.0


class Timeout(Exception):
    pass


def wait_for(condition, what, limit=WAIT_LIMIT, interval=0.1):
    """Polls condition() until it returns something true, which is returned."""
    deadline = time.monotonic() + limit
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Timeout("gave up after %.0f s waiting for %s" % (limit, what))
        time.sleep(interval)


class XServer:
    """Xvfb on a display number it picks itself among the free ones; extra: more Xvfb options."""

    def __init__(self, extra=()):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             "-noreset", *extra],
            pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + WAIT_LIMIT
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                os.close(read_end)
                self.stop()
                raise Timeout("Xvfb did not report a display")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        # The number comes when the server is about to listen; a client that connects in the
        # same instant was seen to be refused once, so wait until its socket answers. Without
        # -noreset the probe's leaving resets the server, and a client that connects during the
        # reset is refused (seen under load).
        socket_path = "/tmp/.X11-unix/X" + number.decode().strip()
        wait_for(lambda: self._answers(socket_path), "Xvfb to answer on " + socket_path)

    @staticmethod
    def _answers(path):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
            try:
                probe.connect(path)
                return True
            except OSError:
                return False

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class Demo:
    """The window program running on an X server, its console caught in files. With
    display_option, the server is named by -display on the command line and DISPLAY is unset."""

    def __init__(self, program, server, workdir, display_option=False, args=()):
        self.program = program
        self.server = server
        self.stdout_path = os.path.join(workdir, "stdout.txt")
        self.stderr_path = os.path.join(workdir, "stderr.txt")
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            if display_option:
                command = [program, "-display", server.display]
                env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
            else:
                command, env = [program], server.env()
            command += list(args)
            self.process = subprocess.Popen(command, env=env, cwd=workdir, stdout=out, stderr=err,
                                            stdin=subprocess.DEVNULL)
        self.window = wait_for(self._find_window, "the window to appear")

    def _xdotool(self, *args):
        result = subprocess.run(["xdotool", *args], env=self.server.env(), capture_output=True, text=True,
                                timeout=WAIT_LIMIT)
        return result.stdout.strip() if result.returncode == 0 else None

    def _find_window(self):
        if self.process.poll() is not None:
            raise RuntimeError("the program ended with status %d: %s" % (self.process.returncode, self.stderr()))
        ids = self._xdotool("search", "--onlyvisible", "--name", "tremblo")
        return ids.split()[0] if ids else None

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read()

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")

    def title(self):
        return self._xdotool("getwindowname", self.window)

    def geometry(self):
        """(x, y, width, height) of the window on the screen."""
        out = subprocess.run(["xwininfo", "-id", self.window], env=self.server.env(), capture_output=True,
                             text=True, timeout=WAIT_LIMIT, check=True).stdout
        fields = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]), int(fields["Width"]),
                int(fields["Height"]))

    def screenshot(self):
        ppm = subprocess.run(["import", "-window", self.window, "-depth", "8", "ppm:-"], env=self.server.env(),
                             capture_output=True, timeout=WAIT_LIMIT, check=True).stdout
        return Picture(ppm)

    def save_screenshot(self, path):
        subprocess.run(["import", "-window", self.window, "-depth", "8", "png:" + path], env=self.server.env(),
                       timeout=WAIT_LIMIT, check=True)

    def keys(self, *names):
        """Key presses, as X key names ('1', 's', 'shift+g'), to the focused window."""
        self._xdotool("windowfocus", "--sync", self.window)
        for name in names:
            self._xdotool("key", "--clearmodifiers", name)

    def right_drag(self, start, end):
        """A drag with the right button (X button 3) between two window positions."""
        self.drag(3, start, end)

    def drag(self, button, start, end, hold=0.0, modifier=None, before_release=None):
        """A drag with X button `button` (1 left, 3 right) between two window positions, held
        `hold` seconds at its end, then before_release() and the release; with the X key
        `modifier` ('shift') held throughout."""
        self._xdotool("mousemove", "--window", self.window, "--sync", str(start[0]), str(start[1]))
        if modifier:
            self._xdotool("keydown", modifier)
        self._xdotool("mousedown", str(button))
        self._xdotool("mousemove", "--window", self.window, "--sync", str(end[0]), str(end[1]))
        time.sleep(hold)
        if before_release:
            before_release()
        self._xdotool("mouseup", str(button))
        if modifier:
            self._xdotool("keyup", modifier)

    def close(self):
        """Closes the window as a window manager's close button does: WM_DELETE_WINDOW. (This
        xdotool's windowclose destroys the window instead, which no program survives.)"""
        close_window(self.server.display, int(self.window))

    def click(self, button, at):
        """A click of an X button (2 middle, 4 and 5 the wheel's notches) at a window position."""
        self._xdotool("mousemove", "--window", self.window, "--sync", str(at[0]), str(at[1]))
        self._xdotool("click", str(button))

    def running(self):
        return self.process.poll() is None

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("message", _ClientMessage), ("pad", ctypes.c_long * 24)]  # XEvent is 24 longs


def close_window(display_name, window):
    """Sends WM_DELETE_WINDOW to `window` on the X display `display_name`, through Xlib."""
    x = ctypes.cdll.LoadLibrary("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(display_name.encode())
    if not display:
        raise RuntimeError("cannot open display " + display_name)
    event = _Event()
    event.message.type = 33  # ClientMessage
    event.message.window = window
    event.message.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.message.format = 32
    event.message.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XCloseDisplay(display)  # flushes the event out
