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
    DesktopHelpViewer viewer([&] { return ++asked, false; });
    viewer.htmlHelp(TARVIK_HELP_DIR, HH_HELP_CONTEXT, MainWindowHelpContext);
    QTextBrowser* own = viewer.ownViewer();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(own->isVisible());
    EXPECT_EQ(own->documentTitle(), "The Tarvik window");

    // The same window is reused, and the desktop is asked once per run.
    viewer.htmlHelp(TARVIK_HELP_DIR, HH_DISPLAY_TOPIC, 0);
    EXPECT_EQ(viewer.ownViewer(), own);
    EXPECT_EQ(own->documentTitle(), "Tarvik Help");
    EXPECT_EQ(asked, 1);

    // A missing page opens nothing.
    DesktopHelpViewer nowhere([] { return false; });
    nowhere.htmlHelp("/nonexistent", HH_DISPLAY_TOPIC, 0);
    EXPECT_EQ(nowhere.ownViewer(), nullptr);
}

}  // namespace
}  // namespace tarvik::test
