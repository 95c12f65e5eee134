// The log-in window's refusals, which need no display: they return before GTK starts.
#include "linkwell/browser/BrowserWindow.h"
#include "linkwell/factory/BrowserModule.h"
#include "../LinkwellTestSupport.h"

#include <gtest/gtest.h>

using namespace linkwell;

TEST(BrowserWindow, AddressesThatAreNotWebAddressesAreNotOpened)
{
    for (const char* first : {"file:///etc/passwd", "Failed to perform request", "", "javascript:close()"})
    {
        const FBString address(first);
        IBrowserWindow* window = CreateGtkBrowserWindow(u"Halcyra Facebook Connect", &address, nullptr);
        ASSERT_NE(window, nullptr);
        FBString out;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(window->Show(&out)) << first;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_STREQ(out.Text(), first);
        EXPECT_NE(log.find("only http and https"), std::string::npos) << first;
        EXPECT_FALSE(static_cast<BrowserWindow*>(window)->Window().Opened());
        window->Destroy(kDestroyFree);
    }
}

// The window comes from its own module, opened beside liblinkwell.so as the game loads it.
TEST(BrowserWindow, FactoryHandsOutTheWindowFromItsModule)
{
    linkwell_test::LoadedLibrary library;
    ASSERT_TRUE(library.Loaded());
    IClientFactory* factory = library.MakeFactory();
    ASSERT_NE(factory, nullptr);
    const FBString address("Failed to perform request");
    IBrowserWindow* window = factory->CreateBrowserWindow(u"caption", &address, nullptr);
    ASSERT_NE(window, nullptr) << "liblinkwell_browser.so beside " LINKWELL_LIBRARY;
    FBString out;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->Show(&out));
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(out.Text(), "Failed to perform request");
    window->Destroy(kDestroyFree);
    factory->Destroy(kDestroyFree);
}

// A module that is missing or lacks the entry refuses the window and says why;
// one that loads serves every later call.
TEST(BrowserWindow, ModuleThatCannotBeOpenedRefusesTheWindow)
{
    struct Case
    {
        std::string path;
        const char* said;
    };
    const Case refused[] = {
        {"/nonexistent/liblinkwell_browser.so", "did not load"},
        {LINKWELL_LIBRARY, "has no LinkwellCreateBrowserWindow"},
    };
    for (const Case& c : refused)
    {
        testing::internal::CaptureStderr();
        EXPECT_EQ(LoadBrowserModule(c.path), nullptr) << c.path;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("The log-in window cannot open"), std::string::npos) << log;
        EXPECT_NE(log.find(c.said), std::string::npos) << log;
    }
    EXPECT_NE(BrowserModulePath().find("liblinkwell_browser.so"), std::string::npos);

    CreateBrowserWindowFn create = LoadBrowserModule(LINKWELL_BROWSER_MODULE);
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(LoadBrowserModule("/nonexistent/liblinkwell_browser.so"), create);
    const FBString address("javascript:close()");
    IBrowserWindow* window = create(u"caption", &address, nullptr);
    ASSERT_NE(window, nullptr);
    FBString out;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->Show(&out));
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(out.Text(), "javascript:close()");
    window->Destroy(kDestroyFree);
}
