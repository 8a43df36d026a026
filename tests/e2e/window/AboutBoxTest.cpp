// The About box: the texts come from the version data of the running executable (this test program
// carries the same data as Tarvik), and it opens from the tray while the window stays hidden.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/FakeSettings.h"
#include "ui/AboutDialog.h"

namespace tarvik::test {
namespace {

QString Shown(const QWidget& dialog, int id) { return qobject_cast<QLabel*>(getDlgItem(dialog, id))->text(); }

TEST(AboutBox, ShowsTheExecutablesVersionDataOrNothingWithout) {
    EnsureApplication();
    const AboutDialog about;
    EXPECT_EQ(Shown(about, 1149), "Tarvik");
    EXPECT_EQ(Shown(about, 1146), "Version 1.1.2.0");
    EXPECT_FALSE(Shown(about, 1148).isEmpty());
    EXPECT_FALSE(Shown(about, 1147).isEmpty());
    EXPECT_EQ(about.windowTitle(), "About Tarvik");

    for (const char* path : {"/nonexistent/tarvik", "/bin/sh"}) {
        const AboutDialog without(path);
        EXPECT_EQ(Shown(without, 1146), "Version ") << path;
        EXPECT_EQ(Shown(without, 1149) + Shown(without, 1148) + Shown(without, 1147), "") << path;
    }
}

TEST(AboutBox, OpensFromTheTrayAndLeavesAHiddenWindowHidden) {
    FakeSettings settings;
    for (const char* name : {"Main Pos x", "Main Pos y", "Main Visible"})
        settings.numbers[{HKEY_CURRENT_USER, name}] = 0;
    settings.numbers[{HKEY_CURRENT_USER, "Main Start"}] = 1;  // Hidden
    Harness harness(settings, {"tarvik"}, /*mouseCapture=*/true);
    ASSERT_TRUE(harness.start());
    TestDlg* dlg = harness.window;
    ASSERT_FALSE(dlg->isVisible());
    // The tray menu's About, as its choice arrives.
    WithModal<AboutDialog>(
        [dlg] {
            dlg->requestCommand(CommandAboutbox);
            QCoreApplication::sendPostedEvents(dlg, 0);
        },
        [](AboutDialog& about) {
            EXPECT_EQ(Shown(about, 1146), "Version 1.1.2.0");
            qobject_cast<QPushButton*>(getDlgItem(about, ControlOk))->click();
        });
    EXPECT_FALSE(dlg->isVisible() || dlg->m_visible);
}

}  // namespace
}  // namespace tarvik::test
