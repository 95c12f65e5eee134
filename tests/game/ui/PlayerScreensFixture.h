// The headless game (GameFixture) with the sample's own screen definitions: the player's screens of
// sample/input/definitions/screens.xml with the widgets of menu.xml, the message box and help screen
// of dialogs.xml, their pictures, fonts and string-table keys, and their classes from the sample's
// libraries_meta.xml. Screens are opened through the screen manager and driven by real input through
// the window (pointer and keys), frame by frame.
#pragma once

#include "engine/core/diagnostics/Console.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "tests/game/GameFixture.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

namespace PlayerScreensTest
{

using namespace TarnEngine;

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline std::filesystem::path SampleInput()
{
    return std::filesystem::path(PELLWOOD_TEST_DATA) / ".." / ".." / "sample" / "input";
}

class PlayerScreens : public GameFixture
{
public:
    void SetUp() override
    {
        GameFixture::SetUp();
        const std::filesystem::path from = SampleInput();
        const std::filesystem::path to = Content("input");
        for (const char* file : {"definitions/scene.xml", "definitions/menu.xml", "definitions/dialogs.xml",
                                 "definitions/screens.xml", "translator_en.xml", "translator_dialogs.xml",
                                 "translator_screens.xml"})
            std::filesystem::copy_file(from / file, to / file,
                                       std::filesystem::copy_options::overwrite_existing);
        for (const char* folder : {"ui", "fonts", "images"})
            std::filesystem::copy(from / folder, to / folder,
                                  std::filesystem::copy_options::recursive |
                                      std::filesystem::copy_options::overwrite_existing);
        WriteContent(
            "input/libraries.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<libraries>\n"
            "  <library file=\"definitions\\game.xml\"/>\n  <library file=\"definitions\\scene.xml\"/>\n"
            "  <library file=\"definitions\\menu.xml\"/>\n"
            "  <library file=\"definitions\\dialogs.xml\"/>\n"
            "  <library file=\"definitions\\screens.xml\"/>\n"
            "  <library file=\"definitions\\lua_panel.xml\"/>\n</libraries>\n");
        // A script-driven screen with one button, whose script class "TestPanel" a test builds.
        WriteContent(
            "input/definitions/lua_panel.xml",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Definitions>\n"
            "  <Definition type=\"movie\" name=\"lua_panel\" length=\"1\" fps=\"30\">\n"
            "    <Instance type=\"library\" instancename=\"btn_a\" definition=\"button_ok\" depth=\"0\" "
            "create=\"0\" death=\"1\" regx=\"0\" regy=\"0\">\n"
            "      <Frame transform=\"1,0,-0,1,100,100\" alpha=\"100\"/>\n    </Instance>\n"
            "  </Definition>\n</Definitions>\n");
        // The fixture's own classes, less the stand-ins of the screens the sample defines, and the
        // sample's classes.
        std::string meta = ReadText(to / "libraries_meta.xml");
        for (const char* name : {"dlg_ingamemenu", "dlg_new_profile"})
            meta = std::regex_replace(
                meta, std::regex("  <Definition name=\"" + std::string(name) + "\">.*\n"), "");
        const std::string sample = ReadText(from / "libraries_meta.xml");
        const size_t open = sample.find("<libraries>") + std::string("<libraries>").size();
        const size_t close = sample.rfind("</libraries>");
        meta.insert(meta.rfind("</libraries>"), sample.substr(open, close - open));
        meta.insert(
            meta.rfind("</libraries>"),
            "  <Definition name=\"lua_panel\"><Nuggets><MovieClassNugget><MovieClassName>LuaScreen"
            "</MovieClassName></MovieClassNugget><LuaClassNugget><LuaClassName>TestPanel</LuaClassName>"
            "</LuaClassNugget></Nuggets></Definition>\n");
        WriteContent("input/libraries_meta.xml", meta);
    }

    // Starts the game on a profile file with these profiles, the first named being current.
    void StartWith(const std::string& current, const std::string& profilesXml)
    {
        if (!current.empty() || !profilesXml.empty())
            WriteProfileFile(current, profilesXml);
        ASSERT_TRUE(Start());
        Frames(2);
    }

    // Builds the script class "TestPanel" (of the definition "lua_panel", a LuaScreen) from a Lua
    // table constructor of its methods; every call it gets can go to the global list "told".
    bool BuildPanelClass(const std::string& methods)
    {
        return Lua("told = {} local fields = " + methods +
                   " fields.__type = 'TestPanel' "
                   "BuildType({ _type = 'TestPanel', _parents = { 'LuaScreen' }, _fields = fields })");
    }
    std::string Told() { return LuaString("table.concat(told, ' | ')"); }

    _ScreenMgr& Screens() { return *_ScreenMgr::Get(); }

    // Opens a screen modally and runs frames until it is open; null when it is not of that class.
    template <class T> T* Open(const std::wstring& definition)
    {
        const InstanceHandle made = Screens().OpenScreen(definition, L"", true, true);
        T* screen = RObjectCast<T>(made.GetInstance());
        if (screen)
            FramesUntilOpen(screen);
        return screen;
    }

    // At most 120 frames.
    void FramesUntilOpen(Screen* screen)
    {
        for (int i = 0; i < 120 && screen->GetScreenState() != Screen::StateOpen; ++i)
            Frame();
    }

    bool IsOpen(const std::wstring& name) { return Screens().FindScreen(name) != nullptr; }

    // Frames until no screen of that name is listed (at most 200); false when it stays.
    bool FramesUntilGone(const std::wstring& name)
    {
        for (int i = 0; i < 200; ++i)
        {
            if (!listed(name))
                return true;
            Frame();
        }
        return !listed(name);
    }

    template <class T = Instance_Base> T* Child(Instance_Base* parent, const std::wstring& path)
    {
        auto* movie = RObjectCast<Instance_Movie>(parent);
        return movie ? RObjectCast<T>(movie->FindChildByPath(path).GetInstance()) : nullptr;
    }

    // The pointer to the centre of an instance (screen coordinates), without pressing.
    void PointAt(Instance_Base* instance)
    {
        ASSERT_NE(instance, nullptr);
        float left = 0, top = 0, right = 0, bottom = 0;
        instance->GetBounds(left, top, right, bottom, true);
        windows.MovePointer(Engine().GetWindow()->GetHandle(), int((left + right) / 2),
                            int((top + bottom) / 2));
        Pump();
    }

    // A left click at the centre of an instance, through the window: no frame runs.
    void Click(Instance_Base* instance)
    {
        PointAt(instance);
        windows.PressButton(Engine().GetWindow()->GetHandle(), SDL_BUTTON_LEFT);
        Pump();
        windows.ReleaseButton(Engine().GetWindow()->GetHandle(), SDL_BUTTON_LEFT);
        Pump();
    }

    XmlNode* Settings()
    {
        XmlNode* profile = Game().GetProfileStore().FindCurrentProfile();
        return profile ? profile->FindChild(L"SETTINGS_KEY") : nullptr;
    }

    std::wstring Setting(const wchar_t* name)
    {
        const XmlNode* settings = Settings();
        const std::wstring* value = settings ? settings->FindAttribute(name) : nullptr;
        return value ? *value : L"(missing)";
    }

    // The volume of a sound class as the sound manager reports it on its console.
    float ClassVolume(const std::wstring& className)
    {
        ISoundManager::Get()->ExecuteCommand({L"audio.getclassvolume", className}, InstanceHandle());
        const std::vector<std::wstring>& lines = UserInterface::Get()->GetConsole()->GetLines();
        float volume = -1.0f;
        if (!lines.empty())
            std::swscanf(lines.back().c_str(), (L"Sound group " + className + L" has volume %f.").c_str(),
                         &volume);
        return volume;
    }

    std::vector<std::wstring> ProfileNames()
    {
        std::vector<std::wstring> names;
        Game().GetProfileStore().ListProfileNames(names);
        return names;
    }

private:
    bool listed(const std::wstring& name)
    {
        for (const auto* list : {&Screens().GetOpenScreens(), &Screens().GetClosingScreens()})
            for (Screen* each : *list)
                if (each->name == name)
                    return true;
        return false;
    }
};

} // namespace PlayerScreensTest
