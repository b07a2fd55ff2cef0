// The binding of one script command to one object API operation, made from the operation's
// C++ signature: KeBind<&keFoo, KeResult::X>::call checks the set-up first (unless NeedsSetup
// is false), reads the operation's parameters from the Lua stack in order (int: integer, float
// and double: number, const char*: string, uint32_t: colour, bool: strict boolean), calls the
// operation, raises the error it recorded and pushes the result the table declares. `kinds`
// spells what it reads, one letter per parameter ("i", "n", "s", "c", "b"), for the command
// table's checks.
#pragma once

#include "script/KeScriptArgs.h"

#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kolm {

enum class KeResult { None, Boolean, Integer, Number, String };

template <class T>
struct KeArgReader;
template <>
struct KeArgReader<int> {
    static constexpr char kind = 'i';
    static int read(lua_State* L, int arg) { return keScriptInt(L, arg); }
};
template <>
struct KeArgReader<float> {
    static constexpr char kind = 'n';
    static float read(lua_State* L, int arg) { return keScriptNumber(L, arg); }
};
template <>
struct KeArgReader<double> {
    static constexpr char kind = 'n';
    static double read(lua_State* L, int arg) { return keScriptDouble(L, arg); }
};
template <>
struct KeArgReader<const char*> {
    static constexpr char kind = 's';
    static const char* read(lua_State* L, int arg) { return keScriptString(L, arg); }
};
template <>
struct KeArgReader<uint32_t> {
    static constexpr char kind = 'c';
    static uint32_t read(lua_State* L, int arg) { return keScriptColor(L, arg); }
};
template <>
struct KeArgReader<bool> {
    static constexpr char kind = 'b';
    static bool read(lua_State* L, int arg) { return keScriptBool(L, arg); }
};

template <class T>
void kePushResult(lua_State* L, KeResult result, T value) {
    switch (result) {
    case KeResult::None:
        break;
    case KeResult::Boolean:
        lua_pushboolean(L, value ? 1 : 0);
        break;
    case KeResult::Integer:
        lua_pushinteger(L, static_cast<lua_Integer>(value));
        break;
    case KeResult::Number:
        lua_pushnumber(L, static_cast<lua_Number>(value));
        break;
    case KeResult::String:
        break;  // string results have bindings of their own
    }
}

template <class F, F Op, KeResult R, bool NeedsSetup>
struct KeBindImpl;

template <class Ret, class... A, Ret (*Op)(A...), KeResult R, bool NeedsSetup>
struct KeBindImpl<Ret (*)(A...), Op, R, NeedsSetup> {
    static_assert(std::is_void<Ret>::value || std::is_arithmetic<Ret>::value, "operations return a value or nothing");
    static_assert(!std::is_void<Ret>::value || R == KeResult::None, "an operation that returns nothing has no result");
    static constexpr char kinds[] = {KeArgReader<A>::kind..., '\0'};

    static int call(lua_State* L) {
        if (NeedsSetup) keScriptRequireSetup(L);
        return invoke(L, std::index_sequence_for<A...>{});
    }

private:
    template <size_t... I>
    static int invoke(lua_State* L, std::index_sequence<I...>) {
        // A braced list is evaluated left to right: argument errors come in argument order.
        const std::tuple<A...> args{KeArgReader<A>::read(L, static_cast<int>(I) + 1)...};
        (void)args;
        if constexpr (std::is_void<Ret>::value) {
            Op(std::get<I>(args)...);
            keScriptRaisePending(L);
            return 0;
        } else {
            const Ret value = Op(std::get<I>(args)...);
            keScriptRaisePending(L);
            kePushResult(L, R, value);
            return R == KeResult::None ? 0 : 1;
        }
    }
};

template <class Ret, class... A, Ret (*Op)(A...), KeResult R, bool NeedsSetup>
constexpr char KeBindImpl<Ret (*)(A...), Op, R, NeedsSetup>::kinds[];

template <auto Op, KeResult R = KeResult::None, bool NeedsSetup = true>
using KeBind = KeBindImpl<decltype(Op), Op, R, NeedsSetup>;

}  // namespace kolm
