// The game's headless test fixture; see GameFixture.h.
#include "tests/game/GameFixture.h"

#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/core/xml/XmlNode.h"
#include "game/core/GameRegistrations.h"
#include "game/core/GuardedXmlFile.h"
#include "game/core/StartupRecord.h"
#include "platform/raster/RasterPresenter.h"
#include "platform/raster/RasterSystem.h"
#include "platform/system/Paths.h"

#include <cstdlib>
#include <fstream>
#include <utility>

using namespace TarnEngine;

namespace
{

Raster::AdapterInfo adapter()
{
    Raster::AdapterInfo info;
    info.identifier.deviceId = 1;
    info.monitor = 1;
    info.desktop = {1920, 1080, 60, Raster::Format::X8R8G8B8};
    info.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
    info.hasHal = true;
    return info;
}

// The real file calls, counting the replacements of the profile file.
class CountingIo final : public SettingsFileIo
{
public:
    explicit CountingIo(int& writes) : writes(writes) {}
    bool Rename(const std::wstring& from, const std::wstring& to) override
    {
        const bool renamed = SettingsFileIo::Rename(from, to);
        static const std::wstring kName = L"\\brq.xml";
        if (renamed && to.size() >= kName.size() && to.compare(to.size() - kName.size(), kName.size(), kName) == 0)
            ++writes;
        return renamed;
    }

private:
    int& writes;
};

// An engine folder path (backslashes, one at the end) for an operating-system folder.
std::wstring enginePath(const std::filesystem::path& folder)
{
    std::wstring text = folder.wstring() + L"/";
    for (wchar_t& c : text)
        if (c == L'/')
            c = L'\\';
    return text;
}

} // namespace

void GameFixture::SetUp()
{
    originalFolder = Platform::CurrentFolder();
    setenv("XDG_CONFIG_HOME", (temp.path / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (temp.path / "data").c_str(), 1);
    std::filesystem::create_directories(temp.path / "run");
    std::filesystem::create_directories(temp.path / "bin");
    content = temp.path / "content";
    // A test that starts over (TearDown, SetUp) gets fresh content and an empty saved-games folder.
    std::error_code ignored;
    std::filesystem::remove_all(content, ignored);
    std::filesystem::remove_all(temp.path / "data", ignored);
    std::filesystem::remove_all(temp.path / "config", ignored);
    boxes.clear();
    consoleLines.clear();
    std::filesystem::copy(PELLWOOD_TEST_DATA "/game", content, std::filesystem::copy_options::recursive);
}

void GameFixture::TearDown()
{
    if (started)
        Stop();
    core.reset();
    engine.reset();
    profileFiles.reset();
    SetMessageBoxPresenter({});
    Platform::SetCurrentFolder(originalFolder);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DATA_HOME");
}

bool GameFixture::Start()
{
    commandLine = std::make_unique<CommandLine>(L"pellwood -data " + content.wstring() +
                                                (startFullscreen ? L" -fullscreen" : L" -windowed") + L" -nosplash");
    EnginePlatform p;
    p.windows = &windows;
    p.createRasterSystem = []
    {
        Raster::SystemOptions options;
        options.adapters = {adapter()};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        return std::make_shared<Raster::RasterSystem>(options);
    };
    p.counter = &counter;
    p.sleep = [this](uint32_t ms) { counter.AdvanceMilliseconds(ms); };
    p.programPath = [this] { return (temp.path / "bin" / "pellwood").wstring(); };
    p.commandLine = commandLine.get();
    p.instanceFolder = (temp.path / "run").string();
    p.messageBox = [](const std::wstring&, const std::wstring&) {};
    p.endProcess = [](int) {};
    p.processHandlers = false;
    p.takeCloseSignal = [this] { return std::exchange(pendingCloseSignal, 0); };

    if (!realMessageBoxes)
        SetMessageBoxPresenter([this](const MessageBoxRequest& request) { boxes.push_back(request); });

    CoreEnvironment environment;
    environment.isForeground = [this] { return foreground; };
    environment.isFullscreen = [this] { return fullscreen; };
    environment.randomSeed = [] { return 12345u; };
    environment.today = [this] { return today; };
    environment.console = [this](const std::wstring& line) { consoleLines.push_back(line); };

    RegisterGameStatics();
    engine = std::make_unique<EngineManager>(std::move(p));
    core = std::make_unique<Core>(std::move(environment));
    profileWrites = 0;
    const std::filesystem::path saveFolder = ProfileFile().parent_path();
    const auto lookup = [saveFolder](bool create) -> std::wstring
    {
        std::error_code ignored;
        if (create)
            std::filesystem::create_directories(saveFolder, ignored);
        return std::filesystem::is_directory(saveFolder) ? enginePath(saveFolder) : std::wstring();
    };
    profileFiles = std::make_unique<SettingsStore>(lookup, lookup, std::make_unique<CountingIo>(profileWrites));
    core->GetProfileStore().SetSettingsStore(profileFiles.get());
    const STarnGameInitParams params = MakeStartupRecord();
    started = engine->Initialize(params, core.get());
    return started;
}

void GameFixture::Stop()
{
    if (started)
        engine->Exit();
    started = false;
    core.reset();
    engine.reset();
    // The engine's shutdown deleted every class record; the tests after this one find them again.
    RegisterGameClasses();
}

void GameFixture::Frame(int64_t milliseconds)
{
    counter.AdvanceMilliseconds(milliseconds);
    engine->Tick(true);
}

void GameFixture::Frames(int count)
{
    for (int i = 0; i < count; ++i)
        Frame();
}

void GameFixture::Pump()
{
    Platform::WindowMessage message;
    while (windows.TakeMessage(message))
        windows.Dispatch(message);
}

void GameFixture::PressKey(SDL_Keycode key, SDL_Scancode scancode)
{
    windows.PressKey(engine->GetWindow()->GetHandle(), key, scancode);
    Pump();
}

void GameFixture::ReleaseKey(SDL_Keycode key, SDL_Scancode scancode)
{
    windows.ReleaseKey(engine->GetWindow()->GetHandle(), key, scancode);
    Pump();
}

void GameFixture::TypeKey(SDL_Keycode key, SDL_Scancode scancode)
{
    PressKey(key, scancode);
    ReleaseKey(key, scancode);
}

void GameFixture::WriteContent(const std::string& relative, const std::string& text) const
{
    const std::filesystem::path path = content / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::filesystem::path GameFixture::ProfileFile() const
{
    return temp.path / "data" / "Halcyra Games" / "Pellwood" / "brq.xml";
}

bool GameFixture::ProfileFileExists() const
{
    return std::filesystem::exists(ProfileFile());
}

std::wstring GameFixture::ProfileFileText()
{
    if (!profileFiles)
        return std::wstring();
    GuardedXmlFile file(*profileFiles, L"brq.xml", L"ROOT");
    GuardedXmlFile::Opened opened = GuardedXmlFile::Opened::Missing;
    const std::unique_ptr<XmlNode> document = file.Open(opened);
    return document ? WriteXmlText(*document) : std::wstring();
}

void GameFixture::WriteProfileFile(const std::string& currentName, const std::string& profilesXml) const
{
    std::filesystem::create_directories(ProfileFile().parent_path());
    std::ofstream(ProfileFile(), std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<ROOT CURRENT_PROFILE_NAME=\"" << currentName << "\">"
        << profilesXml << "</ROOT>\n";
}

bool GameFixture::Lua(const std::string& text)
{
    LuaMgr* scripts = LuaMgr::Get();
    return scripts && scripts->DoString(text);
}

double GameFixture::LuaNumber(const std::string& expression)
{
    lua_State* state = LuaBinding::GetState();
    if (!state || !Lua("__fixture_result = (" + expression + ")"))
        return -12345.0;
    lua_getglobal(state, "__fixture_result");
    const double value = lua_isnumber(state, -1) ? lua_tonumber(state, -1) : -12345.0;
    lua_pop(state, 1);
    return value;
}

std::string GameFixture::LuaString(const std::string& expression)
{
    lua_State* state = LuaBinding::GetState();
    if (!state || !Lua("__fixture_result = tostring(" + expression + ")"))
        return "<error>";
    lua_getglobal(state, "__fixture_result");
    std::string value = lua_isstring(state, -1) ? lua_tostring(state, -1) : "<none>";
    lua_pop(state, 1);
    return value;
}

bool GameFixture::LuaBool(const std::string& expression)
{
    return LuaString("(" + expression + ") and true or false") == "true";
}

std::vector<std::string> GameFixture::ScriptEvents(const std::string& name)
{
    std::vector<std::string> out;
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return out;
    if (!Lua("__fixture_lines = {}\n"
             "for _, e in ipairs(Fixture.events) do\n"
             "  local parts = {}\n"
             "  for i = 1, #e do\n"
             "    parts[i] = type(e[i]) == 'number' and string.format('%.6g', e[i]) or tostring(e[i])\n"
             "  end\n"
             "  table.insert(__fixture_lines, table.concat(parts, ' '))\n"
             "end"))
        return out;
    lua_getglobal(state, "__fixture_lines");
    const int count = int(lua_objlen(state, -1));
    for (int i = 1; i <= count; ++i)
    {
        lua_rawgeti(state, -1, i);
        std::string line = lua_tostring(state, -1);
        lua_pop(state, 1);
        if (name.empty() || line.rfind(name + " ", 0) == 0 || line == name)
            out.push_back(line);
    }
    lua_pop(state, 1);
    return out;
}

void GameFixture::ClearScriptEvents()
{
    Lua("Fixture.events = {}");
}
