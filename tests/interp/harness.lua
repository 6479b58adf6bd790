-- Shared by the interpreter test scripts: named groups of assertions. Every group
-- runs even after a failure, so one run shows everything that broke; any failure
-- makes the exit status non-zero.
local H = {}
local groups = {}

function H.group(name, fn)
  groups[#groups + 1] = { name = name, fn = fn }
end

function H.ok(cond, what)
  if not cond then error(what or "assertion failed", 2) end
end

function H.eq(got, want, what)
  if got ~= want then
    error(string.format("%s: got %s, want %s", what or "value",
                        tostring(got), tostring(want)), 2)
  end
end

-- Runs fn, expects it to raise an error whose message contains text.
function H.raises(fn, text, what)
  local ok, err = pcall(fn)
  if ok then error((what or "call") .. " did not raise", 2) end
  if not string.find(tostring(err), text, 1, true) then
    error(string.format("%s raised %q, want %q", what or "call",
                        tostring(err), text), 2)
  end
  return err
end

-- A handler that records its arguments instead of storing anything.
function H.recorder()
  local calls = {}
  local function handler(...)
    local t, k, v = ...
    calls[#calls + 1] = { t = t, k = k, v = v, n = select("#", ...) }
  end
  return handler, calls
end

-- Checks that calls[i] was (t, k, v), with exactly three arguments.
function H.call(calls, i, t, k, v, what)
  local c = calls[i]
  what = (what or "call") .. " #" .. i
  if not c then error(what .. " missing", 2) end
  if c.n ~= 3 or c.t ~= t or c.k ~= k or c.v ~= v then
    error(string.format("%s: got (%s, %s, %s) with %d arguments, want (%s, %s, %s)",
                        what, tostring(c.t), tostring(c.k), tostring(c.v), c.n,
                        tostring(t), tostring(k), tostring(v)), 2)
  end
end

-- Number of non-nil entries, as `next' sees them.
function H.count(t)
  local n = 0
  for _ in pairs(t) do n = n + 1 end
  return n
end

function H.run()
  local failed = 0
  for _, g in ipairs(groups) do
    local ok, err = xpcall(g.fn, debug.traceback)
    if ok then
      print("ok   " .. g.name)
    else
      failed = failed + 1
      print("FAIL " .. g.name .. ": " .. tostring(err))
    end
  end
  print(string.format("%d groups, %d failed", #groups, failed))
  if failed > 0 then os.exit(1) end
end

return H
