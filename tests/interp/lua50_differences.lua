-- What a Lua 5.0.2 script can still notice, item by item as the README lists it.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, raises = H.group, H.eq, H.ok, H.raises

group("messages quote names with 'name', except require's", function()
  raises(function() local t; t.x = 1 end, "attempt to index local 't' (a nil value)")
  raises(function() require("nothere") end, "could not load package `nothere'")
end)

group("_VERSION and precompiled chunks are 5.1's", function()
  eq(_VERSION, "Lua 5.1")
  eq(string.byte(string.dump(function() end), 5), 0x51, "format version")
  local f, err = loadstring("\27Lua\80\1\4\4\4\8\0" .. string.rep("\0", 32))
  ok(not f and err:find("bad header", 1, true), "a 5.0 chunk: " .. tostring(err))
end)

group("require goes on to package.preload and package.path", function()
  package.preload["a.b"] = function() return "preloaded" end
  eq(require("a.b"), "preloaded")
  eq(loadlib, nil, "loadlib")
  ok(not package.loadlib("x.so", "f"), "package.loadlib loads nothing")
end)

group("a numeric for's variable is a copy; until sees the body's locals", function()
  local n = 0
  for i = 1, 3 do i = 10 n = n + 1 end
  eq(n, 3, "iterations")
  local x = "outer"
  local seen
  repeat local x = "inner" seen = x until x == "inner"
  eq(seen, "inner")
end)

group("gsub keeps the match when the replacement gives nil or false", function()
  eq((string.gsub("abc", "b", function() return nil end)), "abc")
  eq((string.gsub("abc", "b", { b = false })), "abc")
end)

group("collectgarbage takes option names; gcinfo gives the count only", function()
  raises(function() collectgarbage(100) end, "invalid option '100'")
  eq(type(collectgarbage("count")), "number")
  eq(select("#", gcinfo()), 1)
end)

group("table.insert refuses more than three arguments", function()
  raises(function() table.insert({}, 1, "a", "b") end, "wrong number of arguments to 'insert'")
end)

group("^ is an operator: no global __pow", function()
  eq(__pow, nil)
  eq(2 ^ 3, 8)
end)

H.run()
