-- Metatables cache which events they lack; every store must forget that.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, call = H.group, H.eq, H.ok, H.call

group("event added after its absence was cached", function()
  local f, calls = H.recorder()
  local mt = {}
  local t = setmetatable({}, mt)
  t.a = 1
  t.a = 2  -- looks for __updateindex and remembers it is missing
  t.a = 3
  eq(#calls, 0)
  mt.__updateindex = f
  t.a = 4
  eq(#calls, 1, "calls")
  call(calls, 1, t, "a", 4)
  eq(t.a, 3)
end)

group("event added with rawset after its absence was cached", function()
  local f, calls = H.recorder()
  local mt = { __index = {} }
  local t = setmetatable({ a = 1 }, mt)
  t.a = 2; t.a = 3
  rawset(mt, "__updateindex", f)
  t.a = 4
  eq(#calls, 1, "calls")
  call(calls, 1, t, "a", 4)
end)

group("event added by a handler of the metatable itself", function()
  local f, calls = H.recorder()
  local mt = setmetatable({}, { __newindex = function(m, k, v) rawset(m, k, v) end })
  local t = setmetatable({ a = 1 }, mt)
  t.a = 2
  mt.__updateindex = f
  t.a = 3
  eq(#calls, 1, "calls")
  eq(t.a, 2)
end)

group("__newindex added after its absence was cached", function()
  local f, calls = H.recorder()
  local mt = {}
  local t = setmetatable({}, mt)
  t.a = 1
  t.a = nil
  t.a = 1  -- new key again: __newindex looked up and found missing
  mt.__newindex = f
  t.b = 2
  eq(#calls, 1, "calls")
  call(calls, 1, t, "b", 2)
end)

group("event removed again", function()
  local f, calls = H.recorder()
  local mt = { __updateindex = f }
  local t = setmetatable({ a = 1 }, mt)
  t.a = 2
  mt.__updateindex = nil
  t.a = 3
  eq(#calls, 1, "calls")
  eq(t.a, 3)
  rawset(mt, "__updateindex", f)
  t.a = 4
  eq(#calls, 2, "calls after rawset")
  eq(t.a, 3)
end)

group("a table that is its own metatable", function()
  local f, calls = H.recorder()
  local t = { a = 1 }
  setmetatable(t, t)
  t.a = 2; t.a = 3
  eq(t.a, 3)
  t.__updateindex = f  -- new key: stored
  t.a = 4
  eq(#calls, 1, "calls")
  call(calls, 1, t, "a", 4)
  eq(t.a, 3)
end)

group("shared metatable, many tables", function()
  local f, calls = H.recorder()
  local mt = {}
  local ts = {}
  for i = 1, 20 do ts[i] = setmetatable({ v = i }, mt) end
  for i = 1, 20 do ts[i].v = -i end
  mt.__updateindex = f
  for i = 1, 20 do ts[i].v = 0 end
  eq(#calls, 20, "calls")
  for i = 1, 20 do eq(ts[i].v, -i) end
end)

group("__index absence cache still forgets too", function()
  local mt = {}
  local t = setmetatable({}, mt)
  eq(t.missing, nil)
  mt.__index = { missing = "found" }
  eq(t.missing, "found")
  local mt2 = {}
  local t2 = setmetatable({}, mt2)
  eq(t2.missing, nil)
  rawset(mt2, "__index", function() return "fn" end)
  eq(t2.missing, "fn")
end)

group("table library functions store raw", function()
  local f, calls = H.recorder()
  local t = setmetatable({ a = 1 }, { __updateindex = f })
  t.a = 2
  eq(#calls, 1)
  -- table.insert and table.sort store with lua_rawseti: no events
  local arr = setmetatable({ 1, 2 }, { __updateindex = f, __newindex = f })
  table.insert(arr, 1, 0)
  eq(#calls, 1, "calls after table.insert")
  eq(table.concat(arr, ","), "0,1,2")
  table.sort(arr, function(x, y) return x > y end)
  eq(#calls, 1, "calls after table.sort")
  eq(table.concat(arr, ","), "2,1,0")
end)

group("weak and finalizer metatables keep working", function()
  local mt = {}
  local t = setmetatable({}, mt)
  t[1] = {}  -- mt's absence of __mode may be cached during collection
  collectgarbage()
  mt.__mode = "v"
  t[1] = {}
  collectgarbage(); collectgarbage()
  eq(t[1], nil, "weak value collected")
  local ran = false
  local u = newproxy(true)
  getmetatable(u).__gc = function() ran = true end
  u = nil
  collectgarbage(); collectgarbage()
  ok(ran, "__gc ran")
end)

H.run()
