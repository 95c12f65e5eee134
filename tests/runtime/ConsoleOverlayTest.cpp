// The console's overlay pages: the "Log" page's drawing, and choosing pages through the hit areas of
// the console's canvas.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/core/base/HandleTable.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/runtime/ConsoleDrawing.h"
#include "engine/runtime/ConsoleOverlayPrintBuffer.h"

namespace
{

using namespace TarnEngine;

// Remembers what is drawn; hit areas are rectangles, tested in the order added.
class RecordingCanvas final : public IRenderCanvas
{
public:
    struct Rect
    {
        SpritePoint topLeft;
        SpritePoint bottomRight;
        uint32_t colour;
        bool filled;
    };
    struct Text
    {
        SpritePoint position;
        uint32_t size;
        uint32_t colour;
        std::wstring text;
    };

    void Clear() override
    {
        ++clears;
        rects.clear();
        texts.clear();
        hitRects.clear();
    }
    bool IsClear() const override { return rects.empty() && texts.empty(); }
    bool IsPassEmpty(uint32_t) const override { return IsClear(); }
    void SetClearOnRender(bool) override {}
    bool GetClearOnRender() const override { return false; }
    void SetMaterial(uint32_t) override {}
    uint32_t GetMaterial() const override { return 0; }
    void SetVisible(bool) override {}
    bool GetVisible() const override { return true; }
    void SetRenderPass(uint32_t) override {}
    uint32_t GetRenderPass() const override { return 1; }
    void Render(const Matrix3&, uint32_t) override {}
    void DrawLine(const SpritePoint&, const SpritePoint&, uint32_t) override {}
    void DrawLine(const SpritePoint&, const SpritePoint&, uint32_t, uint32_t) override {}
    void DrawPolyline(uint32_t, const SpritePoint*, const uint32_t*) override {}
    void DrawPolyline(uint32_t, const SpritePoint*, uint32_t) override {}
    void DrawTriangle(const SpritePoint&, const SpritePoint&, const SpritePoint&, uint32_t, bool) override {}
    void DrawRect(float x, float y, float width, float height, uint32_t colour, bool filled) override
    {
        rects.push_back({{x, y}, {x + width, y + height}, colour, filled});
    }
    void DrawRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, uint32_t colour, bool filled) override
    {
        rects.push_back({topLeft, bottomRight, colour, filled});
    }
    void DrawTexturedRect(float, float, float, float, uint32_t, IResourceTexture*, const SpriteRect*) override {}
    void DrawTexturedRect(const SpritePoint&, const SpritePoint&, uint32_t, IResourceTexture*,
                          const SpriteRect*) override
    {
    }
    void DrawCircle(const SpritePoint&, float, uint32_t, bool, uint32_t) override {}
    void DrawPie(const SpritePoint&, float, const std::vector<PieSlice>&) override {}
    void DrawPlainTextLine(const SpritePoint& position, uint32_t size, uint32_t colour,
                           const std::wstring& text) override
    {
        texts.push_back({position, size, colour, text});
        if (onText)
            onText(text);
    }
    void MeasurePlainTextLine(int32_t&, int32_t&, uint32_t, const std::wstring&) override {}
    void AddHitTriangle(const SpritePoint&, const SpritePoint&, const SpritePoint&, const HitTag&) override {}
    void AddHitRect(const SpritePoint& topLeft, const SpritePoint& bottomRight, const HitTag& tag) override
    {
        hitRects.push_back({tag, topLeft, bottomRight});
    }
    void AddHitCircle(const SpritePoint&, float, const HitTag&) override {}
    bool HitTest(const SpritePoint& point, uint32_t* firstPair, uint32_t* secondPair) const override
    {
        for (const CanvasHitRect& area : hitRects)
        {
            if (point.x >= area.topLeft.x && point.x < area.bottomRight.x && point.y >= area.topLeft.y &&
                point.y < area.bottomRight.y)
            {
                if (firstPair)
                {
                    firstPair[0] = area.tag.words[0];
                    firstPair[1] = area.tag.words[1];
                }
                if (secondPair)
                {
                    secondPair[0] = area.tag.words[2];
                    secondPair[1] = area.tag.words[3];
                }
                return true;
            }
        }
        return false;
    }

    std::function<void(const std::wstring&)> onText; // runs after each text is drawn
    int clears = 0;
    std::vector<Rect> rects;
    std::vector<Text> texts;
    std::vector<CanvasHitRect> hitRects;
};

// Display instances as the console sees them: a canvas and a visible flag each, by handle.
class FakeDisplay final : public IConsoleDisplay
{
public:
    explicit FakeDisplay(Console* console) : console(console) {}

    Console* GetConsole() const override { return console; }
    IRenderCanvas* GetInstanceCanvas(const InstanceHandle& instance, bool create) override
    {
        if (!instance.IsValid())
            return nullptr;
        auto found = canvases.find(instance.index);
        if (found == canvases.end())
        {
            if (!create)
                return nullptr;
            found = canvases.emplace(instance.index, RecordingCanvas()).first;
        }
        return &found->second;
    }
    bool IsInstanceVisible(const InstanceHandle& instance) const override
    {
        const auto found = visible.find(instance.index);
        return instance.IsValid() && found != visible.end() && found->second;
    }
    void SetInstanceVisible(const InstanceHandle& instance, bool show) override
    {
        if (instance.IsValid())
            visible[instance.index] = show;
    }
    void GetPointerPosition(int32_t& x, int32_t& y) const override
    {
        x = pointerX;
        y = pointerY;
    }

    Console* console;
    std::map<uint32_t, RecordingCanvas> canvases;
    std::map<uint32_t, bool> visible;
    int32_t pointerX = 0;
    int32_t pointerY = 0;
};

// A page that notes every call it gets.
class RecordingOverlay final : public IConsoleOverlay
{
public:
    std::wstring GetName() const override { return L"Page"; }
    void Print(IConsoleDisplay&, const InstanceHandle&, const DeviceRect&) override {}
    bool OnMousePress(IConsoleDisplay&, const InstanceHandle& instance, int button, uint32_t keyFlags,
                      int extra) override
    {
        presses.push_back({instance.index, button, keyFlags, extra});
        return usesPresses;
    }
    void OnActivate(IConsoleDisplay&, const InstanceHandle&) override { calls += "+"; }
    void OnDeactivate(IConsoleDisplay&, const InstanceHandle&) override { calls += "-"; }

    struct Press
    {
        uint32_t instance;
        int button;
        uint32_t keyFlags;
        int extra;
    };
    std::vector<Press> presses;
    std::string calls;
    bool usesPresses = true;
};

class ConsoleOverlays : public ::testing::Test
{
protected:
    void SetUp() override
    {
        console.SetDisplay(&display);
        int dummy = 0;
        table.Add(consoleInstance, &dummy, 1);
        table.Add(pageInstances[0], &dummy, 1);
        table.Add(pageInstances[1], &dummy, 1);
        ASSERT_TRUE(console.AddOverlay(&pages[0], pageInstances[0]));
        ASSERT_TRUE(console.AddOverlay(&pages[1], pageInstances[1]));
        console.SetOverlayInstance(consoleInstance);
        display.SetInstanceVisible(consoleInstance, true);
        // The console's canvas: three tabs, a back and a forward arrow, and one other area, side by side.
        IRenderCanvas* canvas = display.GetInstanceCanvas(consoleInstance, true);
        for (uint32_t tab = 1; tab <= 3; ++tab)
            addArea(*canvas, tab - 1, {Console::TabArea, 0, tab, 0});
        addArea(*canvas, 3, {Console::TabArea, 0, 7, 0});
        addArea(*canvas, 4, {Console::ArrowArea, 0, 0, 0});
        addArea(*canvas, 5, {Console::ArrowArea, 0, 1, 0});
        addArea(*canvas, 6, {3, 0, 0, 0});
    }

    static void addArea(IRenderCanvas& canvas, uint32_t slot, HitTag tag)
    {
        canvas.AddHitRect(SpritePoint{float(slot) * 10, 0}, SpritePoint{float(slot) * 10 + 10, 10}, tag);
    }
    // Presses the left button over an area (slot), or outside all of them (-1).
    bool pressAt(int slot)
    {
        display.pointerX = slot < 0 ? 500 : slot * 10 + 5;
        display.pointerY = 5;
        return console.HandleMousePress(0, 0x0001, 0);
    }
    bool pageVisible(int page) const { return display.IsInstanceVisible(pageInstances[page]); }

    // Installed before the console is made, as the engine's start-up does: it brings the "Log" page.
    struct Drawing
    {
        Drawing() { InstallConsoleDrawing(); }
    } drawing;
    Console console;
    FakeDisplay display{&console};
    HandleTable table;
    InstanceHandle consoleInstance;
    InstanceHandle pageInstances[2];
    RecordingOverlay pages[2];
};

TEST_F(ConsoleOverlays, LogPageDrawsTheNewestSixtyLines)
{
    for (int i = 1; i < 100; ++i)
        console.Print(L"line " + std::to_wstring(i));
    console.Print(L"100% done %s %n");
    ASSERT_EQ(console.GetLines().size(), 101u);

    ConsoleOverlayPrintBuffer& log = ConsoleOverlayPrintBuffer::Get();
    EXPECT_EQ(log.GetName(), L"Log");
    ASSERT_EQ(console.GetOverlays().size(), 3u);
    EXPECT_EQ(console.GetOverlays()[0].overlay, &log);
    EXPECT_FALSE(console.GetOverlays()[0].instance.IsValid());

    RecordingCanvas& canvas = *static_cast<RecordingCanvas*>(display.GetInstanceCanvas(pageInstances[0], true));
    canvas.texts.push_back({}); // left over from an earlier frame
    log.Print(display, pageInstances[0], DeviceRect{10, 20, 610, 700});
    EXPECT_EQ(canvas.clears, 1);
    ASSERT_EQ(canvas.rects.size(), 1u);
    EXPECT_EQ(canvas.rects[0].topLeft.x, 10);
    EXPECT_EQ(canvas.rects[0].topLeft.y, 20);
    EXPECT_EQ(canvas.rects[0].bottomRight.x, 610);
    EXPECT_EQ(canvas.rects[0].bottomRight.y, 700);
    EXPECT_EQ(canvas.rects[0].colour, 0x80000000u);
    EXPECT_TRUE(canvas.rects[0].filled);

    ASSERT_EQ(canvas.texts.size(), 60u);
    for (size_t i = 0; i < canvas.texts.size(); ++i)
    {
        const RecordingCanvas::Text& text = canvas.texts[i];
        EXPECT_EQ(text.position.x, 10);
        EXPECT_EQ(text.position.y, 700 - 21 - 11 * float(i));
        EXPECT_EQ(text.size, 10u);
        EXPECT_EQ(text.colour, 0xFFFFFFFFu);
    }
    // Newest nearest the bottom, taken as plain text; the oldest shown is the 60th from the end.
    EXPECT_EQ(canvas.texts.front().text, L"100% done %s %n");
    EXPECT_EQ(canvas.texts[1].text, L"line 99");
    EXPECT_EQ(canvas.texts.back().text, L"line 41");

    // Fewer lines than fit: all of them.
    Console fresh;
    FakeDisplay freshDisplay(&fresh);
    log.Print(freshDisplay, pageInstances[0], DeviceRect{0, 0, 100, 100});
    const auto* freshCanvas = static_cast<RecordingCanvas*>(freshDisplay.GetInstanceCanvas(pageInstances[0], false));
    ASSERT_NE(freshCanvas, nullptr);
    ASSERT_EQ(freshCanvas->texts.size(), 1u);
    EXPECT_EQ(freshCanvas->texts[0].text, L"Use \"?\" to print a list of registered functions");

    // A stale instance has nothing to draw into.
    InstanceHandle stale = pageInstances[1];
    table.Release(stale);
    log.Print(display, stale, DeviceRect{0, 0, 100, 100});
    EXPECT_EQ(display.canvases.count(stale.index), 0u);
}

TEST_F(ConsoleOverlays, LogPageDrawsWhatWasThereWhenDrawingLogs)
{
    // The log prints into the console, and drawing a line may log (a full canvas, a font size
    // out of range): the page still draws the lines it began with.
    Logger logger;
    logger.RegisterConsoleCommands(console);
    for (int i = 1; i <= 100; ++i)
        console.Print(L"line " + std::to_wstring(i));
    RecordingCanvas& canvas = *static_cast<RecordingCanvas*>(display.GetInstanceCanvas(pageInstances[0], true));
    canvas.onText = [&logger](const std::wstring& text) { logger.Log(LogRendering, nullptr, 0, L"drew %s", text); };
    ConsoleOverlayPrintBuffer::Get().Print(display, pageInstances[0], DeviceRect{0, 0, 100, 800});
    ASSERT_EQ(canvas.texts.size(), 60u);
    for (size_t i = 0; i < canvas.texts.size(); ++i)
        EXPECT_EQ(canvas.texts[i].text, L"line " + std::to_wstring(100 - i));
    EXPECT_EQ(console.GetLines().back(), L"drew line 41");
}

TEST_F(ConsoleOverlays, ShownWhileItsInstanceIsValidAndVisible)
{
    EXPECT_TRUE(console.IsOverlayShown());
    display.SetInstanceVisible(consoleInstance, false);
    EXPECT_FALSE(console.IsOverlayShown());
    display.SetInstanceVisible(consoleInstance, true);
    table.Release(consoleInstance);
    EXPECT_FALSE(console.IsOverlayShown());
    Console alone;
    EXPECT_FALSE(alone.IsOverlayShown());
    EXPECT_FALSE(alone.HandleMousePress(0, 0, 0));
}

TEST_F(ConsoleOverlays, TabsAndArrowsChoosePages)
{
    // Slots: 0-2 tabs 1-3, 3 a tab for page 7, 4 back, 5 forward, 6 another area, -1 none.
    const struct
    {
        uint32_t selectedBefore;
        int slot;
        bool used;
        uint32_t selectedAfter;
        const char* calls[2]; // what pages 2 and 3 were told
    } rows[] = {
        {0, 1, true, 2, {"+", ""}},   // tab: page 2 shown and told
        {2, 2, true, 3, {"-", "+"}},  // tab: from page 2 to page 3
        {3, 0, true, 1, {"", "-"}},   // the "Log" page has no instance of its own
        {2, 3, true, 0, {"-", ""}},   // a tab for a page that is not there selects none
        {3, 5, true, 0, {"", "-"}},   // forward from the last: none
        {0, 4, true, 3, {"", "+"}},   // back from none: the last
        {1, 5, true, 2, {"+", ""}},   // forward
        {2, 4, true, 1, {"-", ""}},   // back
        {2, 6, true, 2, {"", ""}},    // any other area is used and changes nothing
        {0, -1, false, 0, {"", ""}},  // outside every area with none selected: not the console's
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(testing::Message() << "from " << row.selectedBefore << " at slot " << row.slot);
        // Reach the starting page through its tab, then forget the calls that took.
        pressAt(3);
        if (row.selectedBefore > 0)
            pressAt(int(row.selectedBefore) - 1);
        ASSERT_EQ(console.GetSelectedOverlay(), row.selectedBefore);
        pages[0].calls.clear();
        pages[1].calls.clear();

        EXPECT_EQ(pressAt(row.slot), row.used);
        EXPECT_EQ(console.GetSelectedOverlay(), row.selectedAfter);
        EXPECT_EQ(pages[0].calls, row.calls[0]);
        EXPECT_EQ(pages[1].calls, row.calls[1]);
        EXPECT_EQ(pageVisible(0), row.selectedAfter == 2);
        EXPECT_EQ(pageVisible(1), row.selectedAfter == 3);
        EXPECT_TRUE(pages[0].presses.empty());
        EXPECT_TRUE(pages[1].presses.empty());
    }
}

TEST_F(ConsoleOverlays, PressesOutsideTheAreasGoToTheSelectedPage)
{
    pressAt(2);
    ASSERT_EQ(console.GetSelectedOverlay(), 3u);
    display.pointerX = 500;
    EXPECT_TRUE(console.HandleMousePress(1, 0x0008, 42));
    ASSERT_EQ(pages[1].presses.size(), 1u);
    EXPECT_EQ(pages[1].presses[0].instance, pageInstances[1].index);
    EXPECT_EQ(pages[1].presses[0].button, 1);
    EXPECT_EQ(pages[1].presses[0].keyFlags, 0x0008u);
    EXPECT_EQ(pages[1].presses[0].extra, 42);

    // The page's answer is the console's.
    pages[1].usesPresses = false;
    EXPECT_FALSE(console.HandleMousePress(0, 0, 0));
    // The "Log" page takes none.
    pressAt(0);
    display.pointerX = 500;
    EXPECT_FALSE(console.HandleMousePress(0, 0, 0));
    EXPECT_FALSE(console.AddOverlay(nullptr, pageInstances[0]));
}

} // namespace
