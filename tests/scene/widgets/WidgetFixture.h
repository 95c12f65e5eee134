// Shared set-up of the toolkit tests: the display fixture with a 1024 x 768 window, a frame clock
// at 60 frames a second, a recording sound manager, the screen manager, and small movie
// definitions whose frame counts and event sounds the widgets use: "button" (3 frames), "box3"
// (3 frames), "box6" (6 frames), "knob" (3 frames) and "screen" (1 frame), each playing a sound
// named after the event for every widget event.
#pragma once

#include "engine/core/time/TimeManager.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Container.h"
#include "tests/scene/definitions/DefinitionTestSupport.h"
#include "tests/scene/display/DisplayFixture.h"

#include <memory>
#include <string>
#include <vector>

namespace WidgetTest
{

using namespace TarnEngine;

inline std::string eventSounds()
{
    std::string nuggets;
    for (const char* event : {"bttn_click", "bttn_mouseover", "cb_click", "cb_over", "rb_click", "slider_click",
                              "tf_click", "screen_open", "screen_close"})
        nuggets += std::string("<SoundEffectNugget><EventName>") + event + "</EventName><SoundName>" + event +
                   "</SoundName></SoundEffectNugget>";
    return nuggets;
}

class WidgetFixture : public SceneTest::DisplayFixture
{
protected:
    void SetUp() override
    {
        DisplayFixture::SetUp();
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        time = std::make_unique<TimeManager>(counter);
        time->GetClock(0).deltaSeconds = 1.0f / 60.0f;
        sounds = std::make_unique<SceneTest::RecordingSoundManager>();
        ASSERT_TRUE(DefinitionTest::LoadFile(*ui->GetDefinitionMap(), "<D>"
                                                                      "<Definition type=\"movie\" name=\"button\" length=\"3\" fps=\"30\"/>"
                                                                      "<Definition type=\"movie\" name=\"box3\" length=\"3\" fps=\"30\"/>"
                                                                      "<Definition type=\"movie\" name=\"box6\" length=\"6\" fps=\"30\"/>"
                                                                      "<Definition type=\"movie\" name=\"knob\" length=\"3\" fps=\"30\"/>"
                                                                      "<Definition type=\"movie\" name=\"screen\" length=\"1\" fps=\"30\"/>"
                                                                      "</D>"));
        std::string meta = "<M>";
        for (const char* name : {"button", "box3", "box6", "knob", "screen"})
            meta += std::string("<Definition name=\"") + name + "\"><Nuggets>" + eventSounds() +
                    "</Nuggets></Definition>";
        meta += "</M>";
        LoadDefinitionsXml(*DefinitionTest::Parse(meta), *ui->GetDefinitionMap());
        screens = std::make_unique<_ScreenMgr>();
    }

    void TearDown() override
    {
        screens.reset();
        sounds.reset();
        DisplayFixture::TearDown();
        time.reset();
    }

    // A widget of class T under the parent, using the definition's frames and sounds.
    template <class T>
    T* Make(Instance_Movie* parent, const std::wstring& name, const std::wstring& definition = L"", float px = 0,
            float py = 0)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent, L"", name, true, T::StaticClass(), &made);
        T* widget = RObjectCast<T>(made);
        if (widget)
        {
            widget->definitionName = definition;
            widget->SetPosition(px, py);
        }
        return widget;
    }

    // Delivers the load notification as the movie's first update does.
    static void Load(Instance_Movie* movie)
    {
        if (IInstanceEventHandler* handler = dynamic_cast<IInstanceEventHandler*>(movie))
            handler->OnLoad(movie->movieHandle);
    }

    // Places the pointer in game coordinates.
    void Pointer(int32_t px, int32_t py)
    {
        ui->mouseX = px;
        ui->mouseY = py;
    }

    std::vector<std::wstring> TakeSounds()
    {
        std::vector<std::wstring> played;
        played.swap(sounds->played);
        return played;
    }

    Platform::FakeCounter counter{1000000};
    std::unique_ptr<TimeManager> time;
    std::unique_ptr<SceneTest::RecordingSoundManager> sounds;
    std::unique_ptr<_ScreenMgr> screens;
};

} // namespace WidgetTest
