"""Runs the real gamehost under its own Xvfb: output lines, screenshots, real input."""
import os
import queue
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest

GAMEHOST = os.environ.get("GAMEHOST", "gamehost")
# The host itself, which the gamehost launcher starts: for tools that must not follow an exec.
GAMEHOST_BIN = os.environ.get("GAMEHOST_BIN", GAMEHOST + "-bin")
GAMEHOST_LUA = os.environ.get("GAMEHOST_LUA", "gamehost-lua")


class Display:
    """A private Xvfb server, so tests can run in parallel without sharing focus."""

    def __init__(self, *extra):
        self.proc = None
        self.name = None
        self.extra = list(extra)  # more Xvfb options, e.g. "-extension", "GLX"

    def __enter__(self):
        # The server takes a free display number itself and tells it once it listens: tests
        # starting servers at the same moment cannot end up sharing one.
        read, write = os.pipe()
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-noreset", "-nolisten", "tcp",
             *self.extra], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write,))
        os.close(write)
        number = b""
        with os.fdopen(read, "rb", buffering=0) as told:
            while not number.endswith(b"\n") and select.select([told], [], [], 10)[0]:
                chunk = told.read(16)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            proc.kill()
            proc.wait()
            raise RuntimeError("could not start Xvfb")
        self.proc, self.name = proc, ":" + number.strip().decode()
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()

    def env(self):
        env = dict(os.environ, DISPLAY=self.name)
        env.pop("SDL_VIDEODRIVER", None)
        return env

    def run(self, *args, **kwargs):
        return subprocess.run(list(args), env=self.env(), check=True, capture_output=True, **kwargs)


def game_dir(script, files=None):
    """A temporary folder holding game.lua (unless script is None) and any other files."""
    path = tempfile.mkdtemp(prefix="gamehost-")
    if script is not None:
        with open(os.path.join(path, "game.lua"), "w") as f:
            f.write(script)
    for name, data in (files or {}).items():
        with open(os.path.join(path, name), "wb") as f:
            f.write(data)
    return path


class DisplayTest(unittest.TestCase):
    """Tests sharing one private Xvfb for the whole class."""

    @classmethod
    def setUpClass(cls):
        cls.display = Display().__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.display.__exit__(None, None, None)


class Game:
    """gamehost started in a folder (a new temporary one unless given) with its output read."""

    def __init__(self, script=None, files=None, display=None, env=None, folder=None, prefix=(), program=None):
        self.dir = folder or game_dir(script, files)
        self.display = display
        run_env = display.env() if display else dict(os.environ)
        run_env.update(env or {})
        self.proc = subprocess.Popen([*prefix, program or GAMEHOST], cwd=self.dir, env=run_env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        self.lines = []
        self._queue = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self._window = None
        self._eof = False

    def _read(self):
        for raw in self.proc.stdout:
            self._queue.put(raw.decode("utf-8", "replace").rstrip("\n"))
        self._queue.put(None)

    def _drain(self, timeout):
        """Takes one line if one comes within timeout; False at a time-out or at the end."""
        if self._eof:
            return False
        try:
            line = self._queue.get(timeout=timeout)
        except queue.Empty:
            return False
        if line is None:
            self._eof = True
            return False
        self.lines.append(line)
        return True

    def wait_for(self, predicate, timeout=10):
        """Waits until predicate(lines) holds; returns the lines read so far."""
        deadline = time.time() + timeout
        while not predicate(self.lines):
            left = deadline - time.time()
            if left <= 0 or (not self._drain(min(left, 0.2)) and self._eof):
                raise AssertionError(f"timed out; output so far: {self.lines[-20:]}")
        return self.lines

    def wait_line(self, text, timeout=10):
        return self.wait_for(lambda lines: text in lines, timeout)

    def settle(self, seconds):
        """Reads output for a while."""
        deadline = time.time() + seconds
        while time.time() < deadline:
            self._drain(max(0.0, min(0.1, deadline - time.time())))
        return self.lines

    def stop(self, timeout=10):
        """SIGTERM (SDL turns it into a quit event); returns the exit status."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        try:
            status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("gamehost did not stop after SIGTERM")
        while self._drain(1):
            pass
        shutil.rmtree(self.dir, ignore_errors=True)
        return status

    # Window helpers.
    def window(self):
        if self._window is None:
            deadline = time.time() + 10
            while time.time() < deadline:
                out = subprocess.run(["xdotool", "search", "--onlyvisible", "--maxdepth", "1", "--name", ".*"],
                                     env=self.display.env(), capture_output=True, text=True).stdout.split()
                for wid in out:
                    geo = subprocess.run(["xdotool", "getwindowgeometry", wid], env=self.display.env(),
                                         capture_output=True, text=True).stdout
                    if "800x600" in geo:
                        self._window = wid
                        return wid
                time.sleep(0.1)
            raise AssertionError("no 800x600 window appeared")
        return self._window

    def screenshot(self):
        """The window's pixels as an Image."""
        data = self.display.run("import", "-window", self.window(), "-depth", "8", "ppm:-").stdout
        return Image.from_ppm(data)

    def focus(self):
        self.display.run("xdotool", "windowfocus", "--sync", self.window())

    def key(self, *keys):
        self.focus()
        self.display.run("xdotool", "key", "--delay", "50", *keys)

    def move_mouse(self, x, y):
        self.display.run("xdotool", "mousemove", "--window", self.window(), str(x), str(y))

    def mouse(self, action, button):
        self.display.run("xdotool", action, str(button))

    def close_window(self):
        """Sends WM_DELETE_WINDOW, as a window manager does when the user closes the window."""
        import ctypes
        x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XInternAtom.restype = ctypes.c_ulong
        x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]

        class ClientMessage(ctypes.Structure):  # XClientMessageEvent, padded to the size of XEvent
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                        ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
        connection = x.XOpenDisplay(self.display.name.encode())
        window = int(self.window())
        event = ClientMessage(type=33, window=window, format=32,
                              message_type=x.XInternAtom(connection, b"WM_PROTOCOLS", 0))
        event.data[0] = x.XInternAtom(connection, b"WM_DELETE_WINDOW", 0)
        x.XSendEvent(connection, window, 0, 0, ctypes.byref(event))
        x.XCloseDisplay(connection)  # flushes the event out


class Image:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    @staticmethod
    def from_ppm(data):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", fields
        width, height = int(fields[1]), int(fields[2])
        return Image(width, height, data[pos + 1:pos + 1 + width * height * 3])

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def colours(self):
        return {self.pixels[i:i + 3] for i in range(0, len(self.pixels), 3)}

    def bounds(self, predicate):
        """Smallest box (x0, y0, x1, y1), inclusive, of the pixels for which predicate holds."""
        xs, ys = [], []
        for y in range(self.height):
            row = self.pixels[y * self.width * 3:(y + 1) * self.width * 3]
            for x in range(self.width):
                if predicate(tuple(row[x * 3:x * 3 + 3])):
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return min(xs), min(ys), max(xs), max(ys)

    def bounds_in(self, left, top, width, height, predicate):
        """bounds() within one rectangle of the image, in whole-image coordinates."""
        xs, ys = [], []
        for y in range(top, top + height):
            for x in range(left, left + width):
                if predicate(self.pixel(x, y)):
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return min(xs), min(ys), max(xs), max(ys)


def png(width, height, rgba_rows):
    """A PNG file's bytes from rows of (r, g, b, a) tuples; no third-party code needed."""
    import struct
    import zlib
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in rgba_rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def solid_png(width, height, rgba):
    return png(width, height, [[rgba] * width for _ in range(height)])


def main():
    unittest.main(verbosity=2)
