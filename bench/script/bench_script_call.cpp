// Cost of one script command from Lua to its operation and back: PositionObject on an existing
// object, against the operation called directly, and the allocations per call.
#include "api/KeObjectApi.h"
#include "runtime/KeEngine.h"
#include "script/KeCommandTable.h"

#include <benchmark/benchmark.h>
#include <lua.hpp>

#include <cstdio>

namespace {

size_t g_allocations = 0;

void* countingAlloc(void*, void* block, size_t, size_t size) {
    if (size == 0) {
        std::free(block);
        return nullptr;
    }
    ++g_allocations;
    return std::realloc(block, size);
}

struct Engine {
    Engine() {
        kolm::keSetEngineDriverType(irr::video::EDT_NULL);
        L = lua_newstate(&countingAlloc, nullptr);
        luaL_openlibs(L);
        kolm::keScriptOpenCommands(L);
        luaL_dostring(L, "ke.Setup(320, 240); ke.LoadObject('" KOLM_SOURCE_DIR "/examples/scripts/cube.x', 1)");
    }
    ~Engine() {
        lua_close(L);
        kolm::keStopEngine();
    }
    lua_State* L = nullptr;
};

void BM_OperationDirect(benchmark::State& state) {
    Engine e;
    float x = 0;
    for (auto _ : state) {
        kolm::kePositionObject(1, x, 2.0f, 3.0f);
        x += 1.0f;
    }
}
BENCHMARK(BM_OperationDirect);

// A Lua loop of n calls; the per-call cost is the time divided by n.
void BM_CommandFromLua(benchmark::State& state) {
    Engine e;
    luaL_dostring(e.L, "function calls(n) local p = ke.PositionObject for i = 1, n do p(1, i, 2, 3) end end");
    const int n = 1000;
    size_t allocations = 0;
    for (auto _ : state) {
        lua_getglobal(e.L, "calls");
        lua_pushinteger(e.L, n);
        const size_t before = g_allocations;
        lua_call(e.L, 1, 0);
        allocations += g_allocations - before;
    }
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["allocs/call"] = benchmark::Counter(double(allocations) / double(state.iterations() * n));
}
BENCHMARK(BM_CommandFromLua);

// The same loop calling a Lua function that does nothing: the interpreter's own share.
void BM_EmptyLuaLoop(benchmark::State& state) {
    Engine e;
    luaL_dostring(e.L, "local function f() end function calls(n) for i = 1, n do f(1, i, 2, 3) end end");
    const int n = 1000;
    for (auto _ : state) {
        lua_getglobal(e.L, "calls");
        lua_pushinteger(e.L, n);
        lua_call(e.L, 1, 0);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_EmptyLuaLoop);

}  // namespace
