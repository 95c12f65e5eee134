// The console shown over the game: its display instance, the key that shows and hides it, its
// pages drawn every frame while it is shown, and the bar of tabs and arrows through which a press
// chooses a page (and goes no further) while the console is shown.
#include "engine/graphics/canvas/CRenderCanvas.h"
#include "engine/runtime/ConsoleDrawing.h"
#include "engine/runtime/ConsoleOverlayPrintBuffer.h"
#include "tests/scene/display/DisplayFixture.h"

#include <string>
#include <tuple>
#include <vector>

namespace SceneTest
{
namespace
{

struct PressListener : IEventListener
{
    void OnEvent(const Event_Base& event) override
    {
        if (event.type == Event_Base::MouseDown)
            events.push_back("down");
        else if (const auto* key = dynamic_cast<const Event_Key*>(&event);
                 key && event.type == Event_Base::KeyDown)
            events.push_back("key " + std::to_string(key->key));
    }
    std::vector<std::string> events;
};

// A page with an instance of its own, which notes what it is asked to do.
struct NotingPage : IConsoleOverlay
{
    std::wstring GetName() const override { return L"Stats"; }
    void Print(IConsoleDisplay&, const InstanceHandle& instance, const DeviceRect& rect) override
    {
        notes.push_back("print");
        printedInto = instance;
        printedRect = rect;
    }
    void OnActivate(IConsoleDisplay&, const InstanceHandle&) override { notes.push_back("activate"); }
    void OnDeactivate(IConsoleDisplay&, const InstanceHandle&) override { notes.push_back("deactivate"); }

    std::vector<std::string> notes;
    InstanceHandle printedInto;
    DeviceRect printedRect;
};

// One hit area of the console's canvas as HitTest tells it: the two tag pairs.
struct Area
{
    uint32_t first[2] = {0, 0};
    uint32_t second[2] = {0, 0};
    float left = 0;
    bool operator==(const Area& other) const
    {
        return first[0] == other.first[0] && first[1] == other.first[1] && second[0] == other.second[0] &&
               second[1] == other.second[1];
    }
};

class UserInterfaceConsole : public DisplayFixture
{
protected:
    void SetUp() override
    {
        // As the engine's start-up does before the user interface makes its console.
        InstallConsoleDrawing();
        DisplayFixture::SetUp();
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        console = ui->GetConsole();
        ASSERT_NE(console, nullptr);
        ui->AddEventListener(&listener);
    }

    void TearDown() override
    {
        ui->RemoveEventListener(&listener);
        DisplayFixture::TearDown();
    }

    // The hit areas met walking along the middle of the tab bar, left to right.
    std::vector<Area> BarAreas()
    {
        std::vector<Area> found;
        IRenderCanvas* canvas = ui->GetInstanceCanvas(console->GetOverlayInstance(), false);
        if (!canvas)
            return found;
        const float middle = float(Console::TabBarHeight) / 2;
        for (float x = 0; x < 1024; x += 1)
        {
            Area area;
            area.left = x;
            if (canvas->HitTest(SpritePoint{x, middle}, area.first, area.second) &&
                (found.empty() || !(found.back() == area)))
                found.push_back(area);
        }
        return found;
    }

    // A left press and release at (x, y); true when the listeners saw the press.
    bool Click(float x, float y)
    {
        listener.events.clear();
        ui->OnMouseMove(int(x), int(y));
        ui->OnMouseDown(0, 0, 0);
        ui->OnMouseUp(0, 0, 0);
        return listener.events == std::vector<std::string>{"down"};
    }

    Console* console = nullptr;
    PressListener listener;
};

TEST_F(UserInterfaceConsole, TheConsoleKeyShowsAndHidesTheLogPage)
{
    // Until the console has its instance, the key is like any other.
    ui->OnKeyDown(UserInterface::ConsoleKey);
    EXPECT_EQ(listener.events, std::vector<std::string>{"key 192"});
    EXPECT_FALSE(console->IsOverlayShown());

    const uint32_t live = ui->liveInstanceCount;
    ASSERT_TRUE(ui->CreateConsoleInstance());
    EXPECT_EQ(ui->liveInstanceCount, live) << "like the root, not one of the game's instances";
    Instance_Movie* instance = ui->GetConsoleInstance();
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(console->GetOverlayInstance(), instance->handle);
    EXPECT_FALSE(instance->visible);
    EXPECT_TRUE(root->children.empty()) << "outside the tree, so nothing the game adds covers it";
    ASSERT_TRUE(ui->CreateConsoleInstance());
    EXPECT_EQ(ui->GetConsoleInstance(), instance) << "made once";

    listener.events.clear();
    ui->OnKeyDown(UserInterface::ConsoleKey);
    ui->OnKeyUp(UserInterface::ConsoleKey);
    EXPECT_TRUE(console->IsOverlayShown());
    EXPECT_EQ(console->GetSelectedOverlay(), 1u) << "the \"Log\" page";
    EXPECT_TRUE(listener.events.empty()) << "the console's key goes no further";

    ui->OnKeyDown(UserInterface::ConsoleKey);
    EXPECT_FALSE(console->IsOverlayShown());
    EXPECT_EQ(console->GetSelectedOverlay(), 0u);
    ui->OnKeyDown(0x41);
    EXPECT_EQ(listener.events, std::vector<std::string>{"key 65"});
}

// Every frame while shown (recording canvases here), the "Log" page is drawn again below the bar, newest line at the bottom,
// and the console's instance draws its canvas; hidden, nothing is drawn.
TEST_F(UserInterfaceConsole, TheLogPageIsDrawnEveryFrameWhileShown)
{
    ASSERT_TRUE(ui->CreateConsoleInstance());
    ui->OnKeyDown(UserInterface::ConsoleKey);
    console->Print(L"first 100% line");
    ui->Render();
    auto* canvas = dynamic_cast<RecordingCanvas*>(ui->GetInstanceCanvas(console->GetOverlayInstance(), false));
    ASSERT_NE(canvas, nullptr);

    auto frame = [&]
    {
        std::vector<std::string> names;
        std::vector<std::wstring> texts;
        const CanvasCall* background = nullptr;
        for (const CanvasCall& call : canvas->calls)
        {
            names.push_back(call.name);
            if (call.name == "Text")
                texts.push_back(call.text);
            if (call.name == "Rect" && call.colour == ConsoleOverlayPrintBuffer::BackgroundColour)
                background = &call;
        }
        return std::make_tuple(names, texts, background);
    };
    auto [names, texts, background] = frame();
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->points[0].y, float(Console::TabBarHeight));
    EXPECT_EQ(background->points[1].x, 1024.0f);
    EXPECT_EQ(background->points[1].y, 768.0f);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], L"first 100% line") << "the newest line first, as it was printed";
    EXPECT_EQ(texts.back(), L"Log") << "the tab of the one page";
    EXPECT_EQ(names.back(), "Render") << "drawn by the console's instance";

    canvas->calls.clear();
    console->Print(L"second");
    ui->Render();
    std::tie(names, texts, background) = frame();
    EXPECT_EQ(names.front(), "Clear") << "drawn afresh";
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts[0], L"second");
    EXPECT_EQ(names.back(), "Render");

    ui->OnKeyDown(UserInterface::ConsoleKey);
    canvas->calls.clear();
    ui->Render();
    EXPECT_TRUE(canvas->calls.empty());
}

// The bar holds the back arrow, a tab per page and the forward arrow, tagged as the console's
// selection reads them. While shown, a press on the bar chooses a page and goes no further; a
// press elsewhere is the selected page's, and "Log" leaves it to the game. Hidden, the console
// takes no press at all.
TEST_F(UserInterfaceConsole, WhileShownPressesOnTheBarChoosePagesAndGoNoFurther)
{
    // The graphics canvas, whose hit areas answer.
    const Instance_Base::CanvasFactory recording =
        Instance_Base::SetCanvasFactory([]() -> std::unique_ptr<IRenderCanvas> { return CRenderCanvas::Create(); });
    struct Restore
    {
        Instance_Base::CanvasFactory factory;
        ~Restore() { Instance_Base::SetCanvasFactory(factory); }
    } restore{recording};
    Instance_Movie* pageInstance = Movie(root, L"stats");
    ASSERT_NE(pageInstance, nullptr);
    pageInstance->SetVisible(false);
    NotingPage page;
    ASSERT_TRUE(console->AddOverlay(&page, pageInstance->handle));
    ASSERT_TRUE(ui->CreateConsoleInstance());
    ui->OnKeyDown(UserInterface::ConsoleKey);
    ui->Render();

    const std::vector<Area> areas = BarAreas();
    ASSERT_EQ(areas.size(), 4u);
    const uint32_t expected[4][4] = {{2, 0, 0, 0}, {1, 0, 1, 0}, {1, 0, 2, 0}, {2, 0, 1, 0}};
    for (size_t i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(areas[i].first[0], expected[i][0]);
        EXPECT_EQ(areas[i].first[1], expected[i][1]);
        EXPECT_EQ(areas[i].second[0], expected[i][2]);
        EXPECT_EQ(areas[i].second[1], expected[i][3]);
    }
    const float middle = float(Console::TabBarHeight) / 2;

    // The second tab: the page's instance shows and the page draws into it below the bar.
    EXPECT_FALSE(Click(areas[2].left + 1, middle));
    EXPECT_EQ(console->GetSelectedOverlay(), 2u);
    EXPECT_TRUE(pageInstance->visible);
    ui->Render();
    EXPECT_EQ(page.notes, (std::vector<std::string>{"activate", "print"}));
    EXPECT_EQ(page.printedInto, pageInstance->handle);
    EXPECT_EQ(page.printedRect.top, Console::TabBarHeight);
    EXPECT_EQ(page.printedRect.bottom, 768);

    // Forward from the last page selects none; back from none selects the last.
    EXPECT_FALSE(Click(areas[3].left + 1, middle));
    EXPECT_EQ(console->GetSelectedOverlay(), 0u);
    EXPECT_FALSE(pageInstance->visible);
    ui->Render(); // the bar stays, without a page
    EXPECT_FALSE(Click(areas[0].left + 1, middle));
    EXPECT_EQ(console->GetSelectedOverlay(), 2u);

    // The "Log" tab; below the bar the press is the game's.
    EXPECT_FALSE(Click(areas[1].left + 1, middle));
    EXPECT_EQ(console->GetSelectedOverlay(), 1u);
    EXPECT_FALSE(pageInstance->visible);
    ui->Render();
    EXPECT_TRUE(Click(500, 400));

    // Hidden: the bar's place is the game's too, and nothing is selected by it.
    ui->OnKeyDown(UserInterface::ConsoleKey);
    EXPECT_TRUE(Click(areas[2].left + 1, middle));
    EXPECT_EQ(console->GetSelectedOverlay(), 0u);
}

} // namespace
} // namespace SceneTest
