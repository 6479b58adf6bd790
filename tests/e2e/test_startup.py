"""Start-up, output, error reports and shutdown of the real program."""
import os
import subprocess
import time
import unittest

from harness import DisplayTest, GAMEHOST, GAMEHOST_LUA, Display, Game, game_dir, main


class StartUp(DisplayTest):
    def test_print_lines_then_exit_zero_on_sigterm(self):
        game = Game('print("a","b") print(12) print(0.5) x = rungame() print(x == nil)', display=self.display)
        game.wait_line("true")
        game.settle(0.5)
        self.assertIsNone(game.proc.poll(), "the program should keep running")
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["b", "12", "0.5", "true"])

    def test_the_window_is_named_after_the_game_until_the_script_names_it(self):
        game = Game('function onKeyPress(k) setWindowTitle(k == "a" and "Mine" or nil) print(k) end print("ready")',
                    display=self.display)
        game.wait_line("ready")
        name = lambda: self.display.run("xdotool", "getwindowname", game.window()).stdout.decode().strip()
        default = os.path.basename(game.dir) + " - Gamehost"
        self.assertEqual(name(), default)
        game.key("b")
        game.wait_line("b")
        self.assertEqual(name(), default)  # setWindowTitle(nil) keeps the caption
        game.key("a")
        game.wait_line("a")
        self.assertEqual(name(), "Mine")
        self.assertEqual(game.stop(), 0)

    def test_syntax_error_is_one_line_and_the_loop_runs(self):
        game = Game("x = 1\nfunction onTick() ticked = true end\ny = = 2\n", display=self.display)
        game.wait_for(lambda lines: lines)
        game.settle(0.5)
        self.assertIsNone(game.proc.poll())
        self.assertEqual(game.stop(), 0)
        self.assertEqual(len(game.lines), 1, game.lines)
        self.assertTrue(game.lines[0].startswith("LUA syntax error: "), game.lines)
        self.assertIn("./game.lua:3:", game.lines[0])

    def test_runtime_error_at_top_level(self):
        game = Game('error("boom")', display=self.display)
        game.settle(1)
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["LUA runtime error: ./game.lua:1: boom"])

    def test_missing_game_writes_nothing_and_keeps_running(self):
        game = Game(None, display=self.display)
        game.window()
        game.settle(1)
        self.assertIsNone(game.proc.poll())
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, [])

    def test_precompiled_game_and_require_along_lua_path(self):
        folder = game_dir(None, {"helper.lua": b"return 'helped'"})
        subprocess.run([GAMEHOST_LUA, "-e", "local f = io.open('game.lua', 'wb') "
                        "f:write(string.dump(loadstring('print(6 * 7) print(require(\\'helper\\'))'))) f:close()"],
                       cwd=folder, check=True)
        game = Game(display=self.display, folder=folder, env={"LUA_PATH": "./?.lua"})
        game.wait_line("helped")
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["42", "helped"])

    def test_text_library_beside_the_program_comes_after_lua_path(self):
        # "shown" comes once the first frame is on the screen (a loaded machine takes a while).
        game = Game('require "text" frames = 0 function onDraw() text.draw("H", 0, 0, 100, "center") '
                    'frames = frames + 1 if frames == 2 then print("shown") end end', display=self.display)
        game.wait_line("shown")
        shot = game.screenshot()
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["shown"])
        # A 60x100 "H" centred on the window: its bar is lit, the gap below it is not.
        self.assertEqual(shot.pixel(400, 285), (255, 255, 255))
        self.assertEqual(shot.pixel(400, 300), (0, 0, 0))

        # Wrong arguments are blamed on the game's line.
        game = Game('require "text"\nfunction onTick() text.draw("x", 0, 0, 20, "middle") end\ntext.draw("S", -380)',
                    display=self.display)
        game.wait_for(lambda lines: len(lines) >= 2)
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines[:2], [
            "LUA runtime error: ./game.lua:3: bad argument #3 to 'text.draw' (y: number expected, got no value)",
            "LUA runtime error: ./game.lua:2: bad argument #5 to 'text.draw' "
            '(align: "left", "center" or "right" expected, got "middle")'])

        folder = game_dir('print(require("text"))', {"text.lua": b"return 'own text'"})
        game = Game(display=self.display, folder=folder, env={"LUA_PATH": "./?.lua"})
        game.wait_line("own text")
        self.assertEqual(game.stop(), 0)

    def test_output_to_a_file_arrives_at_once(self):
        folder = game_dir('print("written")')
        path = os.path.join(folder, "out.txt")
        with open(path, "w") as out:
            proc = subprocess.Popen([GAMEHOST], cwd=folder, stdout=out, env=self.display.env(),
                                    stderr=subprocess.DEVNULL)
        try:
            deadline = time.time() + 10
            while time.time() < deadline and open(path).read() != "written\n":
                time.sleep(0.05)
            self.assertEqual(open(path).read(), "written\n")
        finally:
            proc.terminate()
            self.assertEqual(proc.wait(10), 0)

    def test_every_frame_is_opaque_black_without_images(self):
        game = Game("function onDraw() end", display=self.display)
        game.window()
        game.settle(0.5)
        shot = game.screenshot()
        self.assertEqual((shot.width, shot.height), (800, 600))
        self.assertEqual(shot.colours(), {b"\0\0\0"})
        self.assertEqual(game.stop(), 0)


class WithoutOpenGL(unittest.TestCase):
    """Displays that give no GL context: the game draws on the CPU unless OpenGL is forced."""

    def run_game(self, display, device, **extra):
        env = dict(display.env(), **extra)
        env.pop("GAMEHOST_DEVICE", None)
        if device:
            env["GAMEHOST_DEVICE"] = device
        proc = subprocess.Popen([GAMEHOST], cwd=game_dir('print("running")'), env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        try:
            out, _ = proc.communicate(timeout=3)
        except subprocess.TimeoutExpired:
            # Still running: SIGTERM must end it normally.
            proc.terminate()
            out, _ = proc.communicate(timeout=20)
        return proc.returncode, out.decode()

    def check(self, display, **env):
        self.assertEqual(self.run_game(display, None, **env), (0, "running\n"))
        self.assertEqual(self.run_game(display, "opengl", **env),
                         (0, "ERROR Could not create device\n"))

    def test_display_without_glx(self):
        with Display("-extension", "GLX") as display:
            self.check(display)

    def test_x_server_refusing_indirect_contexts(self):
        # What ssh -X gives; Xlib's default handler would end the process.
        with Display() as display:
            self.check(display, LIBGL_ALWAYS_INDIRECT="1")

    def test_missing_gl_driver(self):
        with Display() as display:
            self.check(display, LIBGL_DRIVERS_PATH="/nonexistent")


class NoDisplay(unittest.TestCase):
    def test_one_error_line_and_exit_zero(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SDL_VIDEODRIVER")}
        result = subprocess.run([GAMEHOST], cwd=game_dir('print("never")'), env=env, capture_output=True,
                                timeout=20)
        self.assertEqual(result.returncode, 0)
        lines = result.stdout.decode().splitlines()
        self.assertEqual(len(lines), 1, result.stdout)
        self.assertTrue(lines[0].startswith("ERROR "), lines)
        self.assertNotIn(b"\x1b", result.stdout)


if __name__ == "__main__":
    main()
