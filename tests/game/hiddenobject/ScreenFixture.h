// Shared set-up of the hidden-object screen tests: the board tests' engine services and level
// (BoardFixture.h), the screen's definitions (screen.xml with screen_meta.xml) and script
// (screen.lua), a screen manager, a sound manager that records what plays, and screen services
// that hold a current profile element and record the ambient scenes and reports. The level is
// "ho_level": the items of board.xml on a board that runs the level script when it loads.
#pragma once

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/hiddenobject/DlgGuess.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/HUDLetters.h"
#include "game/hiddenobject/HUDList.h"
#include "game/hiddenobject/HUDListEntry.h"
#include "game/hiddenobject/ISpyState.h"
#include "game/hiddenobject/RechargableButton.h"
#include "game/hiddenobject/ScreenRegistrations.h"
#include "game/hiddenobject/ScreenServices.h"
#include "game/ui/UIMessageBox.h"
#include "tests/game/hiddenobject/BoardFixture.h"
#include "tests/game/media/RecordingSound.h"

namespace BoardTest
{

class RecordingScreenServices final : public ScreenServices
{
public:
    XmlNode* GetCurrentProfile() override { return profile.get(); }
    std::wstring GetCurrentLevelName() override { return levelName; }
    void PlayAmbientScene(const std::wstring& fileName) override { ambient.push_back(fileName); }
    void ReportPowerUpUsed(const std::wstring& name, const std::wstring& value) override
    {
        reports.push_back(name + L"=" + value);
    }

    std::unique_ptr<XmlNode> profile = std::make_unique<XmlNode>(L"PROFILE");
    std::wstring levelName = L"ho_level";
    std::vector<std::wstring> ambient;
    std::vector<std::wstring> reports;
};

inline std::string Narrow(std::wstring_view text)
{
    return std::string(text.begin(), text.end());
}

class ScreenFixture : public BoardFixture
{
protected:
    void SetUp() override
    {
        // Before the script manager starts, so that the script classes are built.
        RegisterHiddenObjectClasses();
        UIMessageBox::StaticClass();
        BoardFixture::SetUp();
        if (HasFatalFailure())
            return;
        sounds = std::make_unique<GameSoundTest::RecordingSoundManager>();
        DefinitionMap& map = *ui->GetDefinitionMap();
        XmlNode* definitions = documents.Load(L"screen.xml", false);
        XmlNode* meta = documents.Load(L"screen_meta.xml", false);
        ASSERT_NE(definitions, nullptr);
        ASSERT_NE(meta, nullptr);
        uint32_t added = 0, appended = 0;
        ASSERT_TRUE(LoadDefinitionFile(*definitions, map, added, appended));
        LoadDefinitionsXml(*meta, map);
        for (const auto& [name, list] : map.GetDefinitions())
            for (const auto& definition : list)
                if (auto* image = dynamic_cast<Definition_Image*>(definition.get()); image && !image->texture)
                    ASSERT_TRUE(LoadPicture(*image)) << "picture of " << Narrow(name);
        ASSERT_TRUE(lua.DoString(Utf8ToWString(ReadFixtureFile("screen.lua"))));
        screens = std::make_unique<_ScreenMgr>();
        previousScreenServices = ScreenServices::Install(&screenServices);
    }

    void TearDown() override
    {
        ScreenServices::Install(previousScreenServices);
        screens.reset();
        BoardFixture::TearDown();
        sounds.reset();
    }

    // The screen as the hidden-object mode makes it, attached and its level loaded.
    HOScreen* OpenScreen()
    {
        auto* screen = RObjectCast<HOScreen>(screens->OpenScreen(L"scr_ispy", L"scr_ispy", false, false).GetInstance());
        EXPECT_NE(screen, nullptr);
        if (!screen)
            return nullptr;
        SetGlobal("theScreen", screen);
        Step(3);
        EXPECT_NE(screen->GetBoard(), nullptr);
        return screen;
    }

    // Engine frames of 1/60 s: the clocks, the display tree, then the screen manager.
    void Step(int count = 1)
    {
        for (int i = 0; i < count; ++i)
        {
            Advance(17);
            time->UpdateFrameBase();
            time->UpdateClock(0);
            time->UpdateClock(1);
            root->Update(1.0f / 60.0f);
            screens->Update();
        }
    }

    template <class T = Instance_Movie> T* On(HOScreen* screen, const std::wstring& path)
    {
        return Child<T>(screen, path);
    }
    RechargableButton* Button(HOScreen* screen, const wchar_t* name) { return screen->GetButton(name); }

    // The "ISPY_STATE" element of the profile as XML text; empty when there is none.
    std::string SavedState()
    {
        const XmlNode* element = screenServices.profile->FindChild(L"ISPY_STATE");
        if (!element)
            return "";
        std::wstring text;
        element->Print(text, 0);
        return Narrow(text);
    }
    std::string Attribute(const wchar_t* member, const wchar_t* attribute = L"value")
    {
        const XmlNode* element = screenServices.profile->FindChild(L"ISPY_STATE");
        const XmlNode* child = element ? element->FindChild(member) : nullptr;
        return child ? Narrow(child->GetStringAttribute(attribute, L"<none>")) : "<missing>";
    }

    // The sounds that played since the last read.
    std::vector<std::wstring> Played()
    {
        std::vector<std::wstring> out;
        for (const std::wstring& line : sounds->log)
            if (line.rfind(L"PlaySoundWithParams ", 0) == 0)
                out.push_back(line.substr(20));
        sounds->log.clear();
        return out;
    }

    // The open message boxes.
    std::vector<UIMessageBox*> Boxes()
    {
        std::vector<UIMessageBox*> out;
        for (Screen* screen : screens->GetOpenScreens())
            if (auto* box = RObjectCast<UIMessageBox>(screen))
                out.push_back(box);
        return out;
    }

    ISpyItem* Item(HOScreen* screen, const wchar_t* name) { return Child<ISpyItem>(screen->GetBoard(), name); }

    std::unique_ptr<GameSoundTest::RecordingSoundManager> sounds;
    std::unique_ptr<_ScreenMgr> screens;
    RecordingScreenServices screenServices;
    ScreenServices* previousScreenServices = nullptr;
};

// The fixture with the hidden-object screen already open.
class OpenScreenFixture : public ScreenFixture
{
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        screen = OpenScreen();
        ASSERT_NE(screen, nullptr);
    }

    HOScreen* screen = nullptr;
};

} // namespace BoardTest
