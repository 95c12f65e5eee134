// The sample game's content against what the game's code and scripts name: the game started
// headless on a copy of sample/ (its five start-up groups load with the definitions validated, and
// the level's group on demand), then every definition, effect, sound, sound class and string key
// the code opens is looked up, and every script class a definition's Lua-class nugget names must
// have been built by the scripts that main.lua runs. Each check lists what is missing.
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/StringTable.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/definitions/DefinitionMap.h"
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
