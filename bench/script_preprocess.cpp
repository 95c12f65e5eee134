// Preprocessing a macro-heavy script (class macros, system constants, function-like and variadic
// macros on most lines), against its anchor: Lua 5.1 compiling the preprocessed text with
// luaL_loadbuffer, which every preprocessed text goes through next. Console text and "ExecString"
// text pay both, so the preprocessor should cost at most half the compile. A second figure runs ten
// times the text to show that the time grows in a straight line with it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include <lua.hpp>

#include "FastestRunReporter.h"
#include "engine/scene/script/Preprocessor.h"

namespace
{

using TarnEngine::ScriptPreprocessor;

void defineMacros()
{
    TarnEngine::DefineSystemMacroInt("INSTANCE_MOVIE", 0);
    TarnEngine::DefineSystemMacroInt("eMaterialAlpha", 1);
    TarnEngine::DefineSystemMacroInt("eMaterialMaskedIn", 65536);
    TarnEngine::DefineSystemMacroInt("WR_All", 15);
    ScriptPreprocessor preprocessor;
    preprocessor.DefineMacrosFromText(
        "#define _clType(x) local __type = {}; __type._type = #x; __type._parents = {}; __type._fields = {}; "
        "__type._fields.__type = #x\n"
        "#define _clParent(x) table.insert(__type._parents, #x)\n"
        "#define _clMember(#x) __type._fields\n"
        "#define _clEnd(#x) BuildType(__type); __type = nil\n");
}

// Script classes as the game writes them, about 600 bytes each; `bytes` of them.
std::string scriptText(size_t bytes)
{
    std::string text = "-- generated classes\n"
                       "#define MAX_VALUE 100\n"
                       "#define SCREEN_WIDTH 1024\n"
                       "#define HALF(v) ((v) / 2)\n"
                       "#define CLAMP(v, lo, hi) math.min(math.max(v, lo), hi)\n"
                       "#define LOG_CALL(name, #rest) log(name .. \":\" .. tostring(rest))\n";
    char unit[1024];
    for (int i = 0; text.size() < bytes; ++i)
    {
        // Each class in its own block: a chunk may hold only 200 locals.
        std::snprintf(unit, sizeof unit,
                      "do\n"
                      "_clType(Item%d)\n"
                      "_clParent(Instance_Movie)\n"
                      "_clParent(Component)\n"
                      "function _clMember().OnLoad(self)\n"
                      "    self.material = eMaterialAlpha + eMaterialMaskedIn -- combined material\n"
                      "    self.kind = INSTANCE_MOVIE\n"
                      "    self.edges = WR_All\n"
                      "    LOG_CALL(\"Item%d\", self, %d, \"loaded\")\n"
                      "    return CLAMP(self.value, 0, MAX_VALUE)\n"
                      "end\n"
                      "function _clMember().OnClick(self, x, y)\n"
                      "    local text = [[Item %d clicked]] --[[ a note\n    on two lines ]]\n"
                      "    if x > HALF(SCREEN_WIDTH) then self:Move(x - 1, y) end\n"
                      "end\n"
                      "_clEnd()\n"
                      "end\n",
                      i, i, i, i);
        text += unit;
    }
    return text;
}

const std::string& smallText()
{
    static const std::string text = scriptText(100 * 1024);
    return text;
}

const std::string& largeText()
{
    static const std::string text = scriptText(1024 * 1024);
    return text;
}

void preprocess(benchmark::State& state, const std::string& text)
{
    ScriptPreprocessor preprocessor;
    for (auto _ : state)
    {
        std::string output;
        if (!preprocessor.Run(text, output))
            state.SkipWithError("the script did not preprocess");
        benchmark::DoNotOptimize(output.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void Preprocess100K(benchmark::State& state)
{
    preprocess(state, smallText());
}

void Preprocess1M(benchmark::State& state)
{
    preprocess(state, largeText());
}

void LuaCompile100K(benchmark::State& state)
{
    std::string output;
    ScriptPreprocessor preprocessor;
    if (!preprocessor.Run(smallText(), output))
    {
        state.SkipWithError("the script did not preprocess");
        return;
    }
    lua_State* lua = luaL_newstate();
    for (auto _ : state)
    {
        if (luaL_loadbuffer(lua, output.data(), output.size(), "bench") != 0)
            state.SkipWithError(lua_tostring(lua, -1));
        lua_pop(lua, 1);
    }
    lua_close(lua);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(output.size()));
}

} // namespace

int main(int argc, char** argv)
{
    defineMacros();
    benchmark::RegisterBenchmark("Preprocess100K", Preprocess100K)->Unit(benchmark::kMillisecond)->Repetitions(7);
    benchmark::RegisterBenchmark("LuaCompile100K", LuaCompile100K)->Unit(benchmark::kMillisecond)->Repetitions(7);
    benchmark::RegisterBenchmark("Preprocess1M", Preprocess1M)->Unit(benchmark::kMillisecond)->Repetitions(7);
    // Repetitions alternate, so that a change in the machine's load hits every side alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto small = reporter.nanoseconds.find("Preprocess100K");
    const auto compile = reporter.nanoseconds.find("LuaCompile100K");
    const auto large = reporter.nanoseconds.find("Preprocess1M");
    if (small != reporter.nanoseconds.end() && compile != reporter.nanoseconds.end())
        std::printf("preprocess / luaL_loadbuffer of its output, %zu bytes: %.2f (goal <= 0.5)\n",
                    smallText().size(), small->second / compile->second);
    if (small != reporter.nanoseconds.end() && large != reporter.nanoseconds.end())
        std::printf("preprocess %zu bytes / %zu bytes: %.2f (goal <= 11)\n", largeText().size(),
                    smallText().size(), large->second / small->second);
    benchmark::Shutdown();
    return 0;
}
