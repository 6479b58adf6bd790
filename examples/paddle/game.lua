-- Paddle: keep the ball in play. Every hit scores a point and makes the ball faster.
-- Keys: left/right or a/d move the paddle.
--
-- What it shows: key callbacks, the game logic in onTick and the drawing in onDraw,
-- images placed with the automatic transform (x, y, rotation, setScale), one picture
-- drawn many times (the walls), and the score on screen with the text library (and in
-- the window title). The pictures come from scripts/make_art.py.

---------------------------------------------------------------- tuning
-- Speeds are in units (pixels) per tick; there are 25 ticks a second.
local PADDLE_SPEED = 10
local BALL_SPEED = 6      -- at every serve
local SPEED_UP = 0.3      -- added at every hit
local MAX_SPEED = 14

---------------------------------------------------------------- the court
-- The drawing space is 800x600 with its origin at the centre of the window and y up,
-- so the window spans x = -400..400 and y = -300..300.
local TILE = 16                          -- the wall picture is 16x16
local INNER_LEFT = -400 + TILE           -- inner edges of the walls
local INNER_RIGHT = 400 - TILE
local INNER_TOP = 300 - TILE
local PADDLE_Y = -250
local PADDLE_HALF_W, PADDLE_HALF_H = 48, 8   -- paddle.png is 96x16
local BALL_R = 8                              -- ball.png is 16x16

---------------------------------------------------------------- pictures
-- The text library ships with Gamehost: require finds it beside the program.
require "text"

-- loadImage gives an image object; the file name is relative to the game's folder.
local wallImage = loadImage("wall.png")
local paddleImage = loadImage("paddle.png")
local ballImage = loadImage("ball.png")

-- loadSound works the same way; scripts/make_sounds.py makes these two.
local bounceSound = loadSound("bounce.wav")
local wallSound = loadSound("wall.wav")

---------------------------------------------------------------- state
-- Plain Lua tables hold the game; the images only show it.
local paddle = { x = 0, speed = 0, squash = 0 }
local ball = { x = 0, y = 0, vx = 0, vy = 0, speed = BALL_SPEED, spin = 0 }
local held = { left = false, right = false }
local score, best = 0, 0
local serveWait = 0   -- ticks until the ball leaves the paddle

local function showScore()
  setWindowTitle("Paddle  -  score " .. score .. "  -  best " .. best .. "  -  left/right or a/d")
end

-- The ball sits on the paddle for a second, then leaves at a random angle.
local function serve()
  ball.speed = BALL_SPEED
  ball.vx, ball.vy = 0, 0
  serveWait = 25
end

local function launch()
  local angle = (math.random() - 0.5) * 1.2          -- radians off the vertical
  ball.vx = ball.speed * math.sin(angle)
  ball.vy = ball.speed * math.cos(angle)
end

---------------------------------------------------------------- input
-- Key names are one-character strings for letters and digits, or "left", "right",
-- "up", "down", "tab"; other keys give nil. Shift does not change the name.
function onKeyPress(key)
  if key == "left" or key == "a" then held.left = true end
  if key == "right" or key == "d" then held.right = true end
end

function onKeyRelease(key)
  if key == "left" or key == "a" then held.left = false end
  if key == "right" or key == "d" then held.right = false end
end

---------------------------------------------------------------- one step of the game
-- onTick runs 25 times a second whatever the frame rate, so speeds are per tick.
function onTick()
  -- The paddle.
  local dir = 0
  if held.left then dir = dir - 1 end
  if held.right then dir = dir + 1 end
  paddle.speed = dir * PADDLE_SPEED
  local limit = INNER_RIGHT - PADDLE_HALF_W
  paddle.x = math.max(-limit, math.min(limit, paddle.x + paddle.speed))
  if paddle.squash > 0 then paddle.squash = paddle.squash - 1 end

  -- Serving: the ball rides on the paddle.
  if serveWait > 0 then
    serveWait = serveWait - 1
    ball.x, ball.y = paddle.x, PADDLE_Y + PADDLE_HALF_H + BALL_R
    if serveWait == 0 then launch() end
    return
  end

  -- The ball moves, and bounces off the walls.
  ball.x, ball.y = ball.x + ball.vx, ball.y + ball.vy
  ball.spin = ball.spin + ball.vx * 0.05
  if ball.x - BALL_R < INNER_LEFT then
    ball.x, ball.vx = INNER_LEFT + BALL_R, math.abs(ball.vx)
    wallSound:play()
  elseif ball.x + BALL_R > INNER_RIGHT then
    ball.x, ball.vx = INNER_RIGHT - BALL_R, -math.abs(ball.vx)
    wallSound:play()
  end
  if ball.y + BALL_R > INNER_TOP then
    ball.y, ball.vy = INNER_TOP - BALL_R, -math.abs(ball.vy)
    wallSound:play()
  end

  -- The paddle: where the ball hits decides the new angle, as in the classics.
  local top = PADDLE_Y + PADDLE_HALF_H
  if ball.vy < 0 and ball.y - BALL_R <= top and ball.y - BALL_R >= top - ball.speed - 1
     and math.abs(ball.x - paddle.x) <= PADDLE_HALF_W + BALL_R then
    local offset = (ball.x - paddle.x) / (PADDLE_HALF_W + BALL_R)   -- -1 .. 1
    local angle = offset * 1.1
    ball.speed = math.min(MAX_SPEED, ball.speed + SPEED_UP)
    ball.vx = ball.speed * math.sin(angle)
    ball.vy = ball.speed * math.cos(angle)
    ball.y = top + BALL_R
    paddle.squash = 4
    bounceSound:play()
    score = score + 1
    if score > best then best = score end
    showScore()
  end

  -- Missed: the score starts again.
  if ball.y < -300 - BALL_R * 2 then
    score = 0
    showScore()
    serve()
  end
end

---------------------------------------------------------------- drawing
-- onDraw runs once per frame; the window was cleared to black just before.
function onDraw()
  -- One picture, drawn many times: setPosition before each draw. The side walls are laid
  -- from the top down, so they meet the top wall; the last tile runs off the bottom.
  for y = 300 - TILE / 2, -300 - TILE / 2, -TILE do
    wallImage:setPosition(-400 + TILE / 2, y); wallImage:draw()
    wallImage:setPosition(400 - TILE / 2, y); wallImage:draw()
  end
  for x = -400 + TILE * 1.5, 400 - TILE, TILE do
    wallImage:setPosition(x, 300 - TILE / 2); wallImage:draw()
  end

  -- The score under the top wall, drawn before the ball so the ball passes in front.
  text.draw("SCORE " .. score, INNER_LEFT + 16, INNER_TOP - 24, 30)
  text.draw("BEST " .. best, INNER_RIGHT - 16, INNER_TOP - 24, 20, "right", 0.7)

  -- Writing x, y or rotation places the image with the automatic transform:
  -- turned about its centre, then scaled, then moved to (x, y).
  paddleImage.x = paddle.x
  paddleImage.y = PADDLE_Y
  paddleImage.rotation = -paddle.speed * 0.006    -- leans a little when moving
  if paddle.squash > 0 then
    paddleImage:setScale(1.1, 0.7)                -- squashed for a moment after a hit
  else
    paddleImage:setScale(1)
  end
  paddleImage:draw()

  ballImage:setPosition(ball.x, ball.y)
  ballImage.rotation = ball.spin
  ballImage:draw()
end

---------------------------------------------------------------- start
showScore()
serve()
