-- Errors around assignments with handlers.
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, raises = H.group, H.eq, H.ok, H.raises

group("an error in the handler reaches the assigning code", function()
  local t = setmetatable({ a = 1 }, { __updateindex = function(t, k, v)
    error("read-only field " .. k, 0)
  end })
  local okc, err = pcall(function() t.a = 2 end)
  eq(okc, false)
  eq(err, "read-only field a")
  eq(t.a, 1, "value kept")
  -- non-string error values pass unchanged
  local obj = {}
  getmetatable(t).__updateindex = function() error(obj) end
  local _, e2 = pcall(function() t.a = 3 end)
  eq(e2, obj)
  eq(t.a, 1)
end)

group("an error at the end of a redirection", function()
  local target = setmetatable({ a = "x" }, { __updateindex = function() error("deep", 0) end })
  local t = setmetatable({ a = 1 }, { __updateindex = target })
  raises(function() t.a = 2 end, "deep")
  eq(t.a, 1); eq(target.a, "x")
end)

group("nil and NaN keys raise before any handler", function()
  local hits = 0
  local function f() hits = hits + 1 end
  local t = setmetatable({ a = 1 }, { __updateindex = f, __newindex = f })
  raises(function() t[nil] = 1 end, "table index is nil")
  raises(function() t[0/0] = 1 end, "table index is NaN")
  raises(function() rawset(t, nil, 1) end, "table index is nil", "rawset")
  raises(function() rawset(t, 0/0, 1) end, "table index is NaN", "rawset")
  local tt = setmetatable({}, { __newindex = setmetatable({}, { __newindex = f }) })
  raises(function() tt[nil] = 1 end, "table index is nil", "redirected")
  eq(hits, 0, "handler calls")
end)

group("handler errors inside coroutines", function()
  local t = setmetatable({ a = 1 }, { __updateindex = function(t, k, v)
    coroutine.yield(v)
  end })
  local co = coroutine.create(function() t.a = 2 end)
  local okc, err = coroutine.resume(co)
  eq(okc, false)
  ok(string.find(err, "yield across", 1, true), "message: " .. tostring(err))
  eq(t.a, 1)
end)

group("handler runs with the right stack", function()
  -- many handled assignments in a row must not grow the stack
  local n = 0
  local t = setmetatable({ a = 1 }, { __updateindex = function() n = n + 1 end })
  for i = 1, 100000 do t.a = i end
  eq(n, 100000)
  -- a handler assigning into another handled table
  local inner = setmetatable({ b = 1 }, { __updateindex = function(t, k, v) n = n + v end })
  local outer = setmetatable({ a = 1 }, { __updateindex = function(t, k, v) inner.b = v end })
  n = 0
  outer.a = 5
  eq(n, 5)
end)

H.run()
