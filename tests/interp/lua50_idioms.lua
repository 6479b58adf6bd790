-- Lua 5.0.2 idioms that 5.1 dropped: setn/getn, `for k, v in t', nested [[...]].
local H = dofile(arg[0]:match("^(.-)[^/]*$") .. "harness.lua")
local group, eq, ok, raises = H.group, H.eq, H.ok, H.raises

group("getn: a numeric field n, else what setn recorded, else the length", function()
  local t = { 1, 2, 3 }
  eq(table.getn(t), 3, "length")
  table.setn(t, 10)
  eq(table.getn(t), 10, "recorded size")
  eq(#t, 3, "# is the length")
  eq(t.n, nil, "no field made")
  local f = { "a", n = 1 }
  table.setn(f, 5)
  eq(f.n, 5, "setn writes a numeric n")
  eq(table.getn(f), 5)
  local s = { "a", "b", n = "many" }
  eq(table.getn(s), 2, "n that is not a number")
  raises(function() table.setn(s, "x") end, "bad argument #2")
end)

group("the table functions keep n and the recorded size", function()
  local t = { n = 0 }
  table.insert(t, "a") table.insert(t, "b")
  eq(t.n, 2, "insert")
  eq(table.remove(t), "b")
  eq(t.n, 1, "remove")
  local r = {}
  table.setn(r, 2)
  eq(select("#", unpack(r)), 2, "unpack")
  table.insert(r, "c")
  eq(r[3], "c", "insert after the recorded size")
  eq(table.getn(r), 3)
  eq(table.concat({ "x", "y", "z", n = 2 }), "xy", "concat")
end)

group("for k, v in t traverses t as next does", function()
  local t = { 10, 20, x = "a", y = "b" }
  local seen, n = {}, 0
  for k, v in t do seen[k] = v n = n + 1 end
  eq(n, 4)
  for k, v in pairs(t) do eq(seen[k], v, "value of " .. tostring(k)) end
  n = 0
  for k in t do n = n + 1 end
  eq(n, 4, "one variable")
  for k, v, extra in t do eq(extra, nil, "third variable") end
  for k in {} do error("an empty table has no entries") end
  n = 0
  for k, v in t do t[k] = v .. "" n = n + 1 end
  eq(n, 4, "updating entries while traversing")
  raises(function() for k in t, nil, "missing" do end end, "invalid key to 'next'")
  local called = 0
  local callable = setmetatable({}, { __call = function(self, s, c)
    called = called + 1
    if called < 3 then return called end
  end })
  for k in callable do end
  eq(called, 3, "a table with __call is still called")
  raises(function() for k in 5 do end end, "attempt to call a number value")
end)

group("nested long strings and comments", function()
  local f = assert(loadstring("return [[a [[b]] c]]"))
  eq(f(), "a [[b]] c")
  eq(assert(loadstring("--[[ x [[ y ]] z ]] return 1"))(), 1, "long comment")
  eq(assert(loadstring("return [==[ [[ ]==]"))(), " [[ ", "levels are not nested")
  local g, err = loadstring("return [[a [[b]] c")
  ok(not g and err:find("unfinished long string", 1, true), "unbalanced: " .. tostring(err))
end)

H.run()
