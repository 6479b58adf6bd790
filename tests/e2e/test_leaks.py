"""A whole run under valgrind: images made, shared, failed, refused and collected leak nothing of ours."""
import os
import unittest
import xml.etree.ElementTree as ET

from harness import GAMEHOST_BIN, Display, Game, main, solid_png

SCRIPT = """
imgs = {}
for i = 1, 20 do imgs[i] = loadImage(i % 2 == 0 and "red.png" or "Red.PNG") imgs[i]:setPosition(i * 10, 0) end
for i = 1, 50 do local lost = image() lost:load("red.png") lost:setScale(2) end
bad = loadImage("missing.png")
cut = loadImage("cut.png")
class 'Ball' (image)
function Ball:__init() image.__init(self) self:load("red.png") self:useGlobalMatrix() end
b = Ball()
for _, bad in ipairs({5, imgs[1], b, newproxy(true)}) do pcall(image.__init, bad) end
n = 0
function onDraw()
  for i, img in ipairs(imgs) do img:draw() end
  b:draw()
  n = n + 1
  if n == 2 then collectgarbage() end
  if n == 5 then print("drawn") end
end
"""

# Allocators and C library helpers are not who allocated; the first frame past them is.
NOT_CALLERS = ("vgpreload", "/libc.so", "/libstdc++.so")


def allocated_by_us(error):
    """True when the innermost frame outside the allocators is in the gamehost binary itself."""
    for frame in error.iter("frame"):
        obj = frame.findtext("obj") or ""
        if any(marker in obj for marker in NOT_CALLERS):
            continue
        return obj.endswith("/gamehost")
    return False


class Leaks(unittest.TestCase):
    def test_no_leak_or_bad_access_in_our_code(self):
        with Display() as display:
            xml = os.path.join(display_tmp(), "valgrind.xml")
            game = Game(SCRIPT, files={"red.png": solid_png(64, 32, (255, 0, 0, 255)),
                                       "cut.png": solid_png(64, 64, (255, 0, 0, 255))[:70]},
                        display=display, program=GAMEHOST_BIN,
                        prefix=("valgrind", "--leak-check=full", "--show-leak-kinds=definite,indirect",
                                "--xml=yes", f"--xml-file={xml}"))
            game.wait_line("drawn", timeout=120)
            self.assertEqual(game.stop(timeout=120), 0)
        problems = []
        for error in ET.parse(xml).getroot().iter("error"):
            kind = error.findtext("kind")
            if allocated_by_us(error):
                what = error.findtext("what") or error.findtext("xwhat/text")
                names = [f"{f.findtext('fn')} {f.findtext('file')}:{f.findtext('line')}" for f in error.iter("frame")]
                problems.append(f"{kind}: {what}: {names[:12]}")
        self.assertEqual(problems, [])


def display_tmp():
    import tempfile
    return tempfile.mkdtemp(prefix="gamehost-valgrind-")


if __name__ == "__main__":
    main()
