"""Sound through SDL's disk audio driver, which records what would be heard: volume, stop, loops,
mixing, music; bad files cost one line; without a device the game runs silent."""
import array
import io
import math
import os
import shutil
import subprocess
import tempfile
import unittest
import wave

from harness import DisplayTest, GAMEHOST, Game, game_dir, main, solid_png

AMPLITUDE = 8000
FULL = AMPLITUDE / math.sqrt(2)  # a sine's RMS


def tone(freq, seconds, rate=22050, channels=1):
    """A WAV file's bytes: a sine of AMPLITUDE."""
    out = io.BytesIO()
    with wave.open(out, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(array.array("h", (int(AMPLITUDE * math.sin(2 * math.pi * freq * i / rate))
                                        for i in range(int(seconds * rate)) for _ in range(channels))).tobytes())
    return out.getvalue()


def loud_parts(samples, window=2205 * 2):
    """(length in 50 ms windows, RMS) of each run of windows that is not silent."""
    parts, run = [], []
    for at in range(0, len(samples) - window + 1, window):
        rms = math.sqrt(sum(x * x for x in samples[at:at + window]) / window)
        if rms > 300:
            run.append(rms)
        elif run:
            parts.append(run)
            run = []
    if run:
        parts.append(run)
    # The first and last window of a run are partly silent.
    return [(len(p), sorted(p)[len(p) // 2]) for p in parts]


class Sound(DisplayTest):
    def heard(self, script, files):
        """Runs script (which prints "done" at its end) and returns the stereo samples heard."""
        record = os.path.join(tempfile.mkdtemp(prefix="gamehost-audio-"), "out.raw")
        game = Game(script, files=files, display=self.display,
                    env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": record, "SDL_DISKAUDIODELAY": "20"})
        game.wait_line("done", timeout=30)
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["done"])
        samples = array.array("h")
        with open(record, "rb") as f:
            samples.frombytes(f.read())
        shutil.rmtree(os.path.dirname(record))
        return samples

    def test_sounds_play_at_their_volume_stop_loop_and_mix(self):
        # Each step at its tick (25 a second), with silence between the steps.
        script = """
local beep, low, short, high = loadSound("beep.wav"), loadSound("low.wav"), loadSound("BEEP.WAV"), loadSound("high.wav")
local steps = {
  [1] = function() beep:play() end,
  [20] = function() short:setVolume(0.5) short:play() end,
  [40] = function() low.looping = true low:play() end,
  [65] = function() low:stop() end,
  [80] = function() beep:play() high:play() end,
  [100] = function() print("done") end,
}
local n = 0
function onTick() n = n + 1 if steps[n] then steps[n]() end end
"""
        parts = loud_parts(self.heard(script, {"beep.wav": tone(440, 0.3), "low.wav": tone(220, 0.1, 44100, 2),
                                               "high.wav": tone(660, 0.3, 11025)}))
        self.assertEqual(len(parts), 4, parts)
        (n1, full), (n2, half), (n3, looped), (n4, mixed) = parts
        self.assertAlmostEqual(full, FULL, delta=FULL * 0.05)
        self.assertAlmostEqual(half, FULL / 2, delta=FULL * 0.05)  # the same file, shared, at half volume
        self.assertGreater(n3, 3 * 2)  # a 0.1 s sound heard for about a second: it looped until stopped
        self.assertLess(n3, 40)
        self.assertAlmostEqual(mixed, FULL * math.sqrt(2), delta=FULL * 0.1)  # two tones added

    def test_music_streams_from_ogg_and_stops(self):
        folder = tempfile.mkdtemp(prefix="gamehost-ogg-")
        with open(os.path.join(folder, "music.wav"), "wb") as f:
            f.write(tone(330, 0.5))  # mono at half the mixer's rate: the stream is converted as it plays
        subprocess.run(["oggenc", "-Q", "-o", os.path.join(folder, "music.ogg"), os.path.join(folder, "music.wav")],
                       check=True)
        with open(os.path.join(folder, "music.ogg"), "rb") as f:
            ogg = f.read()
        shutil.rmtree(folder)
        script = """
local n = 0
function onTick()
  n = n + 1
  if n == 1 then playMusic("music.ogg") elseif n == 40 then stopMusic() elseif n == 60 then print("done") end
end
"""
        parts = loud_parts(self.heard(script, {"music.ogg": ogg}))
        self.assertEqual(len(parts), 1, parts)
        length, level = parts[0]
        self.assertGreater(length, 15)  # a 0.5 s track heard for about 1.5 s: it loops
        self.assertAlmostEqual(level, FULL, delta=FULL * 0.1)

    def test_bad_files_are_one_line_each_and_no_device_is_silent(self):
        wav = tone(440, 0.2)
        files = {"cut.wav": wav[:30], "picture.wav": solid_png(4, 4, (1, 2, 3, 255)), "empty.ogg": b"",
                 "fake.ogg": b"OggS" + bytes(60), "mod.wav": b"M.K." * 100, "good.wav": wav}
        names = ["missing.wav", *files]
        script = ("for _, name in ipairs({%s}) do local s = loadSound(name) s:play() s:stop() end "
                  'playMusic("cut.wav") stopMusic() print("done")') % ", ".join(f'"{n}"' for n in names)
        expected = [f"Cannot load '{n}'" for n in names if n != "good.wav"] + ["Cannot load 'cut.wav'", "done"]
        game = Game(script, files=files, display=self.display, env={"SDL_AUDIODRIVER": "disk",
                                                                      "SDL_DISKAUDIOFILE": "/dev/null"})
        game.wait_line("done")
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, expected)
        # No such driver: the same script runs silent, and nothing is said about the device.
        folder = game_dir(script, files)
        result = subprocess.run(["timeout", "-s", "TERM", "3", GAMEHOST], cwd=folder, capture_output=True,
                                env=dict(self.display.env(), SDL_AUDIODRIVER="none-here"))
        shutil.rmtree(folder)
        self.assertEqual(result.returncode, 124)
        self.assertEqual(result.stdout.decode().splitlines(), expected)
        self.assertEqual(result.stderr, b"")


if __name__ == "__main__":
    main()
