"""The scripting guide: every lua example runs cleanly, and the README links it (its names are checked
against the running interpreter in tests/script)."""
import concurrent.futures
import glob
import os
import re
import shutil
import tempfile
import unittest

from harness import Display, Game, main

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
GUIDE = os.path.join(TOP, "docs", "scripting.md")
ERROR_PREFIXES = ("LUA ", "Cannot load", "ERROR")
FINISHED = "doc example finished"
RUN_SECONDS = 1.5


def lua_blocks(text):
    """(line number, code) of each ```lua fenced block."""
    blocks = []
    for match in re.finditer(r"^```lua\n(.*?)^```", text, re.S | re.M):
        blocks.append((text.count("\n", 0, match.start()) + 1, match.group(1)))
    return blocks


class Guide(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(GUIDE) as f:
            cls.text = f.read()

    def test_readme_links_the_guide(self):
        with open(os.path.join(TOP, "README.md")) as f:
            self.assertIn("docs/scripting.md", f.read())

    def test_examples_run_without_errors(self):
        blocks = lua_blocks(self.text)
        self.assertGreater(len(blocks), 20)
        pictures = {os.path.basename(p): open(p, "rb").read()
                    for p in glob.glob(os.path.join(TOP, "examples", "paddle", "*.[pw][na][gv]"))}
        self.assertIn("ball.png", pictures)

        def run(block):
            line, code = block
            folder = tempfile.mkdtemp(prefix="gamehost-doc-")
            with open(os.path.join(folder, "game.lua"), "w") as f:
                f.write(code + f'\nprint("{FINISHED}")\n')
            for name, data in pictures.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data)
            game = Game(folder=folder, display=self.display)
            try:
                game.wait_line(FINISHED, timeout=15)
                game.settle(RUN_SECONDS)
            except AssertionError:
                pass  # judged below from the lines read so far
            finally:
                status = game.stop()
                game.proc.stdout.close()
                shutil.rmtree(folder, ignore_errors=True)
            return line, game.lines, status

        with Display() as self.display:
            # A few at once keeps the whole run short on two cores.
            with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
                results = list(pool.map(run, blocks))
        for line, lines, status in results:
            with self.subTest(block_at_line=line):
                self.assertIn(FINISHED, lines, f"the block did not run to its end: {lines[-10:]}")
                bad = [l for l in lines if l.startswith(ERROR_PREFIXES)]
                self.assertEqual(bad, [])
                self.assertEqual(status, 0)


if __name__ == "__main__":
    main()
