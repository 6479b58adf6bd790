"""Images on screen, checked pixel by pixel: placement, size, brightness, blending, depth, loading."""
import os
import random
import struct
import subprocess

from harness import Display, DisplayTest, Game, game_dir, main, png, solid_png

RED = (255, 0, 0, 255)
BLUE_HALF = (0, 0, 255, 128)
WHITE = (255, 255, 255, 255)
ORANGE = (200, 100, 50, 255)


def near(a, b, tolerance=2):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


class Images(DisplayTest):
    def scene(self, script, files, env=None, display=None):
        """Runs script (which must define onDraw) and returns a screenshot after a few frames."""
        return self.scene_in(game_dir(script, files), env, display)

    def scene_in(self, folder, env=None, display=None):
        with open(os.path.join(folder, "game.lua"), "a") as f:
            f.write("\nlocal first = onDraw\n"
                    "function onDraw() first() if not shown then shown = true print('shown') end end\n")
        game = Game(display=display or self.display, folder=folder, env=env)
        game.wait_line("shown")
        game.settle(0.3)
        shot = game.screenshot()
        self.assertEqual(game.stop(), 0)
        errors = [line for line in game.lines if line != "shown"]
        self.assertEqual(errors, [])
        return shot

    def test_own_matrix_image_lands_centred_one_unit_per_pixel(self):
        rows = [[RED if x < 32 else (0, 255, 0, 255) for x in range(64)] for _ in range(32)]
        shot = self.scene('img = loadImage("pic.png") function onDraw() img:draw() end',
                          {"pic.png": png(64, 32, rows)})
        self.assertEqual(shot.bounds(lambda p: p != (0, 0, 0)), (368, 284, 431, 315))
        self.assertEqual(shot.pixel(399, 300), (255, 0, 0))
        self.assertEqual(shot.pixel(400, 300), (0, 255, 0))

    def test_odd_sizes_lose_a_pixel(self):
        shot = self.scene('img = loadImage("odd.png") function onDraw() img:draw() end',
                          {"odd.png": solid_png(5, 3, RED)})
        x0, y0, x1, y1 = shot.bounds(lambda p: p != (0, 0, 0))
        self.assertEqual((x1 - x0 + 1, y1 - y0 + 1), (4, 2))

    def test_turned_then_stretched_along_the_window(self):
        shot = self.scene('img = loadImage("bar.png") img:setScale(2, 1) img:setRotation(1.5708) '
                          'function onDraw() img:draw() end', {"bar.png": solid_png(30, 10, RED)})
        x0, y0, x1, y1 = shot.bounds(lambda p: p[0] > 128)
        self.assertLessEqual(abs((x1 - x0 + 1) - 20), 1)
        self.assertLessEqual(abs((y1 - y0 + 1) - 30), 1)

    def test_brightness_scales_colour_and_keeps_alpha(self):
        script = ('white = loadImage("white.png") half = loadImage("half.png") pic = loadImage("pic.png")\n'
                  'function onDraw()\n'
                  '  for i, b in ipairs({1, 0.5, 0, 2, -1, 0/0}) do\n'
                  '    setBrightness(1) white:setPosition(-300 + i * 100, -100) white:draw()\n'
                  '    setBrightness(b) half:setPosition(-300 + i * 100, -100) half:draw()\n'
                  '    pic:setPosition(-300 + i * 100, 100) pic:draw()\n'
                  '  end\n'
                  '  setBrightness(1)\n'
                  'end')
        shot = self.scene(script, {"white.png": solid_png(40, 40, WHITE),
                                   "half.png": solid_png(40, 40, (255, 255, 255, 128)),
                                   "pic.png": solid_png(40, 40, ORANGE)})
        # Window pixel of drawing point (x, y) is (400 + x, 300 - y).
        # NaN counts as full brightness.
        colours = [shot.pixel(400 - 300 + i * 100, 200) for i in range(1, 7)]
        for got, want in zip(colours, [(200, 100, 50), (100, 50, 25), (0, 0, 0), (200, 100, 50), (0, 0, 0),
                                       (200, 100, 50)]):
            self.assertTrue(near(got, want), (colours, got, want))
        # Half-transparent white over white stays white at full brightness; at 0 it is black at half alpha.
        blended = [shot.pixel(400 - 300 + i * 100, 400) for i in range(1, 7)]
        for got, want in zip(blended, [(255,) * 3, (191,) * 3, (127,) * 3, (255,) * 3, (127,) * 3, (255,) * 3]):
            self.assertTrue(near(got, want, 3), (blended, got, want))

    def test_brightness_between_two_draws_changes_only_the_later(self):
        shot = self.scene('a = loadImage("pic.png") b = loadImage("pic.png") a:setPosition(-100, 0) '
                          'b:setPosition(100, 0) '
                          'function onDraw() setBrightness(1) a:draw() setBrightness(0.5) b:draw() end',
                          {"pic.png": solid_png(20, 20, ORANGE)})
        self.assertTrue(near(shot.pixel(300, 300), (200, 100, 50)), shot.pixel(300, 300))
        self.assertTrue(near(shot.pixel(500, 300), (100, 50, 25)), shot.pixel(500, 300))

    def test_alpha_blends_over_what_is_drawn(self):
        shot = self.scene('red = loadImage("red.png") blue = loadImage("blue.png") '
                          'function onDraw() red:draw() blue:draw() end',
                          {"red.png": solid_png(40, 40, RED), "blue.png": solid_png(20, 20, BLUE_HALF)})
        self.assertTrue(near(shot.pixel(400, 300), (127, 0, 128)), shot.pixel(400, 300))
        self.assertEqual(shot.pixel(385, 300), (255, 0, 0))

    def test_depth_wins_over_drawing_order(self):
        script = ('a = loadImage("red.png") b = loadImage("blue.png") a:useGlobalMatrix() b:useGlobalMatrix()\n'
                  'function onDraw() imageReset() imageMove(-100, 0) imageMoveZ(Z) a:draw()\n'
                  '  imageReset() imageMove(-100, 0) b:draw() end')
        files = {"red.png": solid_png(20, 20, RED), "blue.png": solid_png(20, 20, (0, 0, 255, 255))}
        self.assertEqual(self.scene("Z = 0.5\n" + script, files).pixel(300, 300), (255, 0, 0))
        self.assertEqual(self.scene("Z = 0\n" + script, files).pixel(300, 300), (0, 0, 255))
        hidden = self.scene("Z = 1.5\n" + script.replace("b:draw()", ""), files)
        self.assertEqual(hidden.pixel(300, 300), (0, 0, 0))

    def test_what_moved_or_went_leaves_no_trace(self):
        # Two pictures move for a few frames, one straight and one turned, then rest; a third
        # is drawn in the first frames only.
        script = ('img = loadImage("red.png") turned = loadImage("red.png") gone = loadImage("blue.png") n = 0\n'
                  'turned:setRotation(0.5)\n'
                  'function onDraw() n = n + 1 local k = math.min(n, 8)\n'
                  '  img:setPosition(-300 + 40 * k, 100) img:draw()\n'
                  '  turned:setPosition(-300 + 40 * k, -100) turned:draw()\n'
                  '  if n < 4 then gone:setPosition(200, 0) gone:draw() end end')
        files = {"red.png": solid_png(16, 16, RED), "blue.png": solid_png(16, 16, (0, 0, 255, 255))}
        lit = lambda p: p != (0, 0, 0)  # noqa: E731

        def check(shot, how):
            self.assertEqual(shot.bounds_in(0, 0, 800, 300, lit), (412, 192, 427, 207), how)
            x0, y0, x1, y1 = shot.bounds_in(0, 300, 800, 300, lit)
            self.assertTrue(405 <= x0 and x1 <= 435 and 385 <= y0 and y1 <= 415, (how, x0, y0, x1, y1))
            self.assertIsNone(shot.bounds(lambda p: p[2] > 100), how)

        # Presenting at once, a frame is still drawn while the next is recorded.
        for presenting in ("paced", "immediate"):
            check(self.scene(script, files, {"GAMEHOST_PRESENT": presenting}), presenting)
        # An X server that shares no memory gets the frames through SDL's surface.
        with Display("-extension", "MIT-SHM") as plain:
            check(self.scene(script, files, {"GAMEHOST_PRESENT": "immediate"}, plain), "no shared memory")

    def test_mirrored_image_is_drawn(self):
        rows = [[RED if x < 10 else (0, 255, 0, 255) for x in range(20)] for _ in range(20)]
        shot = self.scene('img = loadImage("pic.png") img:setScale(-1, 1) function onDraw() img:draw() end',
                          {"pic.png": png(20, 20, rows)})
        self.assertEqual(shot.pixel(395, 300), (0, 255, 0))
        self.assertEqual(shot.pixel(405, 300), (255, 0, 0))

    def test_two_images_of_one_file_in_different_modes_each_at_its_place(self):
        shot = self.scene('a = loadImage("pic.png") b = loadImage("pic.png") a:setPosition(-200, 0) '
                          'b:useGlobalMatrix() imageMove(200, 0) '
                          'function onDraw() a:draw() b:draw() a:draw() b:draw() end',
                          {"pic.png": solid_png(20, 20, RED)})
        self.assertEqual(shot.pixel(200, 300), (255, 0, 0))
        self.assertEqual(shot.pixel(600, 300), (255, 0, 0))
        self.assertEqual(shot.pixel(400, 300), (0, 0, 0))

    def test_loading_failures_and_the_shared_cache(self):
        script = (
            'img = loadImage("missing.png") print(img ~= nil) print(img:load("missing.png"))\n'
            'lost = loadImage("red.png") print(lost:load("garbage.png")) print(lost:load("cut.png"))\n'
            '-- red.png now holds blue: a path seen before, in any case, is not read again\n'
            'os.rename("blue.png", "red.png")\n'
            'same = loadImage("RED.png") other = loadImage("./red.png") print(img:load("Red.png"))\n'
            'same:setPosition(-100, 0) other:setPosition(100, 0) img:setPosition(0, 100)\n'
            'function onDraw() lost:draw() same:draw() other:draw() img:draw() end\n')
        files = {"red.png": solid_png(20, 20, RED), "blue.png": solid_png(20, 20, (0, 0, 255, 255)),
                 "garbage.png": b"not a picture at all", "cut.png": solid_png(64, 64, RED)[:60]}
        game = Game(script + "function onTick() print('ticked') onTick = nil end", files=files,
                    display=self.display)
        game.wait_line("ticked")
        game.settle(0.3)
        shot = game.screenshot()
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, [
            "Cannot load 'missing.png'", "true", "Cannot load 'missing.png'", "false",
            "Cannot load 'garbage.png'", "false", "Cannot load 'cut.png'", "false", "true", "ticked"])
        self.assertEqual(shot.pixel(400, 300), (0, 0, 0))  # lost its picture
        self.assertEqual(shot.pixel(300, 300), (255, 0, 0))  # the cached entry
        self.assertEqual(shot.pixel(500, 300), (0, 0, 255))  # another path reads the file anew
        self.assertEqual(shot.pixel(400, 200), (255, 0, 0))  # a good load after failures

    def test_formats_load_with_their_own_size(self):
        folder = game_dir('names = {"png", "rgb.png", "jpg", "bmp", "tga", "gif"}\n'
                          'imgs = {}\n'
                          'for i, ext in ipairs(names) do\n'
                          '  imgs[i] = loadImage("pic." .. ext) imgs[i]:setPosition(-420 + i * 120, 0)\n'
                          'end\n'
                          'function onDraw() for i, img in ipairs(imgs) do img:draw() end end\n',
                          {"pic.png": png(6, 4, [[RED] * 6] * 4)})
        for ext in ("jpg", "bmp", "tga", "gif"):
            subprocess.run(["convert", os.path.join(folder, "pic.png"), os.path.join(folder, "pic." + ext)],
                           check=True)
        subprocess.run(["convert", os.path.join(folder, "pic.png"), "-alpha", "off",
                        "png24:" + os.path.join(folder, "pic.rgb.png")], check=True)
        shot = self.scene_in(folder)
        for i in range(1, 7):
            box = shot.bounds_in(400 - 420 + i * 120 - 20, 280, 40, 40, lambda p: p[0] > 128 and p[1] < 100)
            self.assertIsNotNone(box, i)
            x0, y0, x1, y1 = box
            self.assertEqual((x1 - x0 + 1, y1 - y0 + 1), (6, 4), i)

    def test_damaged_and_disguised_pictures_cost_one_line_and_drawing_goes_on(self):
        folder = game_dir("", {"good.png": png(24, 16, [[RED] * 24] * 16)})
        source = os.path.join(folder, "good.png")
        rng = random.Random(5)
        must_fail, may_fail = ["/dev/zero", "fifo.png"], []
        os.mkfifo(os.path.join(folder, "fifo.png"))

        def put(name, data, fails):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
            (must_fail if fails else may_fail).append(name)

        for ext in ("png", "jpg", "gif", "bmp", "tga", "webp"):
            whole = os.path.join(folder, "whole." + ext)
            subprocess.run(["convert", source, whole], check=True)
            with open(whole, "rb") as f:
                data = f.read()
            put("cut." + ext, data[:len(data) * 2 // 3], True)
            for i in range(8):
                flipped = bytearray(data)
                for _ in range(6):
                    flipped[rng.randrange(len(flipped))] ^= 1 << rng.randrange(8)
                put("flip%d.%s" % (i, ext), bytes(flipped), False)
        with open(os.path.join(folder, "whole.png"), "rb") as f:
            good = f.read()
        put("huge.png", good[:16] + struct.pack(">II", 1 << 20, 1 << 20) + good[24:], True)
        subprocess.run(["convert", source, os.path.join(folder, "pic.xpm")], check=True)
        os.rename(os.path.join(folder, "pic.xpm"), os.path.join(folder, "xpm.png"))
        must_fail.append("xpm.png")
        os.rename(os.path.join(folder, "whole.gif"), os.path.join(folder, "gif.bmp"))  # loads by content
        names = must_fail + may_fail + ["gif.bmp"]
        with open(os.path.join(folder, "game.lua"), "w") as f:
            f.write("names = {%s}\nimgs = {}\n" % ", ".join('"%s"' % n for n in names) +
                    "for i, n in ipairs(names) do imgs[i] = loadImage(n) end\n"
                    "good = loadImage('gif.bmp')\n"
                    "function onDraw() for i, img in ipairs(imgs) do img:setPosition(1000, 0) img:draw() end "
                    "good:setPosition(0, 0) good:draw() "
                    "frames = (frames or 0) + 1 if frames == 3 then print('drawn') end end\n")
        game = Game(display=self.display, folder=folder)
        game.wait_line("drawn")
        shot = game.screenshot()
        self.assertEqual(game.stop(), 0)
        failed = [line for line in game.lines if line.startswith("Cannot load")]
        self.assertEqual([l for l in game.lines if l not in failed], ["drawn"])
        self.assertEqual(len(failed), len(set(failed)))
        for name in must_fail + ["gif.bmp"]:
            self.assertEqual(("Cannot load '%s'" % name) in failed, name != "gif.bmp", name)
        self.assertEqual(shot.pixel(400, 300), (255, 0, 0))


if __name__ == "__main__":
    main()
