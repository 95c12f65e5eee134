// The Lua object binding's hot paths against bare Lua: a bound method called
// from a script (obj:GetX()) against a bare C function pushing a number,
// called the same way from a plain table; an event raised on 1,000 object
// tables that handle it against fetching each table's handler and calling it
// with lua_pcall directly; and the same event on tables without a handler
// against one lua_getfield on each table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/scene/script/LuaMgr.h"
#include "tests/scene/script/TestBoundClasses.h"

namespace
{

using namespace TarnEngine;

constexpr int kCalls = 1000;
constexpr int kTables = 1000;

struct World
{
    World()
    {
        TestThing::StaticClass();
        lua = std::make_unique<LuaMgr>();
        lua->Init();
        L = lua->GetState();
        lua_newtable(L); // the anchor's array of the same tables
        for (int i = 0; i < kTables; ++i)
        {
            auto* thing = new TestThing;
            thing->x = float(i);
            thing->CreateLuaTable();
            things.push_back(thing);
            thing->PushTable();
            lua_rawseti(L, -2, i + 1);
        }
        tables = luaL_ref(L, LUA_REGISTRYINDEX);
        things[0]->PushTable();
        lua_setglobal(L, "obj");
        lua_pushcfunction(L, [](lua_State* s) {
            lua_pushnumber(s, 1.0);
            return 1;
        });
        lua_setglobal(L, "bare");
        luaL_dostring(L, "plain = { GetX = bare }\n"
                         "function bound(n) local o = obj; local x; for i = 1, n do x = o:GetX() end return x end\n"
                         "function anchor(n) local o = plain; local x; for i = 1, n do x = o:GetX() end return x end\n");
    }
    ~World()
    {
        for (TestThing* thing : things)
            delete thing;
    }
    void SetHandlers(bool on)
    {
        lua_rawgeti(L, LUA_REGISTRYINDEX, tables);
        luaL_dostring(L, "handler = function(self) end");
        for (int i = 1; i <= kTables; ++i)
        {
            lua_rawgeti(L, -1, i);
            if (on)
                lua_getglobal(L, "handler");
            else
                lua_pushnil(L);
            lua_setfield(L, -2, "OnUpdate");
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    void CallScript(const char* function)
    {
        lua_getglobal(L, function);
        lua_pushnumber(L, kCalls);
        lua_call(L, 1, 1);
        benchmark::DoNotOptimize(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }

    std::unique_ptr<LuaMgr> lua;
    lua_State* L = nullptr;
    std::vector<TestThing*> things;
    int tables = LUA_NOREF;
};

World& world()
{
    static World w;
    return w;
}

int noArguments(lua_State*)
{
    return 0;
}

// One batch of each benchmark in a function of its own, so that an
// instruction count (valgrind --tool=callgrind) can be divided by its calls.
[[gnu::noinline]] void boundBatch(World& w)
{
    w.CallScript("bound");
}

[[gnu::noinline]] void bareBatch(World& w)
{
    w.CallScript("anchor");
}

void raiseAll(World& w)
{
    for (TestThing* thing : w.things)
        benchmark::DoNotOptimize(LuaRaiseEvent(*thing, w.L, "OnUpdate", noArguments));
}

[[gnu::noinline]] void raiseHandledBatch(World& w)
{
    raiseAll(w);
}

[[gnu::noinline]] void raiseUnhandledBatch(World& w)
{
    raiseAll(w);
}

// What the binding does, written out against the tables held in one array
// (on top of the stack).
[[gnu::noinline]] void pcallBatch(World& w)
{
    lua_State* L = w.L;
    for (int i = 1; i <= kTables; ++i)
    {
        lua_rawgeti(L, -1, i);
        lua_getfield(L, -1, "OnUpdate");
        lua_insert(L, -2);
        benchmark::DoNotOptimize(lua_pcall(L, 1, 0, 0));
    }
}

[[gnu::noinline]] void getfieldBatch(World& w)
{
    lua_State* L = w.L;
    for (int i = 1; i <= kTables; ++i)
    {
        lua_rawgeti(L, -1, i);
        lua_getfield(L, -1, "OnUpdate");
        benchmark::DoNotOptimize(lua_isfunction(L, -1));
        lua_pop(L, 2);
    }
}

void methodBound(benchmark::State& state)
{
    World& w = world();
    for (auto _ : state)
        boundBatch(w);
}

void methodAnchor(benchmark::State& state)
{
    World& w = world();
    for (auto _ : state)
        bareBatch(w);
}

void eventBound(benchmark::State& state, bool handler)
{
    World& w = world();
    w.SetHandlers(handler);
    for (auto _ : state)
        (handler ? raiseHandledBatch : raiseUnhandledBatch)(w);
}

void eventAnchor(benchmark::State& state, bool handler)
{
    World& w = world();
    w.SetHandlers(handler);
    lua_rawgeti(w.L, LUA_REGISTRYINDEX, w.tables);
    for (auto _ : state)
        (handler ? pcallBatch : getfieldBatch)(w);
    lua_pop(w.L, 1);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("method/binding", methodBound)->Repetitions(5);
    benchmark::RegisterBenchmark("method/bare", methodAnchor)->Repetitions(5);
    benchmark::RegisterBenchmark("event/binding", eventBound, true)->Repetitions(5);
    benchmark::RegisterBenchmark("event/pcall", eventAnchor, true)->Repetitions(5);
    benchmark::RegisterBenchmark("nohandler/binding", eventBound, false)->Repetitions(5);
    benchmark::RegisterBenchmark("nohandler/getfield", eventAnchor, false)->Repetitions(5);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const struct
    {
        const char* own;
        const char* anchor;
        const char* what;
        double goal;
    } ratios[] = {
        {"method/binding", "method/bare", "obj:GetX() / bare C function", 1.8},
        {"event/binding", "event/pcall", "event with handler / raw lua_pcall", 1.3},
        {"nohandler/binding", "nohandler/getfield", "event without handler / one lua_getfield", 2.0},
    };
    for (const auto& r : ratios)
    {
        const auto own = reporter.nanoseconds.find(r.own);
        const auto anchor = reporter.nanoseconds.find(r.anchor);
        if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
            std::printf("%s: %.2fx (goal <= %.1fx)\n", r.what, own->second / anchor->second, r.goal);
    }
    return 0;
}
