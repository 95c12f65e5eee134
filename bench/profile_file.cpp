// The profile file against TinyXML on the same tree, on the disk and on a
// memory file system: a save (print, protect, write and flush, backup, read
// back and compare) against TinyXML printing the tree as plain UTF-8 text and
// writing it with a flush; an open (read, check, decipher, parse) against
// TinyXML parsing that plain file. The engine's bare protected save (no
// backup, no check) is measured too, as the floor the format itself sets,
// and one parse of the plain file is set against the anchor's save, as the
// floor that the save's read-back check adds to it.
// The file holds 5 profiles, each with a
// script state of 10,000 values and a hidden-object state of 200 items.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <tinyxml.h>
#include <unistd.h>

#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/script/LuaTableXml.h"
#include "game/core/ProfileStore.h"

namespace
{

using namespace TarnEngine;
namespace fs = std::filesystem;

constexpr int kProfiles = 5;
constexpr int kScriptValues = 10000;
constexpr int kItems = 200;

// A script state of 10,000 values: flags, counters, names and nested tables.
const char kBuild[] = R"(
function build(seed, total)
    local t = { flags = {}, counts = {}, names = {}, scenes = {} }
    local n = 0
    for i = 1, 2000 do t.flags["flag_" .. i] = (i + seed) % 3 == 0; n = n + 1 end
    for i = 1, 3000 do t.counts[i] = i * 7 + seed + i / 8; n = n + 1 end
    for i = 1, 2000 do t.names["item_" .. i] = "name & <" .. i .. "> of " .. seed; n = n + 1 end
    local s = 0
    while n < total do
        s = s + 1
        local scene = { visited = true, tries = s, x = s * 0.25 }
        t.scenes["scene_" .. s] = scene
        n = n + 4
    end
    return t
end
)";

struct World
{
    fs::path disk, memory;
    std::unique_ptr<XmlNode> document;
    std::unique_ptr<TiXmlDocument> tiny;
    std::unique_ptr<LuaMgr> lua;

    World()
    {
        disk = makeFolder(fs::temp_directory_path());
        memory = fs::is_directory("/dev/shm") ? makeFolder("/dev/shm") : fs::path();
        lua = std::make_unique<LuaMgr>();
        lua->Init();
        lua_State* L = lua->GetState();
        luaL_dostring(L, kBuild);

        document = std::make_unique<XmlNode>(L"ROOT");
        document->SetAttribute(L"CURRENT_PROFILE_NAME", L"Player 1");
        for (int p = 0; p < kProfiles; ++p)
        {
            XmlNode* profile = document->AddNewChild(L"PROFILE");
            profile->SetAttribute(L"NAME", L"Player " + std::to_wstring(p + 1));
            profile->SetAttribute(L"CURRENT_MODE", L"MODE_INTRO");
            XmlNode* settings = profile->AddNewChild(L"SETTINGS_KEY");
            for (const wchar_t* name : {L"SETTINGS_MUSIC_VOL", L"SETTINGS_SOUND_VOL", L"SETTINGS_VOICE_VOL",
                                        L"SETTINGS_TUTORIALS_ON", L"SETTINGS_FX_ON", L"SLOW_DETECTION_ON"})
                settings->SetAttribute(name, L"75");
            XmlNode* entry = profile->AddNewChild(L"GAME_STATE_ENTRY");
            lua_getglobal(L, "build");
            lua_pushnumber(L, p);
            lua_pushnumber(L, kScriptValues);
            lua_call(L, 2, 1);
            SerializeLuaTable(L, -1, L"t_data", *entry);
            lua_pop(L, 1);
            XmlNode* ispy = profile->AddNewChild(L"ISPY_STATE");
            XmlNode* board = ispy->AddNewChild(L"m_board");
            board->SetAttribute(L"value", L"kitchen");
            board->SetAttribute(L"type", L"string");
            XmlNode* items = ispy->AddNewChild(L"m_items");
            for (int i = 0; i < kItems; ++i)
            {
                XmlNode* item = items->AddNewChild(L"m_items" + std::to_wstring(i));
                for (const wchar_t* field : {L"m_name", L"m_found", L"m_state"})
                {
                    XmlNode* value = item->AddNewChild(field);
                    value->SetAttribute(L"value", std::to_wstring(i * 3 + p));
                    value->SetAttribute(L"type", L"int");
                }
            }
            XmlNode* social = profile->AddNewChild(L"FACEBOOK_DATA");
            social->SetAttribute(L"UserID", L"1234567890123");
            social->SetAttribute(L"Enabled", L"1");
        }
        tiny = std::make_unique<TiXmlDocument>();
        tiny->LinkEndChild(toTiny(*document));
    }
    ~World()
    {
        std::error_code ignored;
        fs::remove_all(disk, ignored);
        if (!memory.empty())
            fs::remove_all(memory, ignored);
    }

    static fs::path makeFolder(const fs::path& base)
    {
        std::string pattern = (base / "pellwood-bench-profile-XXXXXX").string();
        return mkdtemp(pattern.data()) ? fs::path(pattern) : fs::path();
    }
    static TiXmlElement* toTiny(const XmlNode& node)
    {
        auto* element = new TiXmlElement(WStringToUtf8(node.GetName()));
        for (const auto& [name, value] : node.attributes)
            element->SetAttribute(WStringToUtf8(std::wstring(name)), WStringToUtf8(std::wstring(value)));
        for (const std::unique_ptr<XmlNode>& child : node.children)
            element->LinkEndChild(toTiny(*child));
        return element;
    }
};

World& world()
{
    static World w;
    return w;
}

std::unique_ptr<SettingsStore> storeFor(const fs::path& folder)
{
    std::wstring engine = folder.wstring() + L"/";
    for (wchar_t& c : engine)
        if (c == L'/')
            c = L'\\';
    auto lookup = [engine](bool) { return engine; };
    return std::make_unique<SettingsStore>(lookup, lookup);
}

const fs::path& folderOf(bool onDisk)
{
    return onDisk ? world().disk : world().memory;
}

void saveOwn(benchmark::State& state, bool onDisk)
{
    World& w = world();
    auto store = storeFor(folderOf(onDisk));
    ProfileStore profiles;
    profiles.SetSettingsStore(store.get());
    profiles.Open();
    // The store's own document: the same tree, moved in for the run.
    XmlNode* root = profiles.GetDocument();
    std::swap(root->children, w.document->children);
    std::swap(root->attributes, w.document->attributes);
    for (auto _ : state)
        if (!profiles.Save())
            state.SkipWithError("the save failed");
    std::swap(root->children, w.document->children);
    std::swap(root->attributes, w.document->attributes);
}

// The engine's own protected save of the same tree, without backup or
// check: what the protected form itself costs.
void saveEngine(benchmark::State& state, bool onDisk)
{
    World& w = world();
    auto store = storeFor(folderOf(onDisk));
    for (auto _ : state)
        if (!SaveProtectedXml(*w.document, *store, L"engine.xml", SettingsStore::SavedGames))
            state.SkipWithError("the save failed");
}

void saveAnchor(benchmark::State& state, bool onDisk)
{
    World& w = world();
    const std::string path = (folderOf(onDisk) / "anchor.xml").string();
    for (auto _ : state)
    {
        TiXmlPrinter printer;
        w.tiny->Accept(&printer);
        const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool ok = file >= 0 &&
                        ::write(file, printer.CStr(), printer.Size()) == ssize_t(printer.Size()) &&
                        ::fsync(file) == 0;
        if (file >= 0)
            ::close(file);
        if (!ok)
            state.SkipWithError("the anchor's write failed");
    }
}

void openOwn(benchmark::State& state, bool onDisk)
{
    auto store = storeFor(folderOf(onDisk));
    for (auto _ : state)
    {
        ProfileStore profiles;
        profiles.SetSettingsStore(store.get());
        if (!profiles.Open() || profiles.CountProfiles() != kProfiles)
            state.SkipWithError("the open failed");
    }
}

void openAnchor(benchmark::State& state, bool onDisk)
{
    const fs::path path = folderOf(onDisk) / "anchor.xml";
    for (auto _ : state)
    {
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        TiXmlDocument document;
        document.Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
        if (document.Error() || !document.RootElement())
            state.SkipWithError("the anchor's parse failed");
    }
}

// The fastest repetition's wall-clock time: a save waits for the disk.
class FastestRealTime : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> nanoseconds;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.benchmark_name();
            const std::string base = name.substr(0, name.find("/repeats"));
            const auto known = nanoseconds.find(base);
            if (known == nanoseconds.end() || run.GetAdjustedRealTime() < known->second)
                nanoseconds[base] = run.GetAdjustedRealTime();
        }
    }
};

} // namespace

int main(int argc, char** argv)
{
    world();
    const struct
    {
        const char* name;
        void (*run)(benchmark::State&, bool);
    } cases[] = {
        {"save", saveOwn}, {"save_engine", saveEngine}, {"save_anchor", saveAnchor}, {"open", openOwn}, {"open_anchor", openAnchor}};
    for (bool onDisk : {true, false})
    {
        if (!onDisk && world().memory.empty())
            continue;
        for (const auto& c : cases)
            benchmark::RegisterBenchmark((std::string(onDisk ? "disk/" : "tmpfs/") + c.name).c_str(), c.run,
                                         onDisk)
                ->Repetitions(5)
                ->UseRealTime()
                ->Unit(benchmark::kMillisecond);
    }
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRealTime reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* where : {"disk", "tmpfs"})
        for (const char* what : {"save", "open"})
        {
            const std::string own = std::string(where) + "/" + what;
            const auto a = reporter.nanoseconds.find(own);
            const auto b = reporter.nanoseconds.find(own + "_anchor");
            if (a != reporter.nanoseconds.end() && b != reporter.nanoseconds.end())
                std::printf("%s %s / TinyXML: %.2fx (goal <= 3x)\n", where, what, a->second / b->second);
        }
    for (const char* where : {"disk", "tmpfs"})
    {
        const auto a = reporter.nanoseconds.find(std::string(where) + "/save_engine");
        const auto b = reporter.nanoseconds.find(std::string(where) + "/save_anchor");
        if (a != reporter.nanoseconds.end() && b != reporter.nanoseconds.end())
            std::printf("%s bare protected save, for reference / TinyXML: %.2fx\n", where, a->second / b->second);
        // The save's check parses the printed text once: this is what that parse alone costs.
        const auto parse = reporter.nanoseconds.find(std::string(where) + "/open_anchor");
        if (parse != reporter.nanoseconds.end() && b != reporter.nanoseconds.end())
            std::printf("%s one TinyXML parse of the plain file, for reference / TinyXML save: %.2fx\n", where,
                        parse->second / b->second);
    }
    return 0;
}
