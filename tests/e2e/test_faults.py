"""Process-level faults: closed standard descriptors, huge titles, endless scripts, exhausted memory,
text-mode video drivers."""
import os
import signal
import subprocess
import time
import unittest

from harness import DisplayTest, GAMEHOST, Game, game_dir, main, solid_png

INTERRUPTED = "LUA runtime error: ./game.lua:1: interrupted"
# A parent may leave SIGINT ignored (a background job), and the program keeps it so.
DEFAULT_SIGINT = ("env", "--default-signal=INT")


def wait_for_file(path, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(path):
            return open(path).read()
        time.sleep(0.05)
    raise AssertionError(f"{path} never appeared")


class Faults(DisplayTest):
    def test_closed_standard_descriptors(self):
        # stdout closed: print goes nowhere instead of into the X connection.
        game = Game('print("gone") local f = io.open("alive", "w") f:write("yes") f:close()',
                    display=self.display, prefix=("sh", "-c", 'exec "$0" >&-'))
        self.assertEqual(wait_for_file(os.path.join(game.dir, "alive")), "yes")
        self.assertEqual(game.stop(), 0)
        # stdin and stderr closed: reads see an empty input, writes vanish.
        game = Game('io.stderr:write("gone\\n") print(io.read()) print("after")', display=self.display,
                    prefix=("sh", "-c", 'exec "$0" <&- 2>&-'))
        game.wait_line("after")
        game.settle(0.3)
        self.assertIsNone(game.proc.poll())
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["nil", "after"])

    def window_name(self, game):
        return self.display.run("xdotool", "getwindowname", game.window()).stdout[:-1]

    def test_titles_beyond_64_kib_are_cut_at_a_character(self):
        game = Game('setWindowTitle(string.rep("T", 16800000)) print("after")', display=self.display)
        game.wait_line("after")
        self.assertEqual(self.window_name(game), b"T" * 65536)
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["after"])
        # Two-byte characters after one ASCII byte: byte 65536 would split one.
        game = Game('setWindowTitle("x" .. string.rep("\\195\\169", 40000)) print("after")', display=self.display)
        game.wait_line("after")
        name = self.window_name(game)
        self.assertEqual(len(name), 65535)
        self.assertEqual(name.decode("utf-8"), "x" + "\u00e9" * 32767)
        self.assertEqual(game.stop(), 0)

    def test_quit_requests_interrupt_scripts_that_never_return(self):
        main_chunk = 'print("ready") while true do end'
        on_tick = 'function onTick() print("ready") while true do end end function onDraw() print("draw") end'
        on_draw = 'function onDraw() print("ready") while true do end end'
        caught = 'print("ready") while true do pcall(function() while true do end end) end'
        cases = [(main_chunk, signal.SIGTERM), (main_chunk, signal.SIGINT), (on_tick, signal.SIGTERM),
                 (on_draw, signal.SIGINT), (caught, signal.SIGTERM), (on_tick, "close")]
        for script, request in cases:
            with self.subTest(script=script, request=request):
                game = Game(script, display=self.display, prefix=DEFAULT_SIGINT)
                game.wait_line("ready")
                if request == "close":
                    game.close_window()
                else:
                    game.proc.send_signal(request)
                try:
                    status = game.proc.wait(10)
                finally:
                    game.stop()
                self.assertEqual(status, 0)
                # One report; no later callback of the same pass runs.
                self.assertEqual(game.lines, ["ready", INTERRUPTED])

    def test_lost_display_connection_is_one_line_and_exit_zero(self):
        game = Game('print("ready")', display=self.display)
        game.wait_line("ready")
        self.display.run("xdotool", "windowkill", game.window())
        self.assertEqual(game.proc.wait(10), 0)
        game.stop()
        # Requests in flight when the server dropped the connection may fail first.
        self.assertEqual(game.lines[-1], "X connection lost")
        self.assertTrue(all(line.startswith("X error: ") for line in game.lines[1:-1]), game.lines)

    def test_exhausted_memory_costs_the_script_its_calls_not_the_process(self):
        # Each image is the script's object and the binding's holder beside it; the script gets
        # its error while the host still has room for the holder.
        script = ('keep, n = {}, 0 function onTick() for i = 1, 20000 do n = n + 1 keep[n] = loadImage("p.png") end '
                  'end function onDraw() if n > 0 then keep[1]:draw() end end')
        game = Game(script, files={"p.png": solid_png(4, 4, (255, 0, 0, 255))}, display=self.display,
                    prefix=("sh", "-c", 'ulimit -v 1500000; exec "$0"'))
        game.wait_line("LUA memory error: not enough memory", timeout=60)
        game.settle(1)
        self.assertIsNone(game.proc.poll())
        # Giving back a full address space takes the kernel a while on a busy machine.
        self.assertEqual(game.stop(timeout=30), 0)

    def test_text_mode_video_drivers_are_refused(self):
        game = Game('print("on x")', display=self.display, env={"SDL_VIDEODRIVER": "caca"})
        game.wait_line("on x")
        self.assertEqual(game.stop(), 0)
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        for driver in ("caca", "aalib"):
            env["SDL_VIDEODRIVER"] = driver
            result = subprocess.run([GAMEHOST], cwd=game_dir('print("never")'), env=env, capture_output=True,
                                    timeout=20)
            self.assertEqual(result.returncode, 0)
            self.assertRegex(result.stdout.decode(), r"\AERROR [^\n\x1b]*\n\Z")


if __name__ == "__main__":
    main()
