// Start-ups as a user or a client would see them, on real (sandboxed) hive files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include <QPushButton>
#include <QTest>

#include "res/StringTable.h"
#include "settings/HiveSettings.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/HiveFiles.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

class FirstStart : public ::testing::Test {
protected:
    TestSandbox sandbox;
    RecordingBox settingsBox;
    HiveSettings settings{settingsBox};
};

TEST_F(FirstStart, StandAloneShowsTopmostWindowWithDefaultMacros) {
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.start());
    MainWindow& dlg = *harness.window;
    EXPECT_TRUE(dlg.isVisible() && dlg.m_visible);
    EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize()) << "no size frame";
    EXPECT_EQ(dlg.getDisplayText(), "DirectX Failure");

    // The function buttons as the eye sees them: two columns, each read from the top.
    std::vector<QPushButton*> buttons(dlg.m_macroButton.begin(), dlg.m_macroButton.end());
    std::sort(buttons.begin(), buttons.end(),
              [](QPushButton* a, QPushButton* b) { return a->x() != b->x() ? a->x() < b->x() : a->y() < b->y(); });
    const QStringList expected{"I1", "Save", "Sys Config", "Disk Rec", "Master", "Fx", "Dir", "Ic"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(buttons[i]->text(), expected[i]) << i;
        EXPECT_EQ(buttons[i]->x(), buttons[i / 4 * 4]->x()) << "one column " << i;
        EXPECT_TRUE(i % 4 == 0 || buttons[i]->geometry().top() > buttons[i - 1]->geometry().bottom()) << "below " << i;
    }
    EXPECT_GT(buttons[4]->geometry().left(), buttons[0]->geometry().right());
    EXPECT_EQ(buttons[0]->y(), buttons[4]->y());

    // The first run stored the 32 macro values in the user's hive.
    HiveSettings reread(settingsBox);
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i + 1);
        std::string text, caption;
        int32_t clear = 0, ret = 0;
        EXPECT_TRUE(reread.readSettingString(HKEY_CURRENT_USER, "Macro" + n, text));
        EXPECT_TRUE(reread.readSettingString(HKEY_CURRENT_USER, "Name" + n, caption));
        EXPECT_TRUE(reread.readSettingNumber(HKEY_CURRENT_USER, "Clear" + n, clear));
        EXPECT_TRUE(reread.readSettingNumber(HKEY_CURRENT_USER, "Return" + n, ret));
        EXPECT_EQ(text, loadString(StringMacroTextFirst + i));
        EXPECT_EQ(caption, loadString(StringMacroCaptionFirst + i));
        EXPECT_EQ(clear + ret, 2);
    }
    EXPECT_TRUE(settingsBox.shown.empty());

    // Without mouse capture the Mouse button stays down with the alert; the next click takes it
    // up again and sends nothing.
    dlg.setDisplayText("x");
    QTest::mouseClick(dlg.m_mouseModeButton, Qt::LeftButton);
    EXPECT_TRUE(dlg.session().mouseState().m_mouseMode && dlg.m_mouseModeButton->isChecked());
    EXPECT_EQ(dlg.getDisplayText(), "DirectX Failure");
    QTest::mouseClick(dlg.m_mouseModeButton, Qt::LeftButton);
    EXPECT_FALSE(dlg.session().mouseState().m_mouseMode || dlg.m_mouseModeButton->isChecked());
}

// Keys go nowhere until the lines are chosen: the empty display line says where to choose them,
// until they open.
TEST_F(FirstStart, WithoutPortsTheDisplayLineSaysWhereToSetThem) {
    PtyLine display{sandbox, 1}, merge{sandbox, 2};
    ASSERT_TRUE(display.Ok() && merge.Ok());
    Harness harness(settings, {"tarvik"}, /*mouseCapture=*/true);
    ASSERT_TRUE(harness.start());
    MainWindow& dlg = *harness.window;
    EXPECT_EQ(dlg.getDisplayText(), "Set Com Ports in Properties");
    EXPECT_EQ(dlg.session().ports().status().text(), "Display: not configured\nMerge: not configured");

    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 1);
    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 2);
    dlg.session().openPorts();  // as OK on the Com Ports page does
    EXPECT_TRUE(dlg.session().ports().isOpen(PortIdDisplay) && dlg.session().ports().isOpen(PortIdMerge));
    EXPECT_EQ(dlg.getDisplayText(), "");
}

TEST_F(FirstStart, AUserHiveThatCannotBeReadGivesOneBoxNotAStorm) {
    // Root reads any file, so the hive is made unreadable for everyone: a folder in its place.
    std::filesystem::create_directory(sandbox.UserHive());
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.start());
    ASSERT_EQ(settingsBox.shown.size(), 1u) << "placement, mouse, 32 macro reads, writes and re-reads: one box";
    EXPECT_EQ(
        settingsBox.shown[0].text.rfind("ERROR: Open Registry Key Failed failed with the following error:\n1009: ", 0),
        0u);
    EXPECT_TRUE(std::filesystem::is_directory(sandbox.UserHive()));
}

TEST_F(FirstStart, AUserHiveWithABadLineKeepsTheUsersMacros) {
    // Macro 1 complete keeps the stored macros; before, the bad line lost the whole file.
    test::WriteFile(sandbox.UserHive(),
                    "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\n\"Macro1\"=\"m\"\n\"Name1\"=\"Mine\"\n"
                    "\"Mouse Speed\"=dword:5O\n\"Clear1\"=dword:1\n\"Return1\"=dword:0\n");  // 5O: a letter O
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.start());
    EXPECT_EQ(harness.window->m_macroButton[0]->text(), "Mine");
    ASSERT_EQ(settingsBox.shown.size(), 1u);
    EXPECT_NE(settingsBox.shown[0].text.find(sandbox.UserHive() + ": 1 line could not be read"), std::string::npos);
    EXPECT_NE(settingsBox.shown[0].text.find("\nline 4: "), std::string::npos) << settingsBox.shown[0].text;
}

// Each start-up step in its place: placement before anything can bring the window up, the ports
// (whose opening clears an earlier alert) before the mouse set-up reports its failure.
TEST_F(FirstStart, StartUpStepsKeepTheirOrderWithPortsConfigured) {
    PtyLine display{sandbox, 1}, merge{sandbox, 2};
    ASSERT_TRUE(display.Ok() && merge.Ok());
    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 1);
    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 2);
    settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainPosX, 10);
    settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainPosY, 10);
    settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainVisible, 1);
    settings.writeSettingNumber(HKEY_CURRENT_USER, StringMainStart, 1);  // Hidden
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.start());
    MainWindow& dlg = *harness.window;
    EXPECT_TRUE(dlg.session().ports().isOpen(PortIdDisplay) && dlg.session().ports().isOpen(PortIdMerge));
    EXPECT_EQ(dlg.getDisplayText(), "DirectX Failure");
    EXPECT_TRUE(dlg.isVisible()) << "the alert brings up a window the settings start hidden";
    EXPECT_EQ(dlg.m_macroButton[0]->text(), "I1");
}

TEST_F(FirstStart, ClientRunsStayHiddenWithPortsClosed) {
    // A stored port whose device does not exist would show "Comms Error" if it were opened.
    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, 3);
    settings.writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, 4);
    for (const char* arg : {"-Embedding", "/AUTOMATION"}) {
        Harness harness(settings, {"tarvik", arg}, /*mouseCapture=*/true);
        ASSERT_TRUE(harness.start()) << arg;
        MainWindow& dlg = *harness.window;
        EXPECT_FALSE(dlg.isVisible() || dlg.m_visible || dlg.m_standAlone) << arg;
        EXPECT_EQ(dlg.session().ports().displayPortNumber(), 0) << arg;
        EXPECT_FALSE(dlg.session().ports().isOpen(PortIdDisplay)) << arg;
        EXPECT_EQ(dlg.getDisplayText(), "") << arg;
        EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "float applies while hidden";
    }
}

TEST_F(FirstStart, ClientRunWithoutMouseCaptureComesUpForTheAlertOnly) {
    Harness harness(settings, {"tarvik", "-Embedding"});
    ASSERT_TRUE(harness.start());
    MainWindow& dlg = *harness.window;
    EXPECT_TRUE(dlg.isVisible()) << "the alert restores the window";
    EXPECT_EQ(dlg.getDisplayText(), "DirectX Failure");
    EXPECT_FALSE(dlg.m_visible) << "but the run itself keeps it hidden";

    dlg.onExit();  // no clients: ends
    harness.Pump();
    EXPECT_TRUE(harness.destroyed);
    int32_t visible = -1;
    EXPECT_TRUE(settings.readSettingNumber(HKEY_CURRENT_USER, StringMainVisible, visible));
    EXPECT_EQ(visible, 0) << "a later Last Used start stays hidden";
}

}  // namespace
}  // namespace tarvik::test
