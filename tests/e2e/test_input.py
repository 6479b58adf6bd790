"""Real keys and mouse input sent by xdotool reach the script's callbacks."""
import unittest

from harness import Display, Game, main

RECORDER = """
function onKeyPress(k) print("press " .. tostring(k)) end
function onKeyRelease(k) print("release " .. tostring(k)) end
function onMotion(x, y) print("motion " .. x .. " " .. y) end
function onButton(l, r) print("button " .. tostring(l) .. " " .. tostring(r)) end
print("ready")
"""


class Input(unittest.TestCase):
    def setUp(self):
        self.display = Display().__enter__()
        self.game = Game(RECORDER, display=self.display)
        self.game.wait_line("ready")
        self.game.focus()

    def tearDown(self):
        self.assertEqual(self.game.stop(), 0)
        self.display.__exit__(None, None, None)

    def events(self, prefix):
        return [line for line in self.game.lines if line.startswith(prefix)]

    def test_keys(self):
        self.game.key("a")
        self.game.wait_line("release a")
        self.game.key("shift+a")
        self.game.key("space", "Return", "Escape", "Tab", "Up", "7")
        self.game.wait_line("release 7")
        keys = [line for line in self.game.lines if line.startswith(("press", "release"))]
        keys = [k for k in keys if "shift" not in k]
        self.assertEqual(keys, [
            "press a", "release a",
            # xdotool releases shift before a; shift itself has no name, a keeps its own
            "press nil", "press a", "release nil", "release a",
            "press nil", "release nil", "press nil", "release nil", "press nil", "release nil",
            "press tab", "release tab", "press up", "release up", "press 7", "release 7"])

    def test_motion_and_buttons(self):
        self.game.move_mouse(400, 300)
        self.game.wait_line("motion 0 0")
        self.game.move_mouse(0, 0)
        self.game.wait_line("motion -400 300")
        self.game.move_mouse(200, 200)
        self.game.mouse("mousedown", 1)
        self.game.mouse("mousedown", 3)
        self.game.mouse("mouseup", 1)
        self.game.mouse("click", 2)
        self.game.mouse("click", 4)
        self.game.mouse("click", 5)
        self.game.mouse("mouseup", 3)
        self.game.wait_line("button false false")
        self.game.settle(0.3)
        self.assertEqual(self.events("button"), [
            "button true false", "button true true", "button false true", "button false false"])


if __name__ == "__main__":
    main()
