-- require as in Lua 5.0.2, then 5.1's package.path. Runs in modules/, without LUA_PATH.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, raises = H.group, H.eq, H.ok, H.raises

-- Runs code in a fresh interpreter with the environment's LUA_PATH set; returns its output.
local function child(lua_path, code)
  local p = io.popen(string.format("LUA_PATH='%s' '%s' -e %q 2>&1", lua_path, arg[-1], code))
  local out = p:read("*a")
  p:close()
  return out
end

group("the default path is ?;?.lua, with the name as given", function()
  eq(os.getenv("LUA_PATH"), nil, "LUA_PATH in the test's environment")
  local m = require("m.lua")
  eq(m.required, "m.lua", "_REQUIREDNAME while running")
  eq(m.arg, "m.lua", "the name as argument")
  eq(_LOADED["m.lua"], m, "_LOADED")
  eq(_REQUIREDNAME, nil, "_REQUIREDNAME afterwards")
  eq(require("m.lua"), m, "second require")
  eq(runs, 1, "runs")
  eq(require("m").required, "m", "another name, the same file")
  eq(runs, 2, "runs")
  eq(require("plain"), "plain plain", "a file without extension")
  eq(_LOADED, package.loaded)
end)

group("a global LUA_PATH comes first", function()
  LUA_PATH = "lib/?.lua"
  eq(require("libmod"), "lib/libmod.lua")
  raises(function() require("absent") end,
         "could not load package `absent' from path `lib/?.lua'")
  LUA_PATH = {}  -- not a string: the default again
  raises(function() require("absent") end, "from path `?;?.lua'")
  LUA_PATH = nil
end)

group("the environment's LUA_PATH when there is no global one", function()
  eq(child("lib/?.lua", "io.write(require 'libmod')"), "lib/libmod.lua")
  eq(child("nowhere/?", "LUA_PATH = 'lib/?.lua' io.write(require 'libmod')"), "lib/libmod.lua")
  ok(child("nowhere/?", "require 'libmod'"):find(
       "could not load package `libmod' from path `nowhere/?'", 1, true), "message")
end)

group("5.1-style names still load through package.loaders", function()
  eq(require("sub.dotted"), "sub/dotted.lua", "dots as directories")
  local m = require("style51")
  eq(type(m), "table", "module() result")
  eq(m.value, 51)
  eq(_LOADED.style51, m)
  package.preload.preloaded = function(name) return "preloaded " .. name end
  eq(require("preloaded"), "preloaded preloaded")
  local path = package.path
  package.path = "lib/?.lua"  -- as the host's folder of libraries beside the program
  _LOADED.libmod = nil
  eq(require("libmod"), "lib/libmod.lua")
  package.path = path
end)

group("failures", function()
  raises(function() require("nothere") end,
         "could not load package `nothere' from path `?;?.lua'")
  raises(function() require("broken") end, "error loading package `broken' (broken.lua:1:")
  raises(function() require("failing") end, "failing on purpose")
  raises(function() require("failing") end, "failing on purpose", "a second try")
  eq(attempts, 2, "a failed module is loaded again")
  eq(_LOADED.failing, nil)
  local loaded = _LOADED
  _LOADED = 1
  raises(function() require("m") end, "`_LOADED' is not a table")
  _LOADED = loaded
end)

group("_REQUIREDNAME is restored after nested loads", function()
  _REQUIREDNAME = "outer"
  local n = require("nested")
  eq(n.inner, "plain plain")
  eq(n.after, "nested")
  eq(_REQUIREDNAME, "outer")
  _REQUIREDNAME = nil
end)

H.run()
