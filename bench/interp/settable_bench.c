/*
** Assignments per second to an existing key, the path every script field
** update takes. Built twice from this source: once against our patched Lua
** and once against the stock release, so run.sh can compare the two.
**   (a) the table has a metatable without __updateindex (only __index)
**   (b) the table has no metatable
*/
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "lua.h"
#include "lauxlib.h"
#include "lualib.h"

#ifndef BENCH_LABEL
#define BENCH_LABEL "lua"
#endif

#define ROUNDS 7

static const char loop_src[] =
  "local t, n = ...\n"
  "for i = 1, n do t.k = i end\n";

/* CPU time of this thread: the build machine is shared, and time spent
** descheduled says nothing about the interpreter. */
static double now (void) {
  struct timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

static int cmp (const void *a, const void *b) {
  double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

static void die (lua_State *L) {
  fprintf(stderr, "settable_bench: %s\n", lua_tostring(L, -1));
  exit(1);
}

/* Pushes the table for one case: t.k exists, so every `t.k = i' is an update. */
static void push_table (lua_State *L, int with_metatable) {
  lua_newtable(L);
  lua_pushinteger(L, 0);
  lua_setfield(L, -2, "k");
  if (with_metatable) {
    if (luaL_dostring(L, "return { __index = {} }")) die(L);
    lua_setmetatable(L, -2);
  }
}

/* Best and median rate over ROUNDS runs of n assignments. */
static void measure (lua_State *L, int with_metatable, long n,
                     double *best, double *median) {
  double rate[ROUNDS];
  int r;
  for (r = 0; r < ROUNDS; r++) {
    double t0;
    if (luaL_loadstring(L, loop_src)) die(L);
    push_table(L, with_metatable);
    lua_pushnumber(L, (lua_Number)n);
    t0 = now();
    if (lua_pcall(L, 2, 0, 0)) die(L);
    rate[r] = n / (now() - t0);
  }
  qsort(rate, ROUNDS, sizeof(rate[0]), cmp);
  *best = rate[ROUNDS - 1];
  *median = rate[ROUNDS / 2];
}

int main (int argc, char **argv) {
  long n = argc > 1 ? atol(argv[1]) : 20000000L;
  lua_State *L = luaL_newstate();
  double best, median;
  int c;
  if (L == NULL || n <= 0) {
    fprintf(stderr, "usage: %s [assignments per round]\n", argv[0]);
    return 1;
  }
  luaL_openlibs(L);
  /* parseable lines: label case best median (assignments per second) */
  for (c = 0; c < 2; c++) {
    measure(L, c == 0, n, &best, &median);
    printf("%s %s %.0f %.0f\n", BENCH_LABEL, c == 0 ? "a" : "b", best, median);
  }
  lua_close(L);
  return 0;
}
