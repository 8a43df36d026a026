// Show, hide, placement and the ways out, on the offscreen platform with settings in memory.
#include <gtest/gtest.h>

#include <thread>

#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "FakeSettings.h"
#include "MessageEvent.h"
#include "StringTable.h"
#include "WindowHarness.h"

namespace tarvik::test {
namespace {

int32_t Stored(FakeSettings& settings, uint32_t id) {
    int32_t value = -12345;
    settings.ReadSettingNumber(HKEY_CURRENT_USER, id, value);
    return value;
}

class Behaviour : public ::testing::Test {
protected:
    void Start(std::vector<std::string> argv = {"tarvik"}) {
        harness = std::make_unique<Harness>(settings, std::move(argv), /*mouseCapture=*/true);
        ASSERT_TRUE(harness->Start());
        dlg = harness->window;
    }
    FakeSettings settings;
    std::unique_ptr<Harness> harness;
    CTestDlg* dlg = nullptr;
};

TEST_F(Behaviour, CloseButtonMenuCloseAndKeysOnlyHide) {
    Start();
    ASSERT_TRUE(dlg->isVisible());
    dlg->close();  // the title bar's close button and Alt+F4 arrive as this
    harness->Pump();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->m_bVisible);
    EXPECT_FALSE(harness->destroyed);

    dlg->OnTrayNotify(WM_LBUTTONDOWN);  // a click on the notification-area icon
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->m_bVisible);

    dlg->OnCommand(ID_MENU_CLOSE);
    EXPECT_FALSE(dlg->isVisible());
    dlg->ShowMainWindow(true);

    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(dlg, static_cast<Qt::Key>(key));
        QTest::keyClick(dlg->m_btnMacro[0], static_cast<Qt::Key>(key));
    }
    harness->Pump();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(harness->destroyed);
}

TEST_F(Behaviour, ContextMenuHasItsItemsInOrder) {
    Start();
    std::unique_ptr<QMenu> menu = dlg->BuildContextMenu();
    QStringList items;
    for (QAction* action : menu->actions()) {
        items << (action->isSeparator() ? QString("-") : action->text() + "=" + action->data().toString());
    }
    EXPECT_EQ(items.join(","), "Close=32772,-,Properties=32771,-,Help=57670,About=16,-,Exit=32778");
}

TEST_F(Behaviour, ExitIsRefusedWhileClientsAreConnected) {
    Start();
    harness->module.Lock();
    dlg->ShowMainWindow(false);
    dlg->OnCommand(ID_MENU_EXIT);
    EXPECT_EQ(dlg->GetDisplayText(), "Can't Exit: 1 Client ");
    EXPECT_TRUE(dlg->isVisible());
    harness->module.Lock();
    harness->module.Lock();
    dlg->OnExit();
    EXPECT_EQ(dlg->GetDisplayText(), "Can't Exit: 3 Clients");
    EXPECT_FALSE(harness->destroyed);
    EXPECT_EQ(dlg->shutdowns, 0);
    EXPECT_TRUE(harness->box.shown.empty());
}

TEST_F(Behaviour, CloseRequestAsksWithClientsAndRespectsNo) {
    Start();
    harness->module.Lock();
    harness->module.Lock();
    harness->box.answer = IDNO;
    dlg->Post(WM_CLOSE, 0, 0);
    harness->Pump();
    ASSERT_EQ(harness->box.shown.size(), 1u);
    EXPECT_EQ(harness->box.shown[0].text, "Warning: 2 Clients connected\nExit Application?");
    EXPECT_EQ(harness->box.shown[0].flags, MB_YESNO | MB_ICONHAND | MB_DEFBUTTON2);
    EXPECT_FALSE(harness->destroyed);
    EXPECT_EQ(harness->module.m_bCloseOnLastUnlock.load(), 1);

    harness->box.answer = IDYES;
    dlg->Post(WM_CLOSE, 0, 0);
    harness->Pump();
    EXPECT_TRUE(harness->destroyed);
    EXPECT_EQ(harness->module.m_bCloseOnLastUnlock.load(), 0);
    EXPECT_EQ(harness->app.m_pMainDlg, nullptr);
    EXPECT_EQ(harness->module.GetMainWindow(), nullptr);
    // Clients letting go afterwards post nothing more (and nothing reaches the deleted window).
    harness->module.Unlock();
    harness->module.Unlock();
    harness->Pump();
}

TEST_F(Behaviour, LastClientLeavingEndsTheProgramWithoutAQuestion) {
    Start();
    harness->module.Lock();
    EXPECT_EQ(harness->module.Unlock(), 0);
    EXPECT_FALSE(harness->destroyed) << "the close is posted, not run inside the client's call";
    const std::string shownBefore = dlg->GetDisplayText();
    CTestDlg* window = harness->window;
    QCoreApplication::sendPostedEvents(window, 0);
    EXPECT_TRUE(harness->destroyed);
    EXPECT_EQ(window->shutdowns, 1);
    EXPECT_EQ(window->GetDisplayText(), "Shutdown - Please Wait");
    EXPECT_FALSE(window->m_ports.m_bCommsEnabled);
    EXPECT_TRUE(harness->box.shown.empty());
    EXPECT_EQ(Stored(settings, IDS_MAIN_VISIBLE), 1);
    harness->Pump();
}

TEST_F(Behaviour, PlacementComesBackAndLostWindowsReturn) {
    EnsureApplication();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect work = screen->availableGeometry();
    settings.numbers[{HKEY_CURRENT_USER, "Main Pos x"}] = screen->virtualGeometry().right() + 500;
    settings.numbers[{HKEY_CURRENT_USER, "Main Pos y"}] = -40;
    settings.numbers[{HKEY_CURRENT_USER, "Main Visible"}] = 0;
    settings.numbers[{HKEY_CURRENT_USER, "Main Start"}] = 2;  // Last Used
    settings.numbers[{HKEY_CURRENT_USER, "Main Float"}] = 0;
    Start();
    EXPECT_EQ(dlg->m_nPosX, work.x() + work.width() - dlg->frameGeometry().width()) << "flush right";
    EXPECT_EQ(dlg->m_nPosY, -40) << "a position above the screen stays as stored";
    EXPECT_FALSE(dlg->isVisible()) << "Last Used after a hidden run";
    EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    dlg->SetFloat(true);
    EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dlg->isVisible()) << "floating does not show a hidden window";
    dlg->ShowMainWindow(true);
    dlg->SetFloat(false);
    EXPECT_TRUE(dlg->isVisible()) << "changing float keeps a shown window shown";

    dlg->m_bRememberPosition = 0;
    settings.numbers.clear();
    dlg->SaveWindowState();
    EXPECT_EQ(Stored(settings, IDS_MAIN_POS_X), -12345) << "position not remembered";
    EXPECT_EQ(Stored(settings, IDS_MAIN_VISIBLE), 1) << "visibility always";
}

TEST_F(Behaviour, HelpButtonOpensTheWindowPageUnlessF1WentToTheInstrument) {
    Start();
    dlg->m_bHelpKey = 1;
    QTest::mouseClick(dlg->m_btnHelp, Qt::LeftButton);
    EXPECT_TRUE(harness->viewer.calls.empty());
    EXPECT_FALSE(dlg->m_bHelpKey);
    QTest::mouseClick(dlg->m_btnHelp, Qt::LeftButton);
    dlg->OnCommand(ID_HELP);
    ASSERT_EQ(harness->viewer.calls.size(), 2u);
    EXPECT_EQ(harness->viewer.calls[0].command, 15u);
    EXPECT_EQ(harness->viewer.calls[0].data, 0x20000u + 102u);
}

TEST_F(Behaviour, ToggleButtonsFollowTheirStates) {
    Start();
    QTest::mouseClick(dlg->m_btnShift, Qt::LeftButton);
    EXPECT_TRUE(dlg->m_bShift);
    QTest::mouseClick(dlg->m_btnEsc, Qt::LeftButton);
    EXPECT_FALSE(dlg->m_bEsc) << "Esc springs back";
    EXPECT_FALSE(dlg->m_btnEsc->isChecked());
    QTest::mouseClick(dlg->m_btnShift, Qt::LeftButton);
    EXPECT_FALSE(dlg->m_bShift);
    dlg->m_bCtrl = 1;
    dlg->UpdateData(false);
    EXPECT_TRUE(dlg->m_btnCtrl->isChecked());
}

TEST_F(Behaviour, MouseButtonWithoutCaptureSpringsBackWithTheAlert) {
    Harness harness2(settings, {"tarvik"});
    ASSERT_TRUE(harness2.Start());
    CTarvikDlg* window = harness2.window;
    window->SetDisplayText("x");
    QTest::mouseClick(window->m_btnMouse, Qt::LeftButton);
    EXPECT_FALSE(window->m_bMouseMode);
    EXPECT_FALSE(window->m_btnMouse->isChecked());
    EXPECT_EQ(window->GetDisplayText(), "DirectX Failure");
}

TEST_F(Behaviour, PostedMessagesFromOtherThreadsArriveOnTheGuiThread) {
    Start();
    harness->module.m_bCloseOnLastUnlock = 0;
    std::thread worker([this] { dlg->Post(UWM_TRAYNOTIFY, 1, WM_LBUTTONDOWN); });
    worker.join();
    dlg->ShowMainWindow(false);
    harness->Pump();
    EXPECT_TRUE(dlg->isVisible());
}

}  // namespace
}  // namespace tarvik::test
