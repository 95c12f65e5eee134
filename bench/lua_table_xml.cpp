// Saving a profile-sized script table to XML text and reading it back into a
// new table, against its anchor: TinyXML printing a document of exactly the
// same shape and parsing the text again. Ours does the same printing and
// parsing (TinyXML is its parser) plus the walks over the script table and the
// engine's XML tree, so the ratio shows what those cost on top.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <lua.hpp>
#include <tinyxml.h>

#include "FastestRunReporter.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaTableXml.h"

namespace
{

using namespace TarnEngine;

// 10 chapters of 10 scenes of 10 rooms of 10 values: 10,000 values and 1,110
// tables, nested 4 deep, with the kinds of values a profile holds.
const char kProfileScript[] = R"(
t_data = {}
for c = 1, 10 do
    local chapter = {}
    t_data["chapter_" .. c] = chapter
    for s = 1, 10 do
        local scene = {}
        chapter["scene_" .. s] = scene
        for r = 1, 10 do
            scene[r] = {
                found = (c + s + r) % 2 == 0, visited = true, hints = r * 3, clicks = c * 100 + s,
                time = c * 61.25 + s * 0.5 + r / 8, score = (c * s * r) / 7,
                item = "item_" .. c .. "_" .. s .. "_" .. r, note = "Caf\233 & <dialog> " .. r,
                [1] = r, [2] = s * 1.5,
            }
        end
    end
end
)";

struct Profile
{
    lua_State* state = nullptr;
    std::string text; // the saved document, UTF-8
    size_t entries = 0;

    Profile()
    {
        // The profile reader keeps white space, and the setting is process-wide:
        // both sides parse that way from the first run on.
        TiXmlBase::SetCondenseWhiteSpace(false);
        state = luaL_newstate();
        luaL_openlibs(state);
        if (luaL_dostring(state, kProfileScript) != 0)
            std::fprintf(stderr, "profile script: %s\n", lua_tostring(state, -1));
        XmlNode root(L"GAME_STATE_ENTRY");
        lua_getglobal(state, "t_data");
        SerializeLuaTable(state, -1, L"t_data", root);
        lua_pop(state, 1);
        text = WStringToUtf8(WriteXmlText(root));
        for (size_t at = text.find("<__value"); at != std::string::npos; at = text.find("<__value", at + 1))
            ++entries;
    }
};

Profile& profile()
{
    static Profile p;
    return p;
}

void ours(benchmark::State& state)
{
    lua_State* lua = profile().state;
    for (auto _ : state)
    {
        XmlNode saved(L"GAME_STATE_ENTRY");
        lua_getglobal(lua, "t_data");
        SerializeLuaTable(lua, -1, L"t_data", saved);
        lua_pop(lua, 1);
        const std::string text = WStringToUtf8(WriteXmlText(saved));

        XmlNode read;
        ParseXmlText(read, text.c_str(), true);
        lua_pushnil(lua);
        DeserializeLuaTable(lua, -1, L"t_data", read);
        benchmark::DoNotOptimize(lua_topointer(lua, -1));
        lua_pop(lua, 1);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(profile().entries));
}

void tinyXml(benchmark::State& state)
{
    TiXmlDocument document;
    document.SetTabSize(0);
    document.Parse(profile().text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    for (auto _ : state)
    {
        TiXmlPrinter printer;
        document.Accept(&printer);
        TiXmlDocument read;
        read.SetTabSize(0);
        read.Parse(printer.CStr(), nullptr, TIXML_DEFAULT_ENCODING);
        benchmark::DoNotOptimize(read.RootElement());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(profile().entries));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("save_and_read/ours", ours)->Unit(benchmark::kMillisecond)->Repetitions(7);
    benchmark::RegisterBenchmark("save_and_read/tinyxml", tinyXml)
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(7);
    // Repetitions alternate, so that a change in the machine's load hits both sides alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.nanoseconds.find("save_and_read/ours");
    const auto anchor = reporter.nanoseconds.find("save_and_read/tinyxml");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end() && anchor->second > 0)
        std::printf("script table save and read / TinyXML print and parse time = %.2f (goal <= 2) on %zu "
                    "entries, %zu bytes\n",
                    own->second / anchor->second, profile().entries, profile().text.size());
    benchmark::Shutdown();
    return 0;
}
