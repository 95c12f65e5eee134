// The log-in window's refusals, which need no display: they return before GTK starts.
#include "linkwell/browser/BrowserWindow.h"
#include "linkwell/factory/ClientFactory.h"

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

TEST(BrowserWindow, FactoryHandsOutTheWindow)
{
    IClientFactory* factory = ClientFactory::Make();
    ASSERT_NE(factory, nullptr);
    const FBString address("Failed to perform request");
    IBrowserWindow* window = factory->CreateBrowserWindow(u"caption", &address, nullptr);
    ASSERT_NE(window, nullptr);
    FBString out;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->Show(&out));
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(out.Text(), "Failed to perform request");
    window->Destroy(kDestroyFree);
    factory->Destroy(kDestroyFree);
}
