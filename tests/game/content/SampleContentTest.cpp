// The sample game's content against what the game's code and scripts name: the game started
// headless on a copy of sample/ (its five start-up groups load with the definitions validated, and
// the level's group on demand), then every definition, effect, sound, sound class and string key
// the code opens is looked up, and every script class a definition's Lua-class nugget names must
// have been built by the scripts that main.lua runs. The engine pieces the game puts to use (the
// cursor files, a playlist of clips, a panel with a scrolling list, a bitmap number, a delayed
// effect, the screens' game events, the ambient scene, the profile's Lua table) are each looked for
// where the game uses them. Each check lists what is missing.
#include "engine/core/app/CursorFile.h"
#include "engine/core/app/Window.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/StringTable.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Base.h"
#include "engine/scene/definitions/nuggets/REffectNugget.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/image/MultipleVideo.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/BitmapNumber.h"
#include "engine/scene/widgets/Panel.h"
#include "engine/scene/widgets/Slider.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "tests/game/GameFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

const char* const kLevel = "Attic";

// Definitions the game's code opens by name (the shell, the modes' screens, the hidden-object
// screen's parts, the dialogs of the other screens) and the level's board.
const std::vector<std::wstring> kDefinitions = {
    L"mov_loading",     L"mov_pause",    L"mov_wide_left",   L"mov_wide_right",  L"scr_mainmenu",
    L"scr_prologue",    L"scr_ispy",     L"dlg_guess",       L"dlg_endlevel",    L"mov_itemtext",
    L"mov_letter",      L"mov_white_blank", L"cursor_mask",  L"blur_rt.png",     L"dlg_msgbox",
    L"dlg_ingamemenu",  L"dlg_new_profile", L"dlg_profile",  L"dlg_options",     L"dlg_help",
    L"text_hint",       L"Attic",
};

const std::vector<std::wstring> kEffects = {L"scav_wave", L"click_penalty_2", L"find_Item_UI", L"buttons_UI",
                                            L"fx_glow"};

const std::vector<std::wstring> kSounds = {L"empty_click", L"bttn_click", L"bttn_recharged", L"screen_close",
                                           L"find_item", L"attic_music", L"attic_wind"};

const std::vector<std::wstring> kSoundClasses = {L"Sound", L"Music", L"Ambient", L"Effects", L"Voice"};

// String-table keys of the game's questions, messages and buttons, and the level's tooltips (one
// with a state variant).
const std::vector<std::wstring> kStrings = {
    L"ExitGame",          L"AreYouSureMenuReq",     L"AreYouSureMenuReqSaved", L"AreYouSureGameReq",
    L"GameFinishedTitle", L"GameFinishedText",      L"GameAlreadyFinishedTitle", L"GameAlreadyFinishedText",
    L"ConfirmSkipQuest",  L"AllHOInvisible_TITLE",  L"AllHOInvisible_MSG",     L"Slow Detection Header",
    L"Slow Detection Text", L"BadGuessTitle",       L"BadGuessText",           L"Allowed Symbols",
    L"Yes",               L"No",                    L"Ok",                     L"OK",
    L"Skip",              L"Cancel",                L"TOOLTIP_lever",          L"TOOLTIP_lever_stuck",
    L"TOOLTIP_chest",     L"TOOLTIP_chest_unlocked", L"TOOLTIP_key",           L"TOOLTIP_treasure",
};

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string join(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <class T> T* find(Instance_Base* node, const std::wstring& path)
{
    auto* movie = RObjectCast<Instance_Movie>(node);
    return movie ? RObjectCast<T>(movie->FindChildByPath(path).GetInstance()) : nullptr;
}

// Whether the tree under the node holds a particle effect.
bool holdsEffect(Instance_Base* node, int depth = 0)
{
    if (RObjectCast<Instance_Effect>(node))
        return true;
    auto* movie = RObjectCast<Instance_Movie>(node);
    if (!movie || depth > 32)
        return false;
    for (Instance_Base* child : movie->children)
        if (holdsEffect(child, depth + 1))
            return true;
    return false;
}

// The effect nugget of a definition that starts its effect after a delay (through the timer
// service), when its effect file is present; null otherwise.
const REffectNugget* delayedEffect(const std::wstring& definition)
{
    const Definition_Base* found = UserInterface::Get()->GetDefinitionMap()->FindDefinition(definition);
    if (!found)
        return nullptr;
    for (const auto& nugget : found->nuggets.nuggets)
        if (const auto* effect = RObjectCast<REffectNugget>(nugget.get()))
            if (effect->autoPlay && effect->startDelay > 0.0f &&
                FileSystem::Get()->FileExists(L"effects\\" + effect->effectName + L".xml"))
                return effect;
    return nullptr;
}

class SampleContent : public GameFixture
{
protected:
    void SetUp() override
    {
        GameFixture::SetUp();
        std::filesystem::remove_all(content);
        std::filesystem::copy(std::string(PELLWOOD_SOURCE_DIR) + "/sample", content,
                              std::filesystem::copy_options::recursive);
    }

    // The text of every script of the sample.
    std::string Scripts() const
    {
        std::string all;
        for (const auto& entry : std::filesystem::directory_iterator(content / "input" / "script"))
            all += readText(entry.path());
        return all;
    }

    // Every "LuaClassName" of the sample's meta files.
    std::set<std::string> NuggetClasses() const
    {
        std::set<std::string> names;
        const std::regex nugget("<LuaClassName>([^<]+)</LuaClassName>");
        for (const auto& entry : std::filesystem::recursive_directory_iterator(content))
        {
            if (!entry.is_regular_file() || entry.path().filename().string().find("_meta") == std::string::npos)
                continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string all = text.str();
            for (std::sregex_iterator it(all.begin(), all.end(), nugget), end; it != end; ++it)
                names.insert((*it)[1].str());
        }
        return names;
    }
};

} // namespace

TEST_F(SampleContent, EverythingTheGameNamesIsPresent)
{
    ASSERT_TRUE(Start()) << "the start-up groups did not all load with their definitions validated";
    Frames(2);
    ASSERT_TRUE(Game().EnsureLibraryLoaded(L"Attic")) << "the level's group did not load";

    std::vector<std::string> missing;
    const DefinitionMap* definitions = UserInterface::Get()->GetDefinitionMap();
    for (const std::wstring& name : kDefinitions)
        if (!definitions->HasName(name))
            missing.push_back("definition " + narrow(name));
    FileSystem* files = FileSystem::Get();
    for (const std::wstring& name : kEffects)
        if (!files->FileExists(L"effects\\" + name + L".xml"))
            missing.push_back("effect " + narrow(name));
    if (!files->FileExists(L"audio\\ambient\\Attic.xml"))
        missing.push_back("the level's ambient sound scene");
    ISoundManager* sounds = ISoundManager::Get();
    std::set<std::wstring> classes;
    for (const std::wstring& name : kSounds)
    {
        const std::wstring soundClass = sounds ? sounds->GetSoundClass(name) : std::wstring();
        if (soundClass.empty())
            missing.push_back("sound " + narrow(name));
        classes.insert(soundClass);
    }
    for (const std::wstring& name : kSoundClasses)
        if (!classes.count(name) && name != L"Voice")
            missing.push_back("a game sound of the class " + narrow(name));
    const StringTable* strings = StringTable::GetKeyed();
    for (const std::wstring& key : kStrings)
        if (!strings || !strings->HasText(key))
            missing.push_back("string " + narrow(key));
    EXPECT_TRUE(missing.empty()) << "missing from the sample: " << join(missing);
}

TEST_F(SampleContent, EveryScriptClassOfTheDefinitionsIsBuiltByTheScripts)
{
    ASSERT_TRUE(Start());
    lua_State* state = LuaMgr::Get()->GetState();
    const std::set<std::string> named = NuggetClasses();
    EXPECT_GE(named.size(), 10u);
    std::vector<std::string> missing;
    for (const std::string& name : named)
    {
        if (LuaPushTypeMetatable(state, name.c_str(), false))
            lua_pop(state, 1);
        else
            missing.push_back(name);
    }
    EXPECT_TRUE(missing.empty()) << "script classes named by definitions but not built: " << join(missing);
}

TEST_F(SampleContent, TheScriptsReadTheSystemMacrosIntoTheirConstantTable)
{
    ASSERT_TRUE(Start());
    // The values come from the game's registrations, not from numbers in the scripts. (The
    // expressions are preprocessed too, so the names are written as strings.)
    EXPECT_EQ(LuaNumber("Const[\"GAME_ISPY\"]"), 1.0);
    EXPECT_EQ(LuaNumber("Const[\"GAME_PROLOGUE\"]"), 7.0);
    EXPECT_EQ(LuaNumber("Const[\"MODE_PUZZLE\"]"), 2.0);
    EXPECT_EQ(LuaNumber("Const[\"ITEM_HIDDEN\"]"), 2.0);
    EXPECT_EQ(LuaNumber("Const[\"CF_FREEZE\"]"), 7.0);
    EXPECT_EQ(LuaString("Const[\"GAME_EVENT_PAUSE\"]"), "PAUSE");
    // The game manager's questions and the tuning values are answered.
    EXPECT_EQ(LuaString("GameManager:GetCurrentLevelName()"), kLevel);
    EXPECT_EQ(LuaNumber("__QueryGameSetting('RandomClicksCount')"), 5.0);
    EXPECT_TRUE(LuaBool("type(svc.PlayerState.PenaltyScore) == 'function'"));
    EXPECT_TRUE(LuaBool("type(svc.PlayerState.SetSecretWord) == 'function'"));
}

TEST_F(SampleContent, TheGameUsesTheEnginesPieces)
{
    WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Start());
    Frames(30); // the main menu, its extras and its title's twinkle
    std::vector<std::string> missing;
    const auto need = [&](bool present, const std::string& what)
    {
        if (!present)
            missing.push_back(what);
    };

    // The eight cursors come from the content's files named by resource id.
    Window* window = Engine().GetWindow();
    bool cursors = window && window->cursors.Count() == std::size(Core::CursorIds);
    for (size_t i = 0; cursors && i < std::size(Core::CursorIds); ++i)
    {
        Stream file = FileSystem::Get()->OpenStream(CursorFileName(Core::CursorIds[i]));
        uint32_t size = 0;
        const ByteBlock bytes = file.IsValid() ? file.ReadRemaining(&size) : ByteBlock();
        Platform::ResourcePicture picture;
        const auto* shown = windows.Cursor(window->cursors.At(i));
        cursors = bytes && ReadCursorFile(bytes.get(), size, picture) && shown && shown->width == picture.width &&
                  shown->height == picture.height && shown->hotX == picture.hotX && shown->hotY == picture.hotY;
    }
    need(cursors, "the eight cursors as files named by resource id, in use");

    // A delayed sparkle: the menu's twinkle comes from an effect nugget with a random start delay.
    Screen* menu = _ScreenMgr::Get()->FindScreen(L"scr_mainmenu");
    Instance_Base* twinkle = menu ? menu->FindChildByPath(L"twinkle").GetInstance() : nullptr;
    need(delayedEffect(L"menu_twinkle") && twinkle && holdsEffect(twinkle),
         "an effect nugget with a delayed start on the main menu");

    // The credits' playlist of clips, every clip present.
    ASSERT_TRUE(Lua("if Sample and Sample.OpenCredits then Sample.OpenCredits() end"));
    Frames(3);
    Screen* credits = _ScreenMgr::Get()->FindScreen(L"scr_credits");
    auto* clips = credits ? find<Instance_Image>(credits, L"clips") : nullptr;
    MultipleVideo* playlist = clips ? MultipleVideo::ShownBy(clips->GetVideoSource()) : nullptr;
    bool clipsPresent = playlist && playlist->GetEntryCount() >= 2;
    if (playlist)
        for (const std::wstring& file : playlist->GetVideoFiles())
            clipsPresent = clipsPresent && FileSystem::Get()->FileExists(file);
    need(clipsPresent, "a playlist of clips (MultipleVideo) in the credits");
    if (credits)
        credits->Close(0);
    Frames(60);

    // The help page's list of keys on a panel, scrolled by its vertical slider: at the slider's end
    // the rows show the end of the list.
    Screen* help = RObjectCast<Screen>(_ScreenMgr::Get()->OpenScreen(L"dlg_help", L"", true, true).GetInstance());
    Frames(3);
    auto* keys = help ? find<Panel>(help, L"keys") : nullptr;
    auto* slider = keys ? find<VSlider>(keys, L"scroller") : nullptr;
    auto* firstRow = keys ? find<Instance_Text>(keys, L"row_0") : nullptr;
    const std::wstring top = firstRow ? firstRow->text : L"";
    if (slider)
        slider->SetValue(100.0f);
    Frames(3);
    need(keys && firstRow && !top.empty(), "a help page on a Panel");
    need(slider && firstRow && !firstRow->text.empty() && firstRow->text != top,
         "a scrolling list with a VSlider on the help page");

    // The score on the hidden-object HUD as a bitmap number that the level's script sets.
    const std::string scripts = Scripts();
    bool number = false;
    if (Instance_Base* made = Instance_Movie::CreateChild(UserInterface::Get()->GetRoot(), L"hud_score", L"probe", nullptr)
                                  .GetInstance())
    {
        number = RObjectCast<BitmapNumber>(made) != nullptr;
        Frames(1);
        if (auto* digits = RObjectCast<BitmapNumber>(made))
            number = number && digits->slotCount >= 4;
        made->Delete(true);
    }
    const std::string hud = readText(content / "input" / "definitions" / "game.xml");
    need(number && hud.find("instancename=\"num_score\" definition=\"hud_score\"") != std::string::npos &&
             scripts.find("\"num_score\"") != std::string::npos && scripts.find(":SetValue(") != std::string::npos,
         "the score shown with a BitmapNumber on the HUD");

    // The game events the screens hear, the level's ambient scene, the profile's Lua table.
    need(scripts.find("OnScreenEvent") != std::string::npos && scripts.find("GAME_EVENT_PAUSE") != std::string::npos &&
             scripts.find("GAME_EVENT_SETTINGS") != std::string::npos,
         "the screens' pause and settings events heard by the scripts");
    need(FileSystem::Get()->FileExists(L"audio\\ambient\\Attic.xml"), "the level's ambient sound scene");
    ASSERT_TRUE(Lua("Game.Data().finds = 7"));
    PlayerState& state = Game().GetGameMgr().GetPlayerState();
    const bool saved = state.Save();
    ASSERT_TRUE(Lua("Game.Data().finds = 0"));
    need(saved && state.Load() && LuaNumber("Game.Data().finds") == 7.0,
         "the game's Lua table saved through the profile");

    EXPECT_TRUE(missing.empty()) << "not in use in the sample: " << join(missing);
}
