-- Particles: a fountain of sparks that follows the mouse.
-- Mouse: move to steer the fountain; hold the left button for a thicker stream;
--        the right button throws a ring of sparks.
-- Keys:  arrows move the fountain too, g turns gravity on and off,
--        c clears the screen, 1..9 set how many sparks start each tick (3 to 27).
--
-- What it shows: mouse callbacks (onMotion, onButton), hundreds of sprites from ONE
-- picture drawn many times, and setBrightness changing between draws to fade each one.
-- The pictures come from scripts/make_art.py.

---------------------------------------------------------------- pictures
-- One image object is enough for every spark: it is moved and drawn once per spark.
local spark = loadImage("spark.png")   -- 16x16 soft dot
local ring = loadImage("ring.png")     -- 32x32 circle: marks the fountain
showCursor(false)                      -- the ring replaces the mouse pointer

---------------------------------------------------------------- tuning
local MAX_SPARKS = 1500
local LIFE = 50                -- ticks a spark lives (25 ticks a second)
local GRAVITY = 0.25           -- units per tick, per tick
local KEY_SPEED = 8            -- how fast the arrows move the fountain

---------------------------------------------------------------- state
local sparks = {}              -- each: { x, y, vx, vy, age, size }
local rate = 8                 -- sparks started per tick
local gravity = true
local leftHeld = false
local fountain = { x = 0, y = 0, lastX = 0, lastY = 0 }
local keys = {}                -- arrow keys held: keys.left, keys.up, ...
local ticks = 0

local function showTitle()
  setWindowTitle("Particles  -  " .. #sparks .. " sparks  -  rate " .. rate
                 .. "  -  gravity " .. (gravity and "on" or "off")
                 .. "  -  mouse, buttons, arrows, g, c, 1-9")
end

-- Starts one spark at the fountain, moving at the given speed and angle.
local function addSpark(speed, angle)
  if #sparks >= MAX_SPARKS then return end
  -- The fountain's own motion is passed on, so sparks trail behind a fast mouse.
  local dx, dy = fountain.x - fountain.lastX, fountain.y - fountain.lastY
  table.insert(sparks, {
    x = fountain.x, y = fountain.y,
    vx = speed * math.cos(angle) + dx * 0.3,
    vy = speed * math.sin(angle) + dy * 0.3,
    age = 0,
    size = 0.6 + math.random() * 0.9,
  })
end

---------------------------------------------------------------- input
-- onMotion gets the pointer in drawing units: origin at the window's centre, y up.
function onMotion(x, y)
  fountain.x, fountain.y = x, y
end

-- onButton gets both buttons' states at every press or release.
function onButton(left, right)
  if right then
    for i = 1, 120 do addSpark(6, i * 2 * math.pi / 120) end
  end
  leftHeld = left
end

function onKeyPress(key)
  if key == "g" then gravity = not gravity
  elseif key == "c" then sparks = {}
  elseif key and key >= "1" and key <= "9" and #key == 1 then rate = tonumber(key) * 3
  elseif key then keys[key] = true
  end
  showTitle()
end

function onKeyRelease(key)
  if key then keys[key] = nil end
end

---------------------------------------------------------------- one step
function onTick()
  -- The arrows move the fountain like the mouse does.
  if keys.left then fountain.x = fountain.x - KEY_SPEED end
  if keys.right then fountain.x = fountain.x + KEY_SPEED end
  if keys.up then fountain.y = fountain.y + KEY_SPEED end
  if keys.down then fountain.y = fountain.y - KEY_SPEED end

  local count = rate
  if leftHeld then count = rate * 4 end
  for i = 1, count do
    -- Mostly upwards, spread over about 70 degrees either side.
    addSpark(2 + math.random() * 5, math.pi / 2 + (math.random() - 0.5) * 2.4)
  end
  fountain.lastX, fountain.lastY = fountain.x, fountain.y

  -- Move every spark and keep the ones still alive, oldest first: new sparks are
  -- added at the end, so they are drawn last, on top of the older, dimmer ones.
  local alive = {}
  for _, s in ipairs(sparks) do
    s.age = s.age + 1
    if s.age < LIFE and s.y > -340 then
      if gravity then s.vy = s.vy - GRAVITY end
      s.vx, s.vy = s.vx * 0.99, s.vy * 0.99   -- a little air resistance
      s.x, s.y = s.x + s.vx, s.y + s.vy
      table.insert(alive, s)
    end
  end
  sparks = alive

  ticks = ticks + 1
  if ticks % 10 == 0 then showTitle() end
end

---------------------------------------------------------------- drawing
function onDraw()
  for _, s in ipairs(sparks) do
    local left = 1 - s.age / LIFE          -- 1 when new, 0 when about to go
    -- Brightness multiplies the colour of the draws that follow, so changing it
    -- before each spark fades each one separately. Its transparency stays as drawn,
    -- so a dim spark darkens what is under it: that is why the oldest go first.
    setBrightness(left)
    spark:setPosition(s.x, s.y)
    spark:setScale(s.size * (0.5 + left))
    spark:draw()
  end

  setBrightness(1)
  ring:setPosition(fountain.x, fountain.y)
  ring.rotation = ticks * 0.1
  ring:draw()
end

showTitle()
