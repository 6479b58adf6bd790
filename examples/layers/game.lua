-- Layers: a landscape of layers at different depths, under a sun that rises and sets.
-- Keys: left/right pan the view (near layers move more than far ones),
--       up/down make the day pass faster or slower, tab stops and starts the day.
--
-- What it shows: the global matrix (imageReset, imageMove, imageRotate, imageScale,
-- imagePreScale), depth with imageMoveZ, and brightness with setBrightness.
-- The pictures come from scripts/make_art.py.

---------------------------------------------------------------- pictures
-- Every picture here is placed by the one global matrix, so each image is switched
-- to global mode once, right after loading.
local function globalImage(path)
  local img = loadImage(path)
  img:useGlobalMatrix()
  return img
end

local sky = globalImage("sky.png")              -- 800x600, opaque
local sun = globalImage("sun.png")              -- 96x96
local cloud = globalImage("cloud.png")          -- 160x64
local farHills = globalImage("hills_far.png")   -- 800x300, transparent above the ridge
local nearHills = globalImage("hills_near.png") -- 800x260
local tower = globalImage("tower.png")          -- 40x144
local blades = globalImage("blades.png")        -- 128x128, centred on the hub
local bar = globalImage("bar.png")              -- 8x8 white square

---------------------------------------------------------------- depths
-- imageMoveZ(z): z from -1 (far) to 1 (near). A nearer picture hides a farther one
-- whatever order they are drawn in. Transparent pixels hide things too (they still
-- write depth), so pictures with see-through parts are drawn from far to near.
local Z_SKY, Z_SUN, Z_CLOUDS, Z_FAR, Z_MILL, Z_NEAR = -0.9, -0.7, -0.6, -0.4, -0.2, 0
local Z_METER, Z_METER_BACK = 0.9, 0.8

-- How much each layer follows the view when panning: far layers move less.
local PARALLAX_CLOUDS, PARALLAX_FAR, PARALLAX_MILL, PARALLAX_NEAR = 0.15, 0.35, 0.6, 1.0

---------------------------------------------------------------- state
local DAY_TICKS = 25 * 24       -- one day lasts 24 seconds at speed 1
local day = 0.12                -- 0..1: 0 sunrise, 0.5 sunset
local daySpeed = 1
local paused = false
local camera, pan = 0, 0        -- the view's offset and its speed in units per tick
local bladeAngle = 0
local clouds = { { x = -250, y = 190 }, { x = 60, y = 240 }, { x = 330, y = 160 } }

local function showTitle()
  local state = paused and "stopped" or ("speed x" .. daySpeed)
  setWindowTitle("Layers  -  day " .. state .. "  -  left/right pan, up/down speed, tab stop")
end

-- Wraps v into -half..half, so layers repeat as the view pans.
local function wrap(v, size)
  return (v + size / 2) % size - size / 2
end

-- Where the sun is, and how bright the day is: 0.2 at night to 1 at noon.
local function sunAndLight()
  local a = day * 2 * math.pi
  local x = -math.cos(a) * 340
  local y = math.sin(a) * 300 - 90
  local light = 0.2 + 0.8 * math.max(0, math.min(1, (y + 120) / 250))
  return x, y, light
end

---------------------------------------------------------------- input
function onKeyPress(key)
  if key == "left" then pan = -8
  elseif key == "right" then pan = 8
  elseif key == "up" then daySpeed = math.min(16, daySpeed * 2)
  elseif key == "down" then daySpeed = math.max(0.25, daySpeed / 2)
  elseif key == "tab" then paused = not paused
  end
  showTitle()
end

function onKeyRelease(key)
  if key == "left" or key == "right" then pan = 0 end
end

---------------------------------------------------------------- one step
function onTick()
  if not paused then
    day = (day + daySpeed / DAY_TICKS) % 1
  end
  camera = camera + pan
  bladeAngle = bladeAngle + 0.05
  for _, c in ipairs(clouds) do
    c.x = c.x + 0.4             -- the wind
  end
end

---------------------------------------------------------------- drawing helpers
-- Draws a wide layer twice side by side, so panning never shows its edge.
local function drawStrip(img, offset, y, z)
  local x = wrap(offset, 800)
  for _, copy in ipairs({ x - 800, x, x + 800 }) do
    imageReset()
    imageMove(copy, y)
    imageMoveZ(z)
    img:draw()
  end
end

-- The brightness meter: a bar whose length is the light, over a dark track.
local function drawMeter(light)
  setBrightness(1)
  -- The bar is drawn first but is nearer (Z_METER) than the track drawn after it,
  -- so it stays on top: depth decides, not drawing order.
  local width = 200 * light
  imageReset()
  imageMove(-370 + width / 2, -280)
  imageMoveZ(Z_METER)
  -- imagePreScale scales the picture in its own space, before the move: the 8x8
  -- square becomes width x 8 and its centre stays where imageMove put it.
  imagePreScale(width / 8, 1)
  bar:draw()

  setBrightness(0.25)
  imageReset()
  imageMove(-270, -280)
  imageMoveZ(Z_METER_BACK)
  imagePreScale(204 / 8, 12 / 8)
  bar:draw()
end

---------------------------------------------------------------- drawing
function onDraw()
  local sunX, sunY, light = sunAndLight()

  drawMeter(light)

  -- The sky fades with the light: setBrightness multiplies the colour of every
  -- picture drawn after it (until it is changed again, even in later frames).
  setBrightness(light)
  imageReset()
  imageMoveZ(Z_SKY)
  sky:draw()

  -- The sun is always at full brightness. Rotate and scale first, then move:
  -- the steps act in order, so it turns and grows about its own centre.
  setBrightness(1)
  imageReset()
  imageScale(1 + 0.08 * math.sin(bladeAngle * 2))
  imageRotate(bladeAngle * 0.3)
  imageMove(sunX, sunY)
  imageMoveZ(Z_SUN)
  sun:draw()

  setBrightness(0.3 + 0.7 * light)
  for _, c in ipairs(clouds) do
    imageReset()
    imageMove(wrap(c.x - camera * PARALLAX_CLOUDS, 1000), c.y)
    imageMoveZ(Z_CLOUDS)
    cloud:draw()
  end

  setBrightness(light)
  drawStrip(farHills, -camera * PARALLAX_FAR, -150, Z_FAR)

  -- The windmill: the sails turn about their hub because the rotation comes
  -- before the move. (Move first and they would swing around the window's centre.)
  local millX = wrap(150 - camera * PARALLAX_MILL, 1000)
  imageReset()
  imageMove(millX, -110)
  imageMoveZ(Z_MILL)
  tower:draw()
  imageReset()
  imageRotate(bladeAngle)
  imageMove(millX, -46)
  imageMoveZ(Z_MILL + 0.01)   -- just in front of the tower
  blades:draw()

  drawStrip(nearHills, -camera * PARALLAX_NEAR, -170, Z_NEAR)

  -- The global matrix and the brightness both keep their values into the next frame;
  -- this game sets them before every draw, so nothing leaks from one frame to the next.
end

showTitle()
