"""Callbacks as the running program drives them: errors per step and per frame, removal, silence."""
import subprocess

from harness import DisplayTest, Game, main, solid_png

RED = solid_png(64, 32, (255, 0, 0, 255))


class Callbacks(DisplayTest):
    def test_uncallable_on_tick_reports_once_per_step_and_runs_on(self):
        game = Game("onTick = 5", display=self.display)
        game.wait_for(lambda lines: len(lines) >= 5)
        game.settle(1)
        self.assertIsNone(game.proc.poll())
        self.assertEqual(game.stop(), 0)
        self.assertTrue(all(line.startswith("LUA runtime error: ") for line in game.lines), game.lines[:3])
        # 25 steps a second; the count is loose, but not one line per frame.
        self.assertLess(len(game.lines), 60)

    def test_error_in_on_draw_reports_every_frame_and_frames_are_presented(self):
        game = Game('img = loadImage("red.png") '
                    'function onDraw() img:draw() error("draw failed") end', files={"red.png": RED},
                    display=self.display)
        game.wait_for(lambda lines: len(lines) >= 50)
        shot = game.screenshot()
        self.assertEqual(shot.pixel(400, 300), (255, 0, 0))
        self.assertEqual(game.stop(), 0)
        self.assertTrue(all(line == "LUA runtime error: ./game.lua:1: draw failed" for line in game.lines),
                        game.lines[:3])

    def test_removing_on_draw_from_on_tick_stops_draws_at_once(self):
        game = Game("n = 0\n"
                    "function onDraw() print('draw') end\n"
                    "function onTick() n = n + 1 if n == 3 then onDraw = nil print('removed') end end\n",
                    display=self.display)
        game.wait_line("removed")
        game.settle(0.5)
        self.assertEqual(game.stop(), 0)
        self.assertGreaterEqual(game.lines.index("removed"), 2)
        self.assertNotIn("draw", game.lines[game.lines.index("removed"):])

    def test_script_without_callbacks_is_silent(self):
        game = Game("x = 1", display=self.display)
        game.window()
        game.settle(1)
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, [])

    def test_window_title_set_and_kept_by_nil(self):
        game = Game('setWindowTitle("Hello") setWindowTitle(nil) print("set")', display=self.display)
        game.wait_line("set")
        name = self.display.run("xdotool", "getwindowname", game.window()).stdout.decode().strip()
        self.assertEqual(name, "Hello")
        self.assertEqual(game.stop(), 0)


if __name__ == "__main__":
    main()
