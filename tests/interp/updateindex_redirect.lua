-- Tables and other values as the target of __updateindex / __newindex.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, call, raises = H.group, H.eq, H.ok, H.call, H.raises

group("a table target gets the assignment", function()
  local target = {}
  local t = setmetatable({ a = 1 }, { __updateindex = target })
  t.a = 2
  eq(t.a, 1, "source"); eq(target.a, 2, "target")
end)

group("the target's own event decides", function()
  local f, calls = H.recorder()
  -- the target holds the key: its __updateindex runs and receives the target
  local target = setmetatable({ a = "old" }, { __updateindex = f })
  local t = setmetatable({ a = 1 }, { __updateindex = target })
  t.a = 2
  eq(#calls, 1, "calls")
  call(calls, 1, target, "a", 2)
  eq(t.a, 1); eq(target.a, "old")
  -- the target lacks the key and has no __newindex: it stores there
  rawset(t, "b", 1)
  t.b = 5
  eq(#calls, 1, "calls for a key new to the target")
  eq(target.b, 5); eq(t.b, 1)
end)

group("a target's __newindex gets keys new to the target", function()
  local fn, newcalls = H.recorder()
  local fu, updcalls = H.recorder()
  local target = setmetatable({}, { __newindex = fn, __updateindex = fu })
  local t = setmetatable({ a = 1 }, { __updateindex = target })
  t.a = 2
  eq(#updcalls, 0, "update calls"); eq(#newcalls, 1, "new calls")
  call(newcalls, 1, target, "a", 2)
  eq(rawget(target, "a"), nil)
end)

group("new keys go through __newindex to a target", function()
  local f, calls = H.recorder()
  local target = setmetatable({ a = 1 }, { __updateindex = f })
  local t = setmetatable({}, { __newindex = target })
  t.a = 2  -- new in t, existing in the target
  eq(#calls, 1, "calls")
  call(calls, 1, target, "a", 2)
  eq(rawget(t, "a"), nil)
end)

-- chain[1] .. chain[n+1]: n redirections, the last table plain.
local function chain(n, event, preset)
  local c = {}
  for i = 1, n + 1 do c[i] = {} ; if preset then c[i].k = "orig" end end
  for i = 1, n do setmetatable(c[i], { [event] = c[i + 1] }) end
  return c
end

group("100 redirections complete", function()
  local c = chain(100, "__newindex")
  c[1].k = "v"
  eq(c[101].k, "v", "end of the chain")
  for i = 1, 100 do eq(rawget(c[i], "k"), nil, "table " .. i) end
  local u = chain(100, "__updateindex", true)
  u[1].k = "v"
  eq(u[101].k, "v", "end of the update chain")
  for i = 1, 100 do eq(u[i].k, "orig", "update table " .. i) end
end)

group("101 redirections raise and store nothing", function()
  local c = chain(101, "__newindex")
  local err = raises(function() c[1].k = "v" end, "loop in settable")
  ok(string.find(err, "loop in settable$"), "message: " .. err)
  for i = 1, 102 do
    eq(rawget(c[i], "k"), nil, "table " .. i)
    eq(next(c[i]), nil, "next on table " .. i)
  end
  local u = chain(101, "__updateindex", true)
  raises(function() u[1].k = "v" end, "loop in settable")
  for i = 1, 102 do eq(u[i].k, "orig", "update table " .. i) end
end)

group("a handler function at the end of 100 redirections runs", function()
  local f, calls = H.recorder()
  local c = chain(100, "__newindex")
  setmetatable(c[101], { __newindex = f })
  c[1].k = "v"
  eq(#calls, 1, "calls")
  call(calls, 1, c[101], "k", "v")
end)

group("a table that is its own target", function()
  local t = { a = 1 }
  setmetatable(t, { __updateindex = t })
  raises(function() t.a = 2 end, "loop in settable", "existing key")
  eq(t.a, 1)
  t.b = 2  -- new keys store
  eq(t.b, 2)
  raises(function() t.b = 3 end, "loop in settable", "now existing key")
  eq(t.b, 2)
  -- the same with the table as its own metatable
  local s = { a = 1 }
  s.__updateindex = s
  setmetatable(s, s)
  raises(function() s.a = 2 end, "loop in settable", "self metatable")
  s.c = 3
  eq(s.c, 3)
end)

group("a number as target", function()
  local t = setmetatable({ a = 1 }, { __updateindex = 5 })
  raises(function() t.a = 2 end, "attempt to index a number value")
  eq(t.a, 1)
  local n = setmetatable({}, { __newindex = 5 })
  raises(function() n.a = 2 end, "attempt to index a number value")
end)

group("other non-table targets consult only __newindex", function()
  local s = setmetatable({ a = 1 }, { __updateindex = "str" })
  raises(function() s.a = 2 end, "attempt to index a string value")
  local f, calls = H.recorder()
  local u = newproxy(true)
  getmetatable(u).__updateindex = function() error("must not run") end
  getmetatable(u).__newindex = f
  local t = setmetatable({ a = 1 }, { __updateindex = u })
  t.a = 2
  eq(#calls, 1, "calls")
  call(calls, 1, u, "a", 2)
end)

group("a userdata's metatable ignores __updateindex", function()
  local u = newproxy(true)
  local mt = getmetatable(u)
  local hits = 0
  mt.__updateindex = function() hits = hits + 1 end
  raises(function() u.a = 1 end, "attempt to index", "only __updateindex")
  eq(hits, 0, "update calls")
  local f, calls = H.recorder()
  mt.__newindex = f
  u.a = 1
  u.a = 2
  eq(hits, 0, "update calls with __newindex")
  eq(#calls, 2, "newindex calls")
  call(calls, 2, u, "a", 2)
end)

H.run()
