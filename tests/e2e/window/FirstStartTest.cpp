// Start-ups as a user or a client would see them, on real (sandboxed) hive files.
#include <gtest/gtest.h>

#include <algorithm>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "DialogTemplate.h"
#include "Settings.h"
#include "StringTable.h"
#include "TestSandbox.h"
#include "WindowHarness.h"

namespace tarvik::test {
namespace {

struct Placed {
    QString text;
    QRect rect;
};

class FirstStart : public ::testing::Test {
protected:
    TestSandbox sandbox;
    FakeMessageBox settingsBox;
    CSettings settings{settingsBox};
};

TEST_F(FirstStart, StandAloneShowsTopmostWindowWithDefaultMacros) {
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.Start());
    CTarvikDlg& dlg = *harness.window;

    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.m_bVisible);
    EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize()) << "no size frame";
    EXPECT_EQ(dlg.windowTitle(), "Tarvik");
    EXPECT_EQ(dlg.GetDisplayText(), "DirectX Failure");

    // The function buttons as the eye sees them: two columns, each read from the top.
    std::vector<Placed> buttons;
    for (int id : kMacroButtonIds) {
        auto* button = qobject_cast<QPushButton*>(GetDlgItem(dlg, id));
        ASSERT_NE(button, nullptr) << id;
        buttons.push_back({button->text(), button->geometry()});
    }
    std::sort(buttons.begin(), buttons.end(), [](const Placed& a, const Placed& b) {
        return a.rect.x() != b.rect.x() ? a.rect.x() < b.rect.x() : a.rect.y() < b.rect.y();
    });
    const QStringList expected{"I1", "Save", "Sys Config", "Disk Rec", "Master", "Fx", "Dir", "Ic"};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(buttons[i].text, expected[i]) << i;
        const int column = i / 4;
        EXPECT_EQ(buttons[i].rect.x(), buttons[column * 4].rect.x()) << "one column " << i;
        if (i % 4) {
            EXPECT_GT(buttons[i].rect.top(), buttons[i - 1].rect.bottom()) << "below, no overlap " << i;
        }
    }
    EXPECT_GT(buttons[4].rect.left(), buttons[0].rect.right());
    EXPECT_EQ(buttons[0].rect.y(), buttons[4].rect.y());

    // Every control sits where the template puts it, inside the window.
    const DluBase base = MeasureDluBase(TemplateFont(MainDialogTemplate()));
    for (const DialogControl& control : MainDialogTemplate().controls) {
        QWidget* widget = GetDlgItem(dlg, control.id);
        ASSERT_NE(widget, nullptr) << control.id;
        EXPECT_EQ(widget->geometry(), base.Map(control.x, control.y, control.w, control.h)) << control.id;
        EXPECT_TRUE(dlg.rect().contains(widget->geometry())) << control.id;
    }
    EXPECT_EQ(dlg.m_fontDisplay.pointSize(), 10);
    EXPECT_EQ(dlg.m_btnMacro[0]->font().pointSize(), 8);
    EXPECT_TRUE(dlg.m_btnShift->isCheckable());
    EXPECT_FALSE(dlg.m_btnShift->isChecked());
    EXPECT_FALSE(dlg.m_btnHelp->icon().isNull());
    EXPECT_FALSE(dlg.m_btnMouse->icon().isNull());

    // The first run stored the 32 macro values in the user's hive.
    CSettings reread(settingsBox);
    for (char n = '1'; n <= '8'; ++n) {
        const int i = n - '1';
        std::string text, caption;
        int32_t clear = 0, ret = 0;
        EXPECT_TRUE(reread.ReadSettingString(HKEY_CURRENT_USER, std::string("Macro") + n, text));
        EXPECT_TRUE(reread.ReadSettingString(HKEY_CURRENT_USER, std::string("Name") + n, caption));
        EXPECT_TRUE(reread.ReadSettingNumber(HKEY_CURRENT_USER, std::string("Clear") + n, clear));
        EXPECT_TRUE(reread.ReadSettingNumber(HKEY_CURRENT_USER, std::string("Return") + n, ret));
        EXPECT_EQ(text, LoadString(IDS_MACRO_TEXT_FIRST + i));
        EXPECT_EQ(caption, LoadString(IDS_MACRO_CAPTION_FIRST + i));
        EXPECT_EQ(clear, 1);
        EXPECT_EQ(ret, 1);
    }
    EXPECT_TRUE(settingsBox.shown.empty());
}

TEST_F(FirstStart, ClientRunsStayHiddenWithPortsClosed) {
    // A stored port whose device does not exist would show "Comms Error" if it were opened.
    settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, 3);
    settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_MERGE_PORT, 4);
    for (const char* arg : {"-Embedding", "/AUTOMATION"}) {
        Harness harness(settings, {"tarvik", arg}, /*mouseCapture=*/true);
        ASSERT_TRUE(harness.Start()) << arg;
        CTarvikDlg& dlg = *harness.window;
        EXPECT_FALSE(dlg.isVisible()) << arg;
        EXPECT_FALSE(dlg.m_bVisible) << arg;
        EXPECT_FALSE(dlg.m_bStandAlone) << arg;
        EXPECT_EQ(dlg.m_ports.m_nDisplayPortNumber, 0) << arg;
        EXPECT_FALSE(dlg.m_ports.m_displayPort.IsOpen()) << arg;
        EXPECT_EQ(dlg.GetDisplayText(), "") << arg;
        EXPECT_TRUE(dlg.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) << "float applies while hidden";
    }
}

TEST_F(FirstStart, ClientRunWithoutMouseCaptureComesUpForTheAlertOnly) {
    Harness harness(settings, {"tarvik", "-Embedding"});
    ASSERT_TRUE(harness.Start());
    CTarvikDlg& dlg = *harness.window;
    EXPECT_TRUE(dlg.isVisible()) << "the alert restores the window";
    EXPECT_EQ(dlg.GetDisplayText(), "DirectX Failure");
    EXPECT_FALSE(dlg.m_bVisible) << "but the run itself keeps it hidden";

    dlg.OnExit();  // no clients: ends
    harness.Pump();
    EXPECT_TRUE(harness.destroyed);
    int32_t visible = -1;
    EXPECT_TRUE(settings.ReadSettingNumber(HKEY_CURRENT_USER, IDS_MAIN_VISIBLE, visible));
    EXPECT_EQ(visible, 0) << "a later Last Used start stays hidden";
}

TEST_F(FirstStart, StandAloneReportsAPortThatCannotOpen) {
    settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_DISPLAY_PORT, 3);
    settings.WriteSettingNumber(HKEY_LOCAL_MACHINE, IDS_MERGE_PORT, 0);
    Harness harness(settings, {"tarvik"}, /*mouseCapture=*/true);
    ASSERT_TRUE(harness.Start());
    EXPECT_EQ(harness.window->GetDisplayText(), "Comms Error: Port 3");
    EXPECT_EQ(harness.window->m_ports.m_nDisplayPortNumber, 3);
}

}  // namespace
}  // namespace tarvik::test
