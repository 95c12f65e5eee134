// Shared set-up of the game dialog tests: the toolkit's input fixture (1024 x 768, the screen
// manager, the widget definitions of tests/data/scene/widgets, text that measures 10 pixels a
// character and 12 high) with the game dialogs of tests/data/game/ui/dialogs.xml, a clock that
// the test advances (a frame is 16 ms of the real-time clock, which also steps the timer lists
// and the timer service), an in-memory file cache for "help.xml", a logger that keeps its
// lines, and a hint manager.
#pragma once

#include "engine/core/time/TimerList.h"
#include "engine/scene/ui/TimerService.h"
#include "game/ui/HintManager.h"
#include "game/ui/UIMessageBox.h"
#include "tests/scene/widgets/InputFixture.h"

#include <fstream>
#include <iterator>

namespace GameUiTest
{

using namespace TarnEngine;

inline std::string ReadGameTestFile(const std::string& name)
{
    std::ifstream file(std::string(PELLWOOD_TEST_DATA "/game/ui/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class DialogFixture : public WidgetTest::InputFixture
{
protected:
    void SetUp() override
    {
        // Before the script state starts: the classes and the script functions.
        RegisterMessageBoxScript();
        RegisterHintScript();
        logger = std::make_unique<DefinitionTest::CapturingLogger>();
        files = std::make_unique<DefinitionTest::MemoryFiles>();
        timerLists = std::make_unique<TimerLists>();
        timerService = std::make_unique<TimerService>(counter);
        InputFixture::SetUp();
        if (loadDialogs)
            LoadDialogs(ReadGameTestFile("dialogs.xml"));
        hints = std::make_unique<HintManager>();
    }

    void TearDown() override
    {
        hints.reset();
        InputFixture::TearDown();
        timerService.reset();
        timerLists.reset();
        files.reset();
        logger.reset();
    }

    // A definition file (and the classes of dialogs_meta.xml for the names it reuses); a later
    // definition of a name takes the place of the earlier one.
    void LoadDialogs(const std::string& text)
    {
        ASSERT_TRUE(DefinitionTest::LoadFile(*ui->GetDefinitionMap(), text));
        std::unique_ptr<XmlNode> meta = DefinitionTest::Parse(ReadGameTestFile("dialogs_meta.xml"));
        ASSERT_NE(meta, nullptr);
        LoadDefinitionsXml(*meta, *ui->GetDefinitionMap());
    }

    // Frames as the engine's tick runs them, each 16 ms of real time: the clock and its timers,
    // the timer service, the display tree, then the screen manager.
    void Tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
        {
            counter.AdvanceMilliseconds(16);
            time->UpdateFrameBase();
            time->UpdateRealClock();
            time->UpdateClock(0);
            time->UpdateClock(1);
            time->StepTimerList(*timerLists, 0);
            time->StepTimerList(*timerLists, 1);
            timerService->Update();
            root->Update(time->GetClock(0).deltaSeconds);
            screens->Update();
        }
    }

    // Frames until the screen has gone from the manager's lists (at most 200).
    int TickUntilGone(Screen* screen)
    {
        for (int frames = 1; frames <= 200; ++frames)
        {
            Tick();
            if (!Listed(screen))
                return frames;
        }
        return -1;
    }

    bool Listed(Screen* screen) const
    {
        for (const auto* list : {&screens->GetOpenScreens(), &screens->GetClosingScreens()})
            for (Screen* each : *list)
                if (each == screen)
                    return true;
        return false;
    }

    // The child of a dialog.
    template <class T = Instance_Movie> T* Child(Instance_Movie* parent, const std::wstring& path)
    {
        return parent ? RObjectCast<T>(parent->FindChildByPath(path).GetInstance()) : nullptr;
    }

    // Click at the centre of an instance, in screen coordinates.
    void ClickOn(Instance_Base* instance)
    {
        ASSERT_NE(instance, nullptr);
        float left = 0, top = 0, right = 0, bottom = 0;
        instance->GetBounds(left, top, right, bottom, true);
        Click(int((left + right) / 2), int((top + bottom) / 2));
    }

    size_t LogLines(const std::wstring& part) const
    {
        size_t count = 0;
        for (const std::wstring& line : logger->lines)
            count += line.find(part) != std::wstring::npos;
        return count;
    }

    bool loadDialogs = true;
    std::unique_ptr<DefinitionTest::CapturingLogger> logger;
    std::unique_ptr<DefinitionTest::MemoryFiles> files;
    std::unique_ptr<TimerLists> timerLists;
    std::unique_ptr<TimerService> timerService;
    std::unique_ptr<HintManager> hints;
};

} // namespace GameUiTest
