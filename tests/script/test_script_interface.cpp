// What scripts observe of the engine functions, the class "image" and the callbacks.
#include <cstring>
#include <iterator>
#include <regex>
#include <set>

#include <luabind/class_info.hpp>

extern "C" {
#include "lualib.h"
}

#include "callbacks.h"
#include "global_transform.h"
#include "script_fixture.h"

namespace {

using Lines = std::vector<std::string>;

bool startsWith(const std::string& s, const char* prefix) {
    return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// Each line is "ok" or the error message of a protected call.
const char* const tryHelper =
    "function try(f, ...) local ok, e = pcall(f, unpack(arg, 1, arg.n)) "
    "if ok then print('ok') else print('error') end end\n";

TEST_F(ScriptTest, PrintWritesOnlyTheLastArgument) {
    Lines out = run("print('a', 'b') print(12) print(0.5) x = rungame(1, 2) print(x == nil) print(nil) print()");
    Lines expected = {"b", "12", "0.5", "true", "nil", ""};
    EXPECT_EQ(out, expected);
}

TEST_F(ScriptTest, ErrorsBecomeOneLineAndStartUpGoesOn) {
    EXPECT_EQ(run("error('boom')"), Lines{"LUA runtime error: ./game.lua:1: boom"});
    lua_close(hostState.script);
    Lines syntax = run("x = 1\ny = = 2\n");
    ASSERT_EQ(syntax.size(), 1u);
    EXPECT_TRUE(startsWith(syntax[0], "LUA syntax error: ./game.lua:2:")) << syntax[0];
    EXPECT_EQ(lua_gettop(hostState.script), 0);
    lua_close(hostState.script);
    EXPECT_EQ(run("error({})"), Lines{"LUA runtime error: (error object is not a string)"});
}

TEST_F(ScriptTest, BindingComplaintsAreOneLineWithTheScriptsPosition) {
    Lines out = run("x = 1\nimageMove('a')");
    EXPECT_EQ(out, Lines{"LUA runtime error: ./game.lua:2: No matching overload found, candidates: "
                         "void imageMove(custom [float],custom [float])"});
    lua_close(hostState.script);
    run("function onTick() local img = image()\n img.x = 'a' end\n");
    EXPECT_EQ(capture([] { Sim_Wrapper().tick(); }).at(0).rfind("LUA runtime error: ./game.lua:2: ", 0), 0u);
    lua_close(hostState.script);
    EXPECT_EQ(run("error('two\\nlines')"), Lines{"LUA runtime error: ./game.lua:1: two; lines"});
}

TEST_F(ScriptTest, MissingGameWritesNothing) {
    testing::internal::CaptureStdout();
    setupScript();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(ScriptTest, RequireLoadsLuaFilesButNoNativeLibraries) {
    std::ofstream(dir + "/helper.lua") << "return 'helped'";
    Lines out = run(
        "package.path = './?.lua'\n"
        "print(require('helper'))\n"
        "print(loadlib == nil and package.loadlib == nil)\n"
        "print(#package.loaders)\n"
        "print(_LOADED == package.loaded)\n"
        "print(type(os.time) .. type(io.write) .. type(debug.traceback) .. type(coroutine.create))\n");
    Lines expected = {"helped", "true", "2", "true", "functionfunctionfunctionfunction"};
    EXPECT_EQ(out, expected);
}

TEST_F(ScriptTest, OverloadsAndArgumentRules) {
    Lines out = run(std::string(tryHelper) +
                    "try(imageScale, 2) try(imageScale, 2, 3) try(imageScale) try(imageScale, 1, 2, 3)\n"
                    "try(imageScale, '2')\n"
                    "try(imagePreScale, 2) try(imagePreScale, 2, 3) try(imagePreScale) try(imagePreScale, '2')\n"
                    "try(showCursor, true) try(showCursor, 1) try(showCursor, nil)\n"
                    "try(setWindowTitle, 'x') try(setWindowTitle, nil) try(setWindowTitle, 12)\n"
                    "try(imageReset) try(imageReset, 1)\n"
                    "try(imageMove, 1, 2) try(imageMove, 1) try(imageRotate, 1) try(imageMoveZ, 1)\n"
                    "try(resetTicks) try(setBrightness, 0.5) try(setBrightness, 'x')\n");
    Lines expected = {"ok", "ok", "error", "error", "error",
                      "ok", "ok", "error", "error",
                      "ok", "error", "error",
                      "ok", "ok", "error",
                      "ok", "error",
                      "ok", "error", "ok", "ok",
                      "ok", "ok", "error"};
    EXPECT_EQ(out, expected);
}

TEST_F(ScriptTest, FailedCallLeavesGlobalMatrixAlone) {
    run("imageMove(10, 0) pcall(imageReset, 1)");
    EXPECT_FLOAT_EQ(renderState.globalMatrix.m[3][0], 10);
}

TEST_F(ScriptTest, ScaleOverloadsReachDifferentSteps) {
    run("imageScale(2) imageScale(3, 5) imagePreScale(7)");
    EXPECT_FLOAT_EQ(renderState.globalMatrix.m[0][0], 42);
    EXPECT_FLOAT_EQ(renderState.globalMatrix.m[1][1], 70);
}

TEST_F(ScriptTest, ScriptsCanReplaceEngineFunctions) {
    Lines out = run("function imageMove(x, y) print('mine ' .. x) end imageMove(3, 4)");
    EXPECT_EQ(out, Lines{"mine 3"});
    EXPECT_FLOAT_EQ(renderState.globalMatrix.m[3][0], 0);
}

TEST_F(ScriptTest, BrightnessGoesToTheMaterialAmbient) {
    run("setBrightness(0.25)");
    EXPECT_FLOAT_EQ(device.lastMaterial.Ambient.r, 0.25f);
    EXPECT_FLOAT_EQ(device.lastMaterial.Ambient.b, 0.25f);
    EXPECT_FLOAT_EQ(device.lastMaterial.Ambient.a, 0.0f);  // the recording device saw no set-up
}

TEST_F(ScriptTest, ImageClassMethodsAndProperties) {
    seedPicture("ball.png", 32, 32);
    Lines out = run(std::string(tryHelper) +
                    "local img = image()\n"
                    "print(img:load('ball.png'))\n"
                    "print(img.x .. ' ' .. img.y .. ' ' .. img.rotation .. ' ' .. img.scalex .. ' ' .. img.scaley)\n"
                    "img.scale = 2 print(img.scalex .. ' ' .. img.scaley) print(type(img.scale))\n"
                    "img:scale(2) img:scale(2, 3) try(img.scale, img, 1, 2, 3)\n"
                    "img.x = 0.1 print(string.format('%.17g', img.x))\n"
                    "try(function() img.x = 'a' end)\n"
                    "img.note = 'mine' print(img.note) print(image().note)\n"
                    "try(image, 1) try(img.draw) try(img.setScale, img, 1, 2, 3)\n"
                    "img.rotation = 1.5 print(img.rotation)\n"
                    "img:setScale(2, 4) print(img.scalex .. ' ' .. img.scaley)\n"
                    "img.draw = 5 print(img.draw) print(type(image().draw))\n"
                    "local other = loadImage('BALL.png') print(other.x)\n");
    Lines expected = {"true",
                      "0 0 0 1 1",
                      "2 2", "function",
                      "error",
                      "0.10000000149011612",
                      "error",
                      "mine", "nil",
                      "error", "error", "error",
                      "1.5",
                      "2 4",
                      "5", "function",
                      "0"};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(TextureCache::size(), 1u);
}

TEST_F(ScriptTest, DerivedScriptClassIsAnImage) {
    seedPicture("ball.png", 32, 32);
    Lines out = run(
        "class 'Ball' (image)\n"
        "function Ball:__init() image.__init(self) self.speed = 3 end\n"
        "local b = Ball() print(b:load('ball.png')) b:setPosition(10, 20) print(b.x .. ' ' .. b.speed)\n"
        "b:draw()\n");
    Lines expected = {"true", "10 3"};
    EXPECT_EQ(out, expected);
    EXPECT_EQ(device.count("DrawPrimitive"), 1);
}

TEST_F(ScriptTest, ConstructorTakesOnlyAFreshImage) {
    seedPicture("ball.png", 32, 32);
    Lines out = run(
        "local img = loadImage('ball.png')\n"
        "class 'Foreign'\n"
        "function Foreign:__init() image.__init(self) end\n"
        "class 'Ball' (image)\n"
        "function Ball:__init() image.__init(5) end\n"
        "for _, bad in ipairs({5, 'x', true, {}, print, img, newproxy(true)}) do\n"
        "  print(select(2, pcall(image.__init, bad))) end\n"
        "print(select(2, pcall(Foreign))) print(select(2, pcall(Ball)))\n"
        "img:draw() print('after')\n"
        "Ball()\n");
    const std::string expected = "image.__init: new image expected, got ";
    Lines want = {expected + "number", expected + "string", expected + "boolean", expected + "table",
                  expected + "function", expected + "an image already constructed", expected + "userdata",
                  expected + "an object of class Foreign", expected + "number",
                  "after", "LUA runtime error: ./game.lua:5: " + expected + "number"};
    EXPECT_EQ(out, want);
    EXPECT_EQ(device.count("DrawPrimitive"), 1);  // the refused image kept its picture
}

TEST_F(ScriptTest, NilPathAndNilObjectDoNotCrash) {
    Lines out = run("local img = loadImage(nil) print(img ~= nil) print(img:load(nil))\n"
                    "print(pcall(img.draw, nil))\n");
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0], "Cannot load 'nil'");
    EXPECT_EQ(out[1], "true");
}

TEST_F(ScriptTest, CallbacksGetTheirArgumentsAndStackStaysBalanced) {
    run("n = 0 function onTick() n = n + 1 error('tick ' .. n) end\n"
        "function onKeyPress(k) print('press ' .. tostring(k)) end\n"
        "function onMotion(x, y) print(x .. ',' .. y) end\n"
        "function onButton(l, r) print(tostring(l) .. ',' .. tostring(r)) end\n");
    Sim_Wrapper sim;
    testing::internal::CaptureStdout();
    for (int i = 0; i < 5000; ++i)
        sim.tick();
    std::fflush(stdout);
    Lines out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 5000u);
    EXPECT_EQ(out.back(), "LUA runtime error: ./game.lua:1: tick 5000");
    EXPECT_EQ(lua_gettop(hostState.script), 0);

    Input_Wrapper input;
    SDL_Event e = {};
    e.key.state = SDL_PRESSED;
    testing::internal::CaptureStdout();
    for (int sym : {97, 65, 48, 9, 273, 274, 275, 276, 32, 13, 27}) {
        e.key.keysym.sym = static_cast<SDLKey>(sym);
        input.handleKey(&e);
    }
    e.motion.x = 0;
    e.motion.y = 0;
    input.handleMotion(&e);
    e.motion.x = 799;
    e.motion.y = 599;
    input.handleMotion(&e);
    e.button.state = SDL_PRESSED;
    for (int b : {1, 3, 2, 4, 5}) {
        e.button.button = static_cast<Uint8>(b);
        input.handleButton(&e);
    }
    e.button.state = SDL_RELEASED;
    e.button.button = 1;
    input.handleButton(&e);
    std::fflush(stdout);
    Lines expected = {"press a", "press A", "press 0", "press tab", "press up", "press down", "press right",
                      "press left", "press nil", "press nil", "press nil", "-400,300", "399,-299",
                      "true,false", "true,true", "false,true"};
    EXPECT_EQ(lines(testing::internal::GetCapturedStdout()), expected);
    EXPECT_EQ(lua_gettop(hostState.script), 0);
}

TEST_F(ScriptTest, NonFunctionCallbackAndRaisingGlobalsLookupAreReported) {
    run("onDraw = 5\n"
        "setmetatable(_G, {__index = function(t, k) error('undeclared ' .. k, 2) end})\n");
    Output_Wrapper output;
    testing::internal::CaptureStdout();
    output.drawFrame(nullptr);
    std::fflush(stdout);
    Lines out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_TRUE(startsWith(out[0], "LUA runtime error: ")) << out[0];

    Sim_Wrapper sim;
    testing::internal::CaptureStdout();
    sim.tick();
    std::fflush(stdout);
    out = lines(testing::internal::GetCapturedStdout());
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NE(out[0].find("undeclared onTick"), std::string::npos) << out[0];
    EXPECT_EQ(lua_gettop(hostState.script), 0);
}

// Read from the running interpreter, so a name cannot escape the check by being registered elsewhere.
TEST_F(ScriptTest, EveryScriptVisibleNameIsDescribedInTheGuide) {
    lua_State* stock = luaL_newstate();
    luaL_openlibs(stock);
    run("");
    lua_State* L = hostState.script;
    std::set<std::string> names = {"print", "onKeyPress", "onKeyRelease", "onMotion", "onButton", "onTick", "onDraw"};
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX)) {
        lua_pop(L, 1);
        lua_getfield(stock, LUA_GLOBALSINDEX, lua_tostring(L, -1));
        if (lua_isnil(stock, -1)) names.insert(lua_tostring(L, -1));
        lua_pop(stock, 1);
    }
    lua_close(stock);
    luabind::bind_class_info(L);
    ASSERT_EQ(luaL_dostring(L, "local i, s = class_info(image()), '' for k in pairs(i.methods) do s = s .. ' ' .. k end "
                               "return s .. ' ' .. table.concat(i.attributes, ' ')"), 0);
    std::string members = lua_tostring(L, -1);
    const std::regex member("\\b[a-z]\\w*"), span("`([^`\\n]+)`"), word("\\w+");
    for (std::sregex_iterator w(members.begin(), members.end(), member), end; w != end; ++w) names.insert(w->str());
    EXPECT_TRUE(names.count("loadImage") && names.count("setPosition") && names.count("rotation") && names.count("class"));

    std::ifstream guide(GUIDE_PATH);
    std::string text((std::istreambuf_iterator<char>(guide)), std::istreambuf_iterator<char>());
    std::set<std::string> described;
    for (std::sregex_iterator m(text.begin(), text.end(), span), end; m != end; ++m) {
        std::string code = (*m)[1];
        for (std::sregex_iterator w(code.begin(), code.end(), word); w != end; ++w) described.insert(w->str());
    }
    for (const std::string& name : names) EXPECT_TRUE(described.count(name)) << name << " is not in docs/scripting.md";
}

}  // namespace
