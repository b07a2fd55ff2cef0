#include "script/KeScriptHost.h"

#include "api/KeEngineApi.h"
#include "core/KeError.h"
#include "files/KeFileSystem.h"
#include "files/KeReadFile.h"
#include "platform/KeProcess.h"
#include "script/KeCommandTable.h"

#include <lua.hpp>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace kolm {

namespace {

// The ten standard libraries, opened as globals in this order; "_PRELOAD" stays empty.
const luaL_Reg kLibraries[] = {
    {"_G", luaopen_base},          {LUA_LOADLIBNAME, luaopen_package}, {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table}, {LUA_IOLIBNAME, luaopen_io},        {LUA_OSLIBNAME, luaopen_os},
    {LUA_STRLIBNAME, luaopen_string}, {LUA_BITLIBNAME, luaopen_bit32},   {LUA_MATHLIBNAME, luaopen_math},
    {LUA_DBLIBNAME, luaopen_debug},
};

void openLibraries(lua_State* L) {
    for (const luaL_Reg& lib : kLibraries) {
        luaL_requiref(L, lib.name, lib.func, 1);
        lua_pop(L, 1);
    }
    luaL_getsubtable(L, LUA_REGISTRYINDEX, "_PRELOAD");
    lua_pop(L, 1);
}

// Index of the file name in a path: after the last "\", "/" or ":".
size_t fileNameStart(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? 0 : cut + 1;
}

void printLine(const char* text) {
    std::printf("%s\n", text ? text : "(error object is not a string)");
    std::fflush(stdout);
}

}  // namespace

int keRunScript(const char* path, bool fromFileSystem) {
    const std::string exe = keReadExecutablePath();
    const size_t exeName = fileNameStart(exe);
    keSetBaseDir(exe.substr(0, exeName).c_str());

    const std::string full = path ? path : "";
    const size_t nameStart = fileNameStart(full);
    if (nameStart > 0) {
        const std::string dir = full.substr(0, nameStart);
        if (chdir(dir.c_str()) != 0) {
            // Lua's loader names the missing file in its own message below.
        }
    }
    const std::string name = full.substr(nameStart);

    setLogThreshold(KE_NONE);
    disableMessageBoxes();

    lua_State* L = luaL_newstate();
    if (!L) {
        printLine("not enough memory");
        return LUA_ERRMEM;
    }
    openLibraries(L);
    keScriptOpenCommands(L);

    int status = 0;
    if (fromFileSystem) {
        std::string chunk;
        if (!keReadWholeFile(name.c_str(), chunk)) {
            std::printf("cannot load %s\n", full.c_str());
            std::fflush(stdout);
            lua_close(L);
            return -1;
        }
        status = luaL_loadbuffer(L, chunk.data(), chunk.size(), "mem");
    } else {
        status = luaL_loadfile(L, name.c_str());
    }
    if (status != LUA_OK) {
        printLine(lua_tostring(L, -1));
    } else {
        status = lua_pcall(L, 0, 0, 0);
        if (status != LUA_OK) printLine(lua_tostring(L, -1));
    }
    lua_close(L);
    keTerm();
    return status;
}

}  // namespace kolm
