"""The bundled games: each runs from a copy of its folder, takes real keys and mouse, and
shows a picture without writing an error; their pictures, and the text library's font,
match the scripts that draw them, and the paddle game's sounds the script that makes them."""
import array
import os
import shutil
import subprocess
import sys
import tempfile
import time

from harness import DisplayTest, Game, main

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = os.path.join(TOP, "examples")
ERROR_PREFIXES = ("LUA ", "Cannot load", "ERROR")


class Examples(DisplayTest):
    def play(self, name, actions, title_word):
        """Runs examples/name from a copy for about three seconds of real input."""
        folder = tempfile.mkdtemp(prefix=f"gamehost-{name}-")
        shutil.copytree(os.path.join(EXAMPLES, name), folder, dirs_exist_ok=True)
        game = Game(folder=folder, display=self.display)
        try:
            game.window()
            game.focus()
            game.move_mouse(400, 300)
            start = time.time()
            for action in actions:
                action(game)
            game.settle(max(0.2, 3.0 - (time.time() - start)))
            shot = game.screenshot()
            title = self.display.run("xdotool", "getwindowname", game.window(), text=True).stdout
        finally:
            status = game.stop()
            game.proc.stdout.close()
        errors = [line for line in game.lines if line.startswith(ERROR_PREFIXES)]
        self.assertEqual(errors, [])
        self.assertEqual(status, 0)
        self.assertGreater(len(shot.colours()), 1, "the window is blank")
        self.assertIn(title_word, title)
        return shot

    # Small input helpers, each a real X event sent by xdotool.
    @staticmethod
    def hold(key, seconds):
        def act(game):
            game.display.run("xdotool", "keydown", key)
            time.sleep(seconds)
            game.display.run("xdotool", "keyup", key)
        return act

    @staticmethod
    def press(*keys):
        return lambda game: game.key(*keys)

    @staticmethod
    def sweep(points, button=None):
        def act(game):
            if button:
                game.mouse("mousedown", button)
            for x, y in points:
                game.move_mouse(x, y)
                time.sleep(0.05)
            if button:
                game.mouse("mouseup", button)
        return act

    def test_paddle(self):
        shot = self.play("paddle", [self.hold("Left", 0.5), self.hold("d", 0.5), self.press("a", "Right"),
                                    self.sweep([(100, 100), (700, 500)])], "score")
        # The walls are drawn in the corners of the window.
        self.assertNotEqual(shot.pixel(4, 300), (0, 0, 0))

    def test_paddle_bounces_with_sound(self):
        # Unplayed, the ball leaves after a second and meets the top wall within about five.
        folder = tempfile.mkdtemp(prefix="gamehost-paddle-")
        shutil.copytree(os.path.join(EXAMPLES, "paddle"), folder, dirs_exist_ok=True)
        record = os.path.join(folder, "heard.raw")
        game = Game(folder=folder, display=self.display,
                    env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": record, "SDL_DISKAUDIODELAY": "20"})
        game.settle(7)
        with open(record, "rb") as f:
            heard = array.array("h", f.read())
        self.assertEqual(game.stop(), 0)
        self.assertGreater(max(map(abs, heard)), 5000)

    def test_layers(self):
        shot = self.play("layers", [self.hold("Right", 0.6), self.press("Up", "Up", "Down", "Tab", "Tab"),
                                    self.hold("Left", 0.3), self.sweep([(10, 10), (790, 590)])], "Layers")
        # The opaque sky covers the whole window: no black pixel at the top.
        self.assertNotEqual(shot.pixel(400, 5), (0, 0, 0))

    def test_particles(self):
        circle = [(400 + int(150 * c), 300 + int(100 * s)) for c, s in
                  [(1, 0), (0.7, 0.7), (0, 1), (-0.7, 0.7), (-1, 0), (-0.7, -0.7), (0, -1), (0.7, -0.7)]]
        shot = self.play("particles", [self.sweep(circle, button=1), self.press("g", "5", "Up", "g"),
                                       self.sweep(circle), lambda game: game.mouse("click", 3)], "sparks")
        # Hundreds of faded sparks give many shades.
        self.assertGreater(len(shot.colours()), 20)

    def assert_pictures_made_by(self, script, args, folder, ending=".png"):
        """The files of that ending in folder are exactly those script writes with args --into a new folder."""
        out = tempfile.mkdtemp(prefix="gamehost-art-")
        try:
            subprocess.run([sys.executable, os.path.join(TOP, "scripts", script), *args, "--into", out],
                           check=True, capture_output=True)
            made = sorted(os.listdir(out))
            kept = sorted(f for f in os.listdir(folder) if f.endswith(ending))
            self.assertEqual(made, kept)
            for picture in made:
                with open(os.path.join(out, picture), "rb") as a, open(os.path.join(folder, picture), "rb") as b:
                    self.assertTrue(a.read() == b.read(), f"{folder}/{picture} differs from {script}'s")
        finally:
            shutil.rmtree(out, ignore_errors=True)

    def test_pictures_match_the_art_scripts(self):
        for name in sorted(os.listdir(EXAMPLES)):
            if os.path.isfile(os.path.join(EXAMPLES, name, "game.lua")):
                with self.subTest(example=name):
                    self.assert_pictures_made_by("make_art.py", [name], os.path.join(EXAMPLES, name))
        with self.subTest(font="text"):
            self.assert_pictures_made_by("make_font.py", [], os.path.join(TOP, "src", "lib", "font"))
        with self.subTest(sounds="paddle"):
            self.assert_pictures_made_by("make_sounds.py", [], os.path.join(EXAMPLES, "paddle"), ".wav")


if __name__ == "__main__":
    main()
