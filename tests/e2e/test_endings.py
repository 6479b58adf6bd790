"""How a game ends: os.exit from anywhere, exhausted memory, a quit during a long call, scripts
that never return, a destroyed window, a vanished reader, a signal right after start."""
import signal
import subprocess
import time
import unittest

from harness import DisplayTest, GAMEHOST, Game, game_dir, main

BACKENDS = ("software", "opengl")
BUSY = "local function busy(s) local t = os.clock() while os.clock() - t < s do end end\n"


def ended(game, timeout=10):
    """The exit status of a game that ends by itself."""
    try:
        return game.proc.wait(timeout)
    finally:
        game.stop()


class Endings(DisplayTest):
    def test_os_exit_ends_with_its_status_and_every_line_from_anywhere(self):
        cases = [('io.write("partial ") print("line") io.write("tail") os.exit(3)', 3, ["partial line", "tail"]),
                 ('function onTick() print("tick") os.exit() end', 0, ["tick"]),
                 ('function onDraw() coroutine.wrap(function() pcall(os.exit, 6) end)() end', 6, []),
                 ('package.preload.m = function() os.exit(7) end function onKeyPress() require("m") end '
                  'print("ready")', 7, ["ready"]),
                 ('local p = newproxy(true) getmetatable(p).__gc = function() print("gc") os.exit(8) end p = nil '
                  'function onTick() collectgarbage() end', 8, ["gc"])]
        for backend in BACKENDS:
            for script, status, lines in cases:
                with self.subTest(backend=backend, script=script):
                    game = Game(script, display=self.display, env={"GAMEHOST_DEVICE": backend})
                    if "ready" in lines:
                        game.wait_line("ready")
                        game.key("a")
                    self.assertEqual(ended(game), status)
                    self.assertEqual(game.lines, lines)

    def test_memory_exhausted_in_a_callback_is_one_line_each_time_and_the_game_goes_on(self):
        script = 'function onTick() local t, i = {}, 0 while true do i = i + 1 t[i] = {i, i, i, i} end end'
        game = Game(script, display=self.display, prefix=("sh", "-c", 'ulimit -v 1500000; exec "$0"'))
        game.wait_line("LUA memory error: not enough memory", timeout=60)
        # Motion while memory is short: the host looks up the undefined onMotion each time.
        for i in range(20):
            game.move_mouse(10 + i, 10)
        game.wait_for(lambda lines: len(lines) >= 3, timeout=60)
        self.assertIsNone(game.proc.poll())
        self.assertEqual(game.stop(timeout=30), 0)  # a full address space takes a while to give back
        self.assertEqual(set(game.lines), {"LUA memory error: not enough memory"})

    def test_a_quit_lets_the_running_call_finish_and_the_queued_keys_still_arrive(self):
        script = BUSY + ('function onTick() if done then return end done = true print("long") busy(1.5) '
                         'os.execute("kill -TERM $PPID") busy(0.3) print("returned") end\n'
                         'function onKeyPress(k) print("press " .. tostring(k)) end\n'
                         'function onKeyRelease(k) print("release " .. tostring(k)) end\n')
        game = Game(script, display=self.display)
        game.wait_line("long")
        game.key("a", "b")
        self.assertEqual(ended(game), 0)
        self.assertEqual(game.lines, ["long", "returned", "press a", "release a", "press b", "release b"])

    def test_scripts_that_never_return_end_within_seconds_of_a_quit(self):
        lookup = 'setmetatable(_G, {__index = function() while true do end end}) print("ready")'
        finalizer = ('local p = newproxy(true) getmetatable(p).__gc = function() while true do end end p = nil '
                     'function onTick() print("ready") collectgarbage() end')
        at_close = 'keep = newproxy(true) getmetatable(keep).__gc = function() while true do end end print("ready")'
        games = [Game(script, display=self.display) for script in (lookup, finalizer, at_close)]
        for game in games:
            game.wait_line("ready")
        start = time.time()
        for game in games:
            game.proc.send_signal(signal.SIGTERM)
        self.assertEqual([ended(game) for game in games], [0, 0, 0])
        self.assertLess(time.time() - start, 5)
        self.assertEqual(games[0].lines, ["ready", "LUA runtime error: ./game.lua:1: interrupted"])
        self.assertEqual([game.lines for game in games[1:]], [["ready"], ["ready"]])

    def test_a_window_destroyed_by_another_client_is_a_quit(self):
        for backend in BACKENDS:
            with self.subTest(backend=backend):
                game = Game('function onDraw() end print("ready")', display=self.display,
                            env={"GAMEHOST_DEVICE": backend})
                game.wait_line("ready")
                self.display.run("xdotool", "windowclose", game.window())
                self.assertEqual(ended(game), 0)
                self.assertLessEqual(len(game.lines), 2, game.lines)
                self.assertTrue(all(line.startswith("X error: ") for line in game.lines[1:]), game.lines)

    def test_a_closed_output_pipe_costs_the_lines_only(self):
        proc = subprocess.Popen([GAMEHOST], cwd=game_dir('function onTick() print("tick") end'),
                                env=self.display.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        proc.stdout.readline()
        proc.stdout.close()
        time.sleep(0.5)
        self.assertIsNone(proc.poll())
        proc.send_signal(signal.SIGTERM)
        self.assertEqual(proc.wait(10), 0)

    def test_a_signal_that_comes_while_the_libraries_load_ends_with_status_zero(self):
        # The launcher holds quit signals, blocked, across its exec of the host; here the parent
        # holds them from the fork on, so the signal is sure to come before the handlers exist.
        proc = subprocess.Popen([GAMEHOST], cwd=game_dir('print("x")'), env=self.display.env(),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM}))
        proc.send_signal(signal.SIGTERM)
        self.assertEqual(proc.wait(10), 0)

if __name__ == "__main__":
    main()
