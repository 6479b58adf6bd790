// Finds the program's own folder and points package.path at the library that lies beside it.
#include "library_path.h"

#include <string>

#include <unistd.h>

void appendLibraryPath(lua_State* L) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return;
    std::string dir(exe, static_cast<size_t>(n));
    dir.erase(dir.rfind('/'));
    // lib/ is where the build puts it; an install puts the program in bin/ and it in share/.
    std::string templates = dir + "/lib/?.lua;" + dir + "/../share/gamehost/lib/?.lua";
    lua_getglobal(L, "package");
    lua_getfield(L, -1, "path");
    const char* path = lua_tostring(L, -1);
    std::string joined = path && *path ? std::string(path) + ";" + templates : templates;
    lua_pop(L, 1);
    lua_pushstring(L, joined.c_str());
    lua_setfield(L, -2, "path");
    lua_pop(L, 1);
}
