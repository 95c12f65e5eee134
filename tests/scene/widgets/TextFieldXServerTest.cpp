// A text field typed into through a real X server (Xvfb when there is no display; skipped without
// either or without its test extension): keys pressed on the server reach the render window, whose
// character messages give the field what the keymap makes of them: Shift for capitals,
// punctuation, a letter of another layout bound to a spare key, and a dead key followed by a letter
// where the server's input method composes it. Runs in a child process, as the other X tests do.
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/app/Window.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"
#include "tests/scene/widgets/InputFixture.h"

#include <SDL2/SDL.h>

#include <cstdlib>

namespace WidgetTest
{
namespace
{

constexpr const char* childVariable = "PELLWOOD_TEXTFIELD_X_CHILD";

TEST(TextFieldXServer, KeysOfTheServerTypeIntoAField)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "TextFieldXServerChild.*");
}

class Owner : public IWindowOwner
{
public:
    void OnActivate() override {}
    void OnDeactivate() override {}
    bool IsFullscreen() const override { return false; }
    void SetFullscreen(bool) override {}
    bool IsStarted() const override { return true; }
    bool IsInSplash() const override { return false; }
    void SetSuspended(bool) override {}
    bool CanClose() override { return true; }
    bool IsDeviceReady() const override { return false; }
    bool IsWindowed() const override { return true; }
    void CheckMonitor() override {}
    void PresentAgain() override {}
};

// Dispatches what has arrived; the pointer query is a round trip on SDL's own connection, so every
// event the server made before it has been read by then.
void pump(Platform::WindowSystem& system)
{
    SDL_GetGlobalMouseState(nullptr, nullptr);
    Platform::WindowMessage message;
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
        system.Dispatch(message);
}

class TextFieldXServerChild : public InputFixture
{
};

TEST_F(TextFieldXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by TextFieldXServer.KeysOfTheServerTypeIntoAField";
    XServerSupport::FakeKeyboard keyboard;
    if (!keyboard.Available())
        GTEST_SKIP() << "the server has no test extension";
    std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");

    Container* form = Create<Container>(root, L"w_container", L"form", 100, 100);
    TextField* field = Create<TextField>(form, L"w_field", L"name", 20, 20);
    ASSERT_NE(field, nullptr);
    Find<MeasuredText>(field, L"text")->SetWidth(5000);
    Click(150, 130);
    ASSERT_TRUE(field->focused);
    {
        Owner owner;
        Window window(*system, owner, ui.get());
        ASSERT_TRUE(window.Create(L"Typing", Platform::Rect{0, 0, 400, 300}));
        pump(*system);
        ASSERT_EQ(SDL_SetWindowInputFocus(system->GetSdlWindow(window.GetHandle())), 0);
        pump(*system);
        ASSERT_TRUE(window.IsForeground());

        // Waits for the field to hold `expected` by round trips to the server, never by time.
        auto expectText = [&](const std::wstring& expected)
        {
            for (int trip = 0; trip < 50 && field->text.size() < expected.size(); ++trip)
                pump(*system);
            EXPECT_EQ(field->text, expected);
        };
        auto tap = [&](unsigned long keysym)
        {
            keyboard.Key(keysym, true);
            keyboard.Key(keysym, false);
        };
        auto shifted = [&](unsigned long keysym)
        {
            keyboard.Key(0xFFE1, true); // Shift_L
            tap(keysym);
            keyboard.Key(0xFFE1, false);
        };

        shifted('o');
        tap(0x27); // apostrophe
        shifted('n');
        for (unsigned long letter : {'e', 'i', 'l'})
            tap(letter);
        tap(0x2D);   // minus
        tap(0xFF51); // Left: moves the caret, types nothing
        tap(0xFFBE); // F1
        tap(0xFF53); // Right
        expectText(L"O'Neil-");

        // A letter that the server's US keymap has no key for: bound to a spare key first.
        ASSERT_TRUE(keyboard.Bind(0xF6)) << "odiaeresis";
        pump(*system); // SDL reads the new keymap
        tap(0xF6);
        expectText(L"O'Neil-\u00F6");

        // A dead key composes with the next letter where the server's input method does it.
        if (keyboard.Bind(0xFE57)) // dead_diaeresis
        {
            pump(*system);
            tap(0xFE57);
            tap('e');
            for (int trip = 0; trip < 50 && field->text.size() < 8; ++trip)
                pump(*system);
            if (field->text == L"O'Neil-\u00F6\u00EB")
                SUCCEED() << "the dead key composed";
            else
                std::cout << "[ note ] this server's input method does not compose dead keys; typed: "
                          << WStringToAnsi(field->text) << "\n";
            EXPECT_NE(field->text.find(L"O'Neil-\u00F6"), std::wstring::npos);
        }
        window.Destroy();
        pump(*system);
    }
    system.reset();
}

} // namespace
} // namespace WidgetTest
