// Help on a desktop without a handler for web pages: our own viewer shows the page, and links
// between the pages work in it.
#include <gtest/gtest.h>

#include <QTextBrowser>

#include "tests/e2e/window/WindowHarness.h"
#include "ui/DesktopHelpViewer.h"

namespace tarvik::test {
namespace {

TEST(HelpViewer, WithoutAUrlHandlerPagesOpenInTheOwnViewer) {
    EnsureApplication();
    int asked = 0;
    CDesktopHelpViewer viewer([&] { return ++asked, false; });
    viewer.HtmlHelp(TARVIK_HELP_DIR, HH_HELP_CONTEXT, kMainWindowHelpContext);
    QTextBrowser* own = viewer.OwnViewer();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->isVisible());
    EXPECT_EQ(own->documentTitle(), "The Tarvik window");

    // The same window is reused, and the desktop is asked once per run.
    viewer.HtmlHelp(TARVIK_HELP_DIR, HH_DISPLAY_TOPIC, 0);
    EXPECT_EQ(viewer.OwnViewer(), own);
    EXPECT_EQ(own->documentTitle(), "Tarvik Help");
    EXPECT_EQ(asked, 1);

    // A missing page opens nothing.
    CDesktopHelpViewer nowhere([] { return false; });
    nowhere.HtmlHelp("/nonexistent", HH_DISPLAY_TOPIC, 0);
    EXPECT_EQ(nowhere.OwnViewer(), nullptr);
}

}  // namespace
}  // namespace tarvik::test
