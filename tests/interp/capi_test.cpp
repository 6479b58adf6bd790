// __updateindex as seen through the C API: lua_settable and lua_setfield go
// through the events, the raw setters never do, and a metatable changed with a
// raw setter must not keep answering from its absence cache.
#include <gtest/gtest.h>

#include <lua.hpp>

#include <string>
#include <vector>

namespace {

struct Call {
  const void *table;
  std::string key;
  std::string value;  // "nil" for nil
  int nargs;
};

std::vector<Call> calls;

int record(lua_State *L) {
  Call c;
  c.nargs = lua_gettop(L);
  c.table = lua_topointer(L, 1);
  lua_pushvalue(L, 2);  // tostring on a copy keeps number keys numbers
  c.key = lua_isnil(L, -1) ? "nil" : luaL_checkstring(L, -1);
  lua_pop(L, 1);
  lua_pushvalue(L, 3);
  c.value = lua_isnil(L, -1) ? "nil" : lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
  lua_pop(L, 1);
  calls.push_back(c);
  return 0;
}

class UpdateIndexApi : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    L = luaL_newstate();
    ASSERT_NE(L, nullptr);
    luaL_openlibs(L);
  }
  void TearDown() override {
    EXPECT_EQ(lua_gettop(L), base) << "stack not balanced";
    lua_close(L);
  }

  // Pushes t = {a = "one", [1] = "first", [10] = "ten"} with metatable mt and
  // leaves both on the stack (t below mt). mt gets the events named.
  void push_table(bool update, bool newindex) {
    lua_newtable(L);
    lua_pushstring(L, "one");
    lua_setfield(L, -2, "a");
    lua_pushstring(L, "first");
    lua_rawseti(L, -2, 1);
    lua_pushstring(L, "ten");
    lua_rawseti(L, -2, 10);
    lua_newtable(L);
    if (update) {
      lua_pushcfunction(L, record);
      lua_setfield(L, -2, "__updateindex");
    }
    if (newindex) {
      lua_pushcfunction(L, record);
      lua_setfield(L, -2, "__newindex");
    }
    lua_pushvalue(L, -1);
    lua_setmetatable(L, -3);
    base = lua_gettop(L);
  }

  std::string field(int t, const char *k) {
    lua_getfield(L, t, k);
    std::string s = lua_isnil(L, -1) ? "nil" : lua_tostring(L, -1);
    lua_pop(L, 1);
    return s;
  }
  std::string rawindex(int t, int n) {
    lua_rawgeti(L, t, n);
    std::string s = lua_isnil(L, -1) ? "nil" : lua_tostring(L, -1);
    lua_pop(L, 1);
    return s;
  }

  lua_State *L = nullptr;
  int base = 0;
};

TEST_F(UpdateIndexApi, SettableOnExistingKeyCallsTheEvent) {
  push_table(true, false);
  const void *t = lua_topointer(L, -2);
  lua_pushstring(L, "a");
  lua_pushstring(L, "two");
  lua_settable(L, -4);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].table, t);
  EXPECT_EQ(calls[0].key, "a");
  EXPECT_EQ(calls[0].value, "two");
  EXPECT_EQ(calls[0].nargs, 3);
  EXPECT_EQ(field(-2, "a"), "one");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, SetfieldOnExistingKeyCallsTheEvent) {
  push_table(true, false);
  lua_pushstring(L, "two");
  lua_setfield(L, -3, "a");
  lua_pushnil(L);
  lua_setfield(L, -3, "a");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].value, "two");
  EXPECT_EQ(calls[1].value, "nil");
  EXPECT_EQ(calls[1].nargs, 3);
  EXPECT_EQ(field(-2, "a"), "one");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, SetfieldOnNewKeyStores) {
  push_table(true, false);
  lua_pushstring(L, "new");
  lua_setfield(L, -3, "b");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(field(-2, "b"), "new");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, SettableWithIntegerKeys) {
  push_table(true, true);
  lua_pushinteger(L, 1);  // array part
  lua_pushstring(L, "x");
  lua_settable(L, -4);
  lua_pushinteger(L, 10);  // hash part
  lua_pushstring(L, "y");
  lua_settable(L, -4);
  lua_pushinteger(L, 2);  // new
  lua_pushstring(L, "z");
  lua_settable(L, -4);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].key, "1");
  EXPECT_EQ(calls[1].key, "10");
  EXPECT_EQ(calls[2].key, "2");
  EXPECT_EQ(rawindex(-2, 1), "first");
  EXPECT_EQ(rawindex(-2, 10), "ten");
  EXPECT_EQ(rawindex(-2, 2), "nil");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, RawsetDoesNotCallTheEvent) {
  push_table(true, true);
  lua_pushstring(L, "a");
  lua_pushstring(L, "two");
  lua_rawset(L, -4);
  lua_pushstring(L, "b");
  lua_pushstring(L, "new");
  lua_rawset(L, -4);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(field(-2, "a"), "two");
  EXPECT_EQ(field(-2, "b"), "new");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, RawsetiDoesNotCallTheEvent) {
  push_table(true, true);
  lua_pushstring(L, "x");
  lua_rawseti(L, -3, 1);
  lua_pushstring(L, "y");
  lua_rawseti(L, -3, 10);
  lua_pushstring(L, "z");
  lua_rawseti(L, -3, 2);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(rawindex(-2, 1), "x");
  EXPECT_EQ(rawindex(-2, 10), "y");
  EXPECT_EQ(rawindex(-2, 2), "z");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, RawsetOnTheMetatableInvalidatesTheCache) {
  push_table(false, false);
  // Two updates: the second finds the absence of the event cached.
  lua_pushstring(L, "two");
  lua_setfield(L, -3, "a");
  lua_pushstring(L, "three");
  lua_setfield(L, -3, "a");
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(field(-2, "a"), "three");
  lua_pushstring(L, "__updateindex");
  lua_pushcfunction(L, record);
  lua_rawset(L, -3);
  lua_pushstring(L, "four");
  lua_setfield(L, -3, "a");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].value, "four");
  EXPECT_EQ(field(-2, "a"), "three");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, RawsetiOnTheMetatableAlsoInvalidatesTheCache) {
  // The array part cannot hold an event, but the cache is cleared all the same;
  // this only checks that nothing goes wrong around it.
  push_table(false, false);
  lua_pushstring(L, "two");
  lua_setfield(L, -3, "a");
  lua_pushstring(L, "three");
  lua_setfield(L, -3, "a");
  lua_pushboolean(L, 1);
  lua_rawseti(L, -2, 1);
  lua_pushcfunction(L, record);
  lua_setfield(L, -2, "__updateindex");
  lua_pushstring(L, "four");
  lua_setfield(L, -3, "a");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(field(-2, "a"), "three");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, SetglobalCallsTheEvent) {
  lua_newtable(L);
  lua_pushcfunction(L, record);
  lua_setfield(L, -2, "__updateindex");
  lua_setmetatable(L, LUA_GLOBALSINDEX);
  lua_pushinteger(L, 1);
  lua_setglobal(L, "x");
  lua_pushinteger(L, 2);
  lua_setglobal(L, "x");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].table, lua_topointer(L, LUA_GLOBALSINDEX));
  EXPECT_EQ(calls[0].key, "x");
  EXPECT_EQ(calls[0].value, "2");
  lua_getglobal(L, "x");
  EXPECT_EQ(lua_tointeger(L, -1), 1);
  lua_pop(L, 1);
}

int assign_a(lua_State *L) {
  lua_pushstring(L, "two");
  lua_setfield(L, 1, "a");
  return 0;
}

int refuse(lua_State *L) {
  return luaL_error(L, "refused %s", lua_tostring(L, 2));
}

TEST_F(UpdateIndexApi, HandlerErrorReachesTheCaller) {
  push_table(false, false);
  lua_pushcfunction(L, refuse);
  lua_setfield(L, -2, "__updateindex");
  lua_pushcfunction(L, assign_a);
  lua_pushvalue(L, -3);
  ASSERT_NE(lua_pcall(L, 1, 0, 0), 0);
  EXPECT_STREQ(lua_tostring(L, -1), "refused a");
  lua_pop(L, 1);
  EXPECT_EQ(field(-2, "a"), "one");
  lua_pop(L, 2);
  base -= 2;
}

TEST_F(UpdateIndexApi, HandledNewKeyIsInvisibleToNext) {
  push_table(false, true);
  for (int i = 0; i < 20; i++) {
    lua_pushstring(L, "v");
    lua_setfield(L, -3, ("k" + std::to_string(i)).c_str());
  }
  EXPECT_EQ(calls.size(), 20u);
  int n = 0;
  lua_pushnil(L);
  while (lua_next(L, -3)) {
    lua_pop(L, 1);
    n++;
  }
  EXPECT_EQ(n, 3);  // a, [1], [10]
  lua_pop(L, 2);
  base -= 2;
}

}  // namespace
