// The presenter on a real X server (Xvfb when there is no display): the window
// the window system made and showed stays the one shown while the presenter
// makes its renderer. A window not made for a GL renderer would be destroyed
// and made again by SDL, hidden and shown a second time; the window system
// makes it for the renderer that will draw it. The GL case runs only where a
// GL renderer can be made (Mesa's processor-run one will do).
#include "platform/raster/RasterPresenter.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#include <sanitizer/lsan_interface.h>
#define PELLWOOD_LEAK_CHECKS 1
#endif
#endif

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr const char* childVariable = "PELLWOOD_PRESENTER_X_CHILD";

TEST(PresenterXServer, TheShownWindowIsNeverHiddenOrMadeAgainForTheRenderer)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "PresenterXServerChild.*");
}

// Counts the window's hidden and shown notices.
int watch(void* counts, SDL_Event* event)
{
    if (event->type == SDL_WINDOWEVENT)
    {
        auto* seen = static_cast<std::vector<int>*>(counts);
        if (event->window.event == SDL_WINDOWEVENT_HIDDEN)
            ++(*seen)[0];
        if (event->window.event == SDL_WINDOWEVENT_SHOWN)
            ++(*seen)[1];
    }
    return 1;
}

// The GL driver keeps a few blocks until the process ends and is unloaded
// before the leak check looks; what it allocates while this lives is not ours.
struct GlDriverAllocations
{
    explicit GlDriverAllocations(bool gl) : gl(gl)
    {
#ifdef PELLWOOD_LEAK_CHECKS
        if (gl)
            __lsan_disable();
#endif
    }
    ~GlDriverAllocations()
    {
#ifdef PELLWOOD_LEAK_CHECKS
        if (gl)
            __lsan_enable();
#endif
    }
    const bool gl;
};

void pump(Platform::WindowSystem& system)
{
    SDL_GetGlobalMouseState(nullptr, nullptr);
    Platform::WindowMessage message;
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
        system.Dispatch(message);
}

TEST(PresenterXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by PresenterXServer.TheShownWindowIsNeverHiddenOrMadeAgainForTheRenderer";
    // The renderer as the user may choose it; without a choice this machine's own.
    for (const char* driver : {"", "opengl"})
    {
        SCOPED_TRACE(std::string("SDL_RENDER_DRIVER=") + driver);
        const GlDriverAllocations notOurs(*driver != '\0');
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, *driver ? driver : nullptr);
        std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
        ASSERT_NE(system, nullptr) << "SDL: " << SDL_GetError();
        const Platform::WindowHandle handle =
            system->NewWindow(L"presenter", 320, 240, Platform::WindowStyle::Bordered);
        ASSERT_NE(handle, 0u);
        SDL_Window* window = system->GetSdlWindow(handle);
        ASSERT_TRUE(system->Show(handle));
        pump(*system);
        std::vector<int> seen(2, 0);
        SDL_AddEventWatch(&watch, &seen);
        {
            Raster::SdlPresenter presenter(window, "presenter");
            ASSERT_TRUE(presenter.Configure(320, 240, true, false));
            // Without a GPU and without a choice the frames go into the window's own surface.
            SDL_Renderer* renderer = SDL_GetRenderer(window);
            ASSERT_TRUE(renderer != nullptr || *driver == '\0');
            SDL_RendererInfo info{};
            info.name = "window surface";
            if (renderer)
                ASSERT_EQ(SDL_GetRendererInfo(renderer, &info), 0);
            if (*driver && std::strncmp(info.name, "opengl", 6) != 0)
            {
                SDL_DelEventWatch(&watch, &seen);
                GTEST_SKIP() << "no GL renderer here (" << info.name << ")";
            }
            const std::vector<uint32_t> frame(320 * 240, 0xFF336699u);
            EXPECT_EQ(presenter.Show(frame.data(), 320, 240), Raster::Result::Ok);
            if (!renderer)
            {
                const SDL_Surface* surface = SDL_GetWindowSurface(window);
                ASSERT_NE(surface, nullptr);
                const auto* shown = static_cast<const uint32_t*>(surface->pixels);
                EXPECT_EQ(shown[0] & 0xFFFFFFu, 0x336699u);
                EXPECT_EQ(shown[size_t(239) * (surface->pitch / 4) + 319] & 0xFFFFFFu, 0x336699u);
            }
            pump(*system);
            EXPECT_EQ(system->GetSdlWindow(handle), window);
            EXPECT_EQ(seen[0], 0) << "the window was hidden (made again) for the renderer " << info.name;
            EXPECT_EQ(seen[1], 0) << "the window was shown a second time for the renderer " << info.name;
        }
        SDL_DelEventWatch(&watch, &seen);
        system->DestroyWindow(handle);
        pump(*system);
    }
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, nullptr);
}
} // namespace
