// Reading script command arguments from the Lua stack, and the errors a command raises.
//
// Every function that raises does so with a Lua error (a long jump through the caller's
// frames): frames between the binding and the raise hold only trivially destructible objects.
//
// Argument kinds: integer (a number, truncated towards zero, that must fit 32 bits: Lua's own
// integer reader would wrap 4294967297 to 1), number (passed on as a float), string, colour
// (0xRRGGBB, Lua's unsigned reader: taken modulo 2^32) and boolean (strict: only a Lua
// boolean). A wrong argument raises Lua's standard "bad argument #%d to '%s' (%s)".
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <cstdint>

namespace kolm {

int keScriptInt(lua_State* L, int arg);
float keScriptNumber(lua_State* L, int arg);
double keScriptDouble(lua_State* L, int arg);
const char* keScriptString(lua_State* L, int arg);
uint32_t keScriptColor(lua_State* L, int arg);
bool keScriptBool(lua_State* L, int arg);

// Raises "calling '%s' without Setup first" (named as Lua's debug information names the running
// function, "?" when it cannot) unless the engine is set up.
void keScriptRequireSetup(lua_State* L);
// When the error reporter holds a pending error: clears it and raises it as the argument error
// of its recorded index (-1: no single argument) with its text.
void keScriptRaisePending(lua_State* L);

// Joined text: arguments `first` to the top, each through the global `tostring`, joined with
// one space, into `buffer` of KE_SCRIPT_TEXT_CAPACITY characters (terminating zero included;
// what does not fit is cut). A `tostring` result that is not a string (or a number) raises
// "'tostring' must return a string to 'Text'". Returns the length written.
constexpr int KE_SCRIPT_TEXT_CAPACITY = 1024;
size_t keScriptJoinText(lua_State* L, int first, char* buffer);

// Array arguments: the table at `arg` read as entries 1 to its length into `out`. Not a table:
// the argument error "table expected, got %s"; longer than `capacity`: "Exceed buffer capacity
// %d>%d"; an entry that is not a number: "invalid entry #%d in array argument #%d (expected
// number, got %s)" (integer entries beyond 32 bits: "... (integer out of range)"). Returns the
// length.
constexpr int KE_SCRIPT_ARRAY_CAPACITY = 60;
int keScriptIntArray(lua_State* L, int arg, int* out, int capacity);
int keScriptNumberArray(lua_State* L, int arg, float* out, int capacity);

// Number lists: arguments `first` to the top as numbers (a value that is not a number reads as
// 0), at most KE_SCRIPT_FLOAT_LIST_CAPACITY; one more raises the argument error #-1 "too much
// floats parameters". Returns the count.
constexpr int KE_SCRIPT_FLOAT_LIST_CAPACITY = 16;
int keScriptFloatList(lua_State* L, int first, float* out);

}  // namespace kolm
