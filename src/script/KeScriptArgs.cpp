#include "script/KeScriptArgs.h"

#include "core/KeError.h"
#include "runtime/KeEngine.h"

#include <cstring>

namespace kolm {

namespace {

constexpr char kIntRange[] = "integer out of range";

bool fitsInt(lua_Number n) { return n > -2147483649.0 && n < 2147483648.0; }

// Name of the running function as Lua's debug information gives it, "?" when none.
const char* runningName(lua_State* L) {
    lua_Debug ar;
    if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar) && ar.name) return ar.name;
    return "?";
}

}  // namespace

int keScriptInt(lua_State* L, int arg) {
    const lua_Number n = luaL_checknumber(L, arg);
    if (!fitsInt(n)) luaL_argerror(L, arg, kIntRange);
    return static_cast<int>(n);
}

float keScriptNumber(lua_State* L, int arg) { return static_cast<float>(luaL_checknumber(L, arg)); }
double keScriptDouble(lua_State* L, int arg) { return luaL_checknumber(L, arg); }
const char* keScriptString(lua_State* L, int arg) { return luaL_checklstring(L, arg, nullptr); }
uint32_t keScriptColor(lua_State* L, int arg) { return static_cast<uint32_t>(luaL_checkunsigned(L, arg)); }

bool keScriptBool(lua_State* L, int arg) {
    if (lua_type(L, arg) != LUA_TBOOLEAN)
        luaL_argerror(L, arg, lua_pushfstring(L, "%s expected, got %s", "boolean", luaL_typename(L, arg)));
    return lua_toboolean(L, arg) != 0;
}

void keScriptRequireSetup(lua_State* L) {
    if (!keIsStarted()) luaL_error(L, "calling '%s' without Setup first", runningName(L));
}

void keScriptRaisePending(lua_State* L) {
    int index = -1;
    const char* message = takeLastError(&index);
    if (!message) return;
    lua_pushstring(L, message);  // a copy: the next command starts clean
    clearLastError();
    luaL_argerror(L, index, lua_tostring(L, -1));
}

size_t keScriptJoinText(lua_State* L, int first, char* buffer) {
    const int top = lua_gettop(L);
    size_t length = 0;
    buffer[0] = '\0';
    lua_getglobal(L, "tostring");
    for (int i = first; i <= top; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        size_t partLength = 0;
        const char* part = lua_tolstring(L, -1, &partLength);
        if (!part) luaL_error(L, "'tostring' must return a string to 'Text'");
        if (i > first && length + 1 < KE_SCRIPT_TEXT_CAPACITY) buffer[length++] = ' ';
        const size_t room = KE_SCRIPT_TEXT_CAPACITY - 1 - length;
        const size_t n = partLength < room ? partLength : room;
        std::memcpy(buffer + length, part, n);
        length += n;
        buffer[length] = '\0';
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return length;
}

namespace {

template <class Store>
int readArray(lua_State* L, int arg, int capacity, Store store) {
    luaL_checktype(L, arg, LUA_TTABLE);
    const size_t length = lua_rawlen(L, arg);
    if (length > static_cast<size_t>(capacity))
        luaL_error(L, "Exceed buffer capacity %d>%d", static_cast<int>(length > 0x7FFFFFFF ? 0x7FFFFFFF : length),
                   capacity);
    for (int i = 1; i <= static_cast<int>(length); ++i) {
        lua_rawgeti(L, arg, i);
        if (lua_type(L, -1) != LUA_TNUMBER)
            luaL_error(L, "invalid entry #%d in array argument #%d (expected number, got %s)", i, arg,
                       luaL_typename(L, -1));
        if (!store(i - 1, lua_tonumber(L, -1)))
            luaL_error(L, "invalid entry #%d in array argument #%d (%s)", i, arg, kIntRange);
        lua_pop(L, 1);
    }
    return static_cast<int>(length);
}

}  // namespace

int keScriptIntArray(lua_State* L, int arg, int* out, int capacity) {
    return readArray(L, arg, capacity, [out](int i, lua_Number n) {
        if (!fitsInt(n)) return false;
        out[i] = static_cast<int>(n);
        return true;
    });
}

int keScriptNumberArray(lua_State* L, int arg, float* out, int capacity) {
    return readArray(L, arg, capacity, [out](int i, lua_Number n) {
        out[i] = static_cast<float>(n);
        return true;
    });
}

int keScriptFloatList(lua_State* L, int first, float* out) {
    const int count = lua_gettop(L) - first + 1;
    if (count > KE_SCRIPT_FLOAT_LIST_CAPACITY) luaL_argerror(L, -1, "too much floats parameters");
    for (int i = 0; i < count; ++i) out[i] = static_cast<float>(lua_tonumber(L, first + i));
    return count < 0 ? 0 : count;
}

}  // namespace kolm
