-- __updateindex: assignments to keys that already hold a value.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, call = H.group, H.eq, H.ok, H.call

group("first assignment stores, second calls the handler", function()
  local f, calls = H.recorder()
  local t = setmetatable({}, { __updateindex = f })
  t.a = 1
  eq(#calls, 0, "calls after the first assignment")
  eq(rawget(t, "a"), 1, "stored value")
  t.a = 2
  eq(#calls, 1, "calls after the second assignment")
  call(calls, 1, t, "a", 2)
  eq(t.a, 1, "value after the handled assignment")
end)

group("nil to an existing key calls the handler and keeps the value", function()
  local f, calls = H.recorder()
  local t = setmetatable({ a = "x" }, { __updateindex = f })
  t.a = nil
  eq(#calls, 1, "calls")
  call(calls, 1, t, "a", nil)
  eq(t.a, "x", "value")
end)

group("false counts as present", function()
  local f, calls = H.recorder()
  local t = setmetatable({ a = false }, { __updateindex = f })
  t.a = true
  eq(#calls, 1, "calls")
  call(calls, 1, t, "a", true)
  eq(t.a, false, "value")
end)

group("array and hash parts, any key type", function()
  local f, calls = H.recorder()
  local key = {}
  local t = setmetatable({ 10, 20, [2.5] = "h", [key] = "k", [true] = "b" },
                         { __updateindex = f })
  t[1] = 11
  t[2.5] = "h2"
  t[key] = "k2"
  t[true] = "b2"
  eq(#calls, 4, "calls")
  call(calls, 1, t, 1, 11)
  call(calls, 2, t, 2.5, "h2")
  call(calls, 3, t, key, "k2")
  call(calls, 4, t, true, "b2")
  eq(t[1], 10); eq(t[2.5], "h"); eq(t[key], "k"); eq(t[true], "b")
  t[3] = 30  -- new slot next to the array part
  eq(#calls, 4, "calls after a new key")
  eq(t[3], 30, "new key")
end)

group("rawset bypasses the event", function()
  local f, calls = H.recorder()
  local t = setmetatable({ a = 1 }, { __updateindex = f, __newindex = f })
  rawset(t, "a", 2)
  rawset(t, "b", 3)
  eq(#calls, 0, "calls")
  eq(t.a, 2); eq(t.b, 3)
end)

group("both events split new and existing keys", function()
  local fn, newcalls = H.recorder()
  local fu, updcalls = H.recorder()
  local t = setmetatable({ old = 1 }, { __newindex = fn, __updateindex = fu })
  t.old = 2
  t.fresh = 3
  eq(#updcalls, 1, "update calls"); eq(#newcalls, 1, "new calls")
  call(updcalls, 1, t, "old", 2, "update")
  call(newcalls, 1, t, "fresh", 3, "new")
  eq(t.old, 1); eq(t.fresh, nil)
end)

group("only __newindex behaves as before", function()
  local f, calls = H.recorder()
  local t = setmetatable({ old = 1 }, { __newindex = f })
  t.old = 2
  eq(#calls, 0, "calls for an existing key")
  eq(t.old, 2, "existing key is stored")
  t.fresh = 3
  eq(#calls, 1, "calls for a new key")
  call(calls, 1, t, "fresh", 3)
  eq(t.fresh, nil)
  -- a key assigned nil is new again
  t.old = nil
  eq(#calls, 1, "clearing an existing key")
  t.old = 4
  eq(#calls, 2, "assigning a cleared key")
  call(calls, 2, t, "old", 4)
end)

group("a key that was cleared counts as new", function()
  local f, calls = H.recorder()
  local t = setmetatable({ a = 1 }, { __updateindex = f })
  rawset(t, "a", nil)
  t.a = 2
  eq(#calls, 0, "calls")
  eq(t.a, 2)
end)

group("a handled new key leaves no visible entry", function()
  local f, calls = H.recorder()
  local t = setmetatable({ keep = 1 }, { __newindex = f })
  for i = 1, 50 do t["k" .. i] = i end
  eq(#calls, 50, "calls")
  for i = 1, 50 do eq(rawget(t, "k" .. i), nil, "k" .. i) end
  eq(H.count(t), 1, "entries seen by next")
  eq(next(t), "keep", "next")
  -- the leftover slots take real values later without fuss
  getmetatable(t).__newindex = nil
  for i = 1, 50 do t["k" .. i] = i end
  eq(H.count(t), 51, "entries after storing")
end)

group("handler may store with rawset", function()
  local log = {}
  local t = setmetatable({ hp = 10 }, { __updateindex = function(t, k, v)
    log[#log + 1] = k .. ":" .. tostring(rawget(t, k)) .. "->" .. tostring(v)
    rawset(t, k, v)
  end })
  t.hp = 7
  t.hp = 3
  eq(t.hp, 3)
  eq(table.concat(log, ","), "hp:10->7,hp:7->3")
end)

group("the globals table", function()
  local f, calls = H.recorder()
  local G = _G
  local old = getmetatable(G)
  setmetatable(G, { __updateindex = f })
  x_updateindex_test = 1
  x_updateindex_test = 2
  setmetatable(G, old)
  eq(#calls, 1, "calls")
  call(calls, 1, G, "x_updateindex_test", 2)
  eq(rawget(G, "x_updateindex_test"), 1)
  rawset(G, "x_updateindex_test", nil)
end)

group("setfenv globals of a function", function()
  local f, calls = H.recorder()
  local env = setmetatable({}, { __updateindex = f })
  local chunk = setfenv(loadstring("y = 1; y = 2; y = 3"), env)
  chunk()
  eq(#calls, 2, "calls")
  call(calls, 1, env, "y", 2)
  call(calls, 2, env, "y", 3)
  eq(env.y, 1)
end)

group("handler that is a callable table is a redirection, not a call", function()
  local f, calls = H.recorder()
  local target = {}
  local callable = setmetatable(target, { __call = f })
  local t = setmetatable({ a = 1 }, { __updateindex = callable })
  t.a = 2
  eq(#calls, 0, "__call used")
  eq(target.a, 2, "stored in the target")
  eq(t.a, 1)
end)

H.run()
