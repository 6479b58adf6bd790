"""Lua 5.0 scripts in the real program: 5.0's idioms work, and misused constructors are script errors."""
from harness import DisplayTest, Game, main

IDIOMS = """
print(require("m.lua"))
print(require("plain"))
LUA_PATH = "?.mod"
print(require("libmod"))
LUA_PATH = nil
local t = {}
table.setn(t, 3)
print(table.getn(t))
local sum = 0
for k, v in { a = 1, b = 2 } do sum = sum + v end
print(sum)
print([[a [[b]] c]])
"""

MISUSE = """
class "C" (image)
function C:__init() image.__init(5) end
local img = image()
local misuse = {
  function() image.__init(5) end,
  function() image.__init("s") end,
  function() image.__init(true) end,
  function() image.__init({}) end,
  function() image.__init(print) end,
  function() image.__init(img) end,
  function() image.__init(newproxy(true)) end,
  function() C() end,
}
local ticks = 0
function onTick()
  ticks = ticks + 1
  if misuse[ticks] then misuse[ticks]() elseif ticks == #misuse + 1 then print("still running") end
end
"""


class Lua50(DisplayTest):
    def test_idioms_of_lua_50(self):
        game = Game(IDIOMS, files={"m.lua": b"return 'm ' .. _REQUIREDNAME", "plain": b"return 'plain'",
                                   "libmod.mod": b"return 'libmod'"},
                    display=self.display)
        game.wait_line("a [[b]] c")
        self.assertEqual(game.stop(), 0)
        self.assertEqual(game.lines, ["m m.lua", "plain", "libmod", "3", "3", "a [[b]] c"])

    def test_each_constructor_misuse_is_one_error_line(self):
        game = Game(MISUSE, display=self.display)
        game.wait_line("still running")
        self.assertEqual(game.stop(), 0)
        expected = "image.__init: new image expected, got "
        got = ["number", "string", "boolean", "table", "function", "an image already constructed", "userdata"]
        lines = [f"LUA runtime error: ./game.lua:{6 + i}: {expected}{what}" for i, what in enumerate(got)]
        lines += [f"LUA runtime error: ./game.lua:3: {expected}number", "still running"]
        self.assertEqual(game.lines, lines)


if __name__ == "__main__":
    main()
