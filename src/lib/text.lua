-- text: draws strings with the bitmap font beside this file, one picture per character.
--   require "text"
--   text.draw(s, x, y [, size [, align [, brightness]]])
-- Lines of s (split at "\n") are drawn one below the other, each size pixels high (default
-- 20; multiples of 10 keep the letters sharp), with their vertical centre at y for the
-- first line. align is "left" (default: x is the left edge), "center" or "right" (x is the
-- right edge). The letters are white: brightness (0..1) draws them grey, and the brightness
-- is 1 afterwards; without it the current brightness applies. Pictures are placed with their
-- own automatic transform, so the global matrix is neither used nor changed.

text = {}

local CELL_W, CELL_H = 6, 10     -- every picture in font/ is 6x10
local DEFAULT_SIZE = 20

-- The font lies beside this file, wherever require found it.
local here = string.match(debug.getinfo(1, "S").source, "^@(.*)[/\\]") or "."
local glyphs = {}                -- character code -> image, loaded at first use

local function glyph(code)
  if code < 33 or code > 126 then code = 63 end   -- "?" for what the font lacks
  local img = glyphs[code]
  if not img then
    img = loadImage(here .. "/font/" .. code .. ".png")
    glyphs[code] = img
  end
  return img
end

local function drawLine(line, x, y, size, align)
  local scale = size / CELL_H
  local advance = CELL_W * scale
  local n = string.len(line)
  if align == "center" then
    x = x - n * advance / 2
  elseif align == "right" then
    x = x - n * advance
  end
  x = math.floor(x + 0.5)
  for i = 1, n do
    local code = string.byte(line, i)
    if code ~= 32 then
      local img = glyph(code)
      img:setScale(scale)
      img:setPosition(x + (i - 0.5) * advance, y)
      img:draw()
    end
  end
end

-- Wrong arguments raise at level 2, so the message names the caller's file and line.
local ALIGNS = {left = true, center = true, right = true}

local function expect(ok, n, name, wanted, got)
  if not ok then
    got = got == nil and "no value" or type(got) == "string" and string.format("%q", got) or type(got)
    error(string.format("bad argument #%d to 'text.draw' (%s: %s expected, got %s)", n, name, wanted, got), 3)
  end
end

function text.draw(s, x, y, size, align, brightness)
  expect(s ~= nil, 1, "s", "string or number", s)
  expect(type(x) == "number", 2, "x", "number", x)
  expect(type(y) == "number", 3, "y", "number", y)
  expect(size == nil or type(size) == "number", 4, "size", "number", size)
  expect(align == nil or ALIGNS[align], 5, "align", '"left", "center" or "right"', align)
  expect(brightness == nil or type(brightness) == "number", 6, "brightness", "number", brightness)
  s = tostring(s)
  size = size or DEFAULT_SIZE
  if brightness then setBrightness(brightness) end
  local start, row = 1, 0
  while start <= string.len(s) + 1 do
    local stop = string.find(s, "\n", start, true) or string.len(s) + 1
    drawLine(string.sub(s, start, stop - 1), x, y - row * size, size, align)
    start, row = stop + 1, row + 1
  end
  if brightness then setBrightness(1) end
end

return text
