// Fuzz target: any bytes as the profile file (and, when the input begins
// with 'B' and a 16-bit length, that many bytes as its backup first) must
// open without a crash or hang, give a current profile whose settings read,
// load into a fresh script table, save, and open again as the very tree that
// was saved.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engine/core/files/SettingsStore.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaMgr.h"
#include "game/core/GuardedXmlFile.h"
#include "game/core/PlayerState.h"
#include "game/core/ProfileStore.h"

namespace
{

using namespace TarnEngine;
namespace fs = std::filesystem;

struct World
{
    fs::path folder;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<LuaMgr> lua;

    World()
    {
        // On a memory file system where there is one: every run flushes files.
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "pellwood-fuzz-profile-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        folder = pattern;
        std::wstring engine = folder.wstring() + L"/";
        for (wchar_t& c : engine)
            if (c == L'/')
                c = L'\\';
        auto lookup = [engine](bool) { return engine; };
        store = std::make_unique<SettingsStore>(lookup, lookup);
        RegisterPlayerStateScriptClass();
        lua = std::make_unique<LuaMgr>();
        if (!lua->Init())
            std::abort();
    }
    ~World()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void Write(const char* name, const uint8_t* data, size_t size)
    {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
};

World& world()
{
    static World instance;
    return instance;
}

// The settings as the game applies them: volumes as numbers, flags as booleans.
double readSettings(const XmlNode& profile)
{
    const XmlNode* settings = profile.GetChild(L"SETTINGS_KEY");
    if (!settings)
        return 0;
    double sum = 0;
    for (const wchar_t* volume : {L"SETTINGS_MUSIC_VOL", L"SETTINGS_SOUND_VOL", L"SETTINGS_VOICE_VOL"})
        sum += settings->GetDoubleAttribute(volume, 0);
    for (const wchar_t* flag :
         {L"SETTINGS_TUTORIALS_ON", L"SETTINGS_FX_ON", L"SETTINGS_CUSTCURSOR_ON", L"SETTINGS_PORTRAITS_ON",
          L"SETTINGS_SUBS_ON", L"SETTINGS_VOICEOVERS_ON", L"SLOW_DETECTION_ON"})
        sum += settings->GetBoolAttribute(flag, false);
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    World& w = world();
    for (const auto& entry : fs::directory_iterator(w.folder))
        fs::remove_all(entry.path());
    if (size >= 3 && data[0] == 'B')
    {
        const size_t backup = std::min<size_t>(size - 3, size_t(data[1]) | size_t(data[2]) << 8);
        w.Write("brq.xml.bak", data + 3, backup);
        data += 3 + backup;
        size -= 3 + backup;
    }
    w.Write("brq.xml", data, size);

    ProfileStore profiles;
    profiles.SetSettingsStore(w.store.get());
    profiles.Open();
    if (!profiles.GetDocument())
        std::abort();
    volatile double settings = 0;
    if (XmlNode* current = profiles.FindCurrentProfile())
        settings = readSettings(*current);
    (void)settings;

    // A fresh table for every input.
    lua_State* state = w.lua->GetState();
    lua_pushnil(state);
    lua_setglobal(state, "svc");
    {
        PlayerState player(&profiles);
        player.Setup();
        player.Load();
        player.Save();
    }
    lua_gc(state, LUA_GCCOLLECT, 0);
    if (lua_gettop(state) != 0)
        std::abort();

    if (!profiles.Save())
        return 0;
    ProfileStore again;
    again.SetSettingsStore(w.store.get());
    if (!again.Open() || !GuardedXmlFile::SameTree(*again.GetDocument(), *profiles.GetDocument()))
        std::abort();
    return 0;
}
