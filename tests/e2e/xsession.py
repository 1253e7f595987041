"""A private virtual X server with the window program in it, driven the way a person would:
keys and drags through xdotool, screenshots through ImageMagick's import."""

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
             *extra],
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
        # same instant was seen to be refused once, so wait until its socket answers.
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

    def __init__(self, program, server, workdir, display_option=False):
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
        self.drag("3", start, end)

    def drag(self, button, start, end):
        """A drag with an X button (1 left, 2 middle, 3 right) between two window positions."""
        self._xdotool("mousemove", "--window", self.window, "--sync", str(start[0]), str(start[1]))
        self._xdotool("mousedown", button)
        self._xdotool("mousemove", "--window", self.window, "--sync", str(end[0]), str(end[1]))
        self._xdotool("mouseup", button)

    def click(self, button, at):
        """A click of an X button (2 middle, 4 and 5 the wheel's notches) at a window position."""
        self._xdotool("mousemove", "--window", self.window, "--sync", str(at[0]), str(at[1]))
        self._xdotool("click", button)

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
