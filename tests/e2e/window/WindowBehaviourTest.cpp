// Show, hide, placement and the ways out, on the offscreen platform with settings in memory.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "res/StringTable.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/FakeSettings.h"
#include "ui/Desktop.h"

namespace tarvik::test {
namespace {

class Behaviour : public ::testing::Test {
protected:
    void start() {
        harness = std::make_unique<Harness>(settings, std::vector<std::string>{"tarvik"}, /*mouseCapture=*/true);
        ASSERT_TRUE(harness->start());
        dlg = harness->window;
    }
    int32_t Stored(uint32_t id) {
        int32_t value = -12345;
        settings.readSettingNumber(HKEY_CURRENT_USER, id, value);
        return value;
    }
    FakeSettings settings;
    std::unique_ptr<Harness> harness;
    TestDlg* dlg = nullptr;
};

TEST_F(Behaviour, CloseButtonMenuCloseAndKeysOnlyHide) {
    start();
    ASSERT_TRUE(dlg->isVisible());
    dlg->close();  // the title bar's close button and Alt+F4 arrive as this
    harness->Pump();
    EXPECT_FALSE(dlg->isVisible() || dlg->m_visible);
    EXPECT_FALSE(harness->destroyed);

    dlg->onTrayClick(TrayClick::Left);  // a click on the notification-area icon
    EXPECT_TRUE(dlg->isVisible() && dlg->m_visible);
    dlg->onCommand(CommandMenuClose);
    EXPECT_FALSE(dlg->isVisible());

    // A click posted from another thread arrives on the window's own.
    std::thread([this] { dlg->requestTrayClick(TrayClick::Left); }).join();
    harness->Pump();
    ASSERT_TRUE(dlg->isVisible());
    for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(dlg, static_cast<Qt::Key>(key));
        QTest::keyClick(dlg->m_macroButton[0], static_cast<Qt::Key>(key));
    }
    harness->Pump();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_FALSE(harness->destroyed);
}

TEST_F(Behaviour, ExitWithClientsIsRefusedOrAskedAndNoMeansNo) {
    start();
    harness->module.lock();
    dlg->showMainWindow(false);
    dlg->onCommand(CommandMenuExit);
    EXPECT_EQ(dlg->getDisplayText(), "Can't Exit: 1 Client ");
    EXPECT_TRUE(dlg->isVisible());
    harness->module.lock();
    dlg->onExit();
    EXPECT_EQ(dlg->getDisplayText(), "Can't Exit: 2 Clients");
    EXPECT_TRUE(harness->box.shown.empty());

    // A close request asks instead.
    dlg->requestClose();
    harness->Pump();
    ASSERT_EQ(harness->box.shown.size(), 1u);
    EXPECT_EQ(harness->box.shown[0].text, "Warning: 2 Clients connected\nExit Application?");
    EXPECT_EQ(harness->box.shown[0].flags, MB_YESNO | MB_ICONHAND | MB_DEFBUTTON2);
    EXPECT_FALSE(harness->destroyed);
    EXPECT_EQ(dlg->shutdowns, 0);
    EXPECT_EQ(harness->module.m_closeOnLastUnlock.load(), 1);

    harness->box.answer = IDYES;
    dlg->requestClose();
    harness->Pump();
    EXPECT_TRUE(harness->destroyed);
    EXPECT_EQ(harness->module.m_closeOnLastUnlock.load(), 0);
    EXPECT_EQ(harness->app.m_mainDlg, nullptr);
    EXPECT_EQ(harness->module.getMainWindow(), nullptr);
    // Clients letting go afterwards post nothing more (and nothing reaches the deleted window).
    harness->module.unlock();
    harness->module.unlock();
    harness->Pump();
}

TEST_F(Behaviour, LastClientLeavingEndsTheProgramWithoutAQuestion) {
    start();
    harness->module.lock();
    EXPECT_EQ(harness->module.unlock(), 0);
    EXPECT_FALSE(harness->destroyed) << "the close is posted, not run inside the client's call";
    TestDlg* window = harness->window;
    QCoreApplication::sendPostedEvents(window, 0);
    EXPECT_TRUE(harness->destroyed);
    EXPECT_EQ(window->shutdowns, 1);
    EXPECT_EQ(window->getDisplayText(), "Shutdown - Please Wait");
    EXPECT_FALSE(window->session().ports().commsEnabled());
    EXPECT_TRUE(harness->box.shown.empty());
    EXPECT_EQ(Stored(StringMainVisible), 1);
    harness->Pump();
}

TEST_F(Behaviour, PlacementComesBackAndLostWindowsReturn) {
    EnsureApplication();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect desktop = screen->geometry(), work = screen->availableGeometry();
    ASSERT_GT(screen->virtualGeometry().right(), desktop.right()) << "a second monitor to the right";
    // On the second monitor: off the desktop, which is the primary screen alone.
    settings.numbers[{HKEY_CURRENT_USER, "Main Pos x"}] = desktop.right() + 100;
    settings.numbers[{HKEY_CURRENT_USER, "Main Pos y"}] = -40;
    settings.numbers[{HKEY_CURRENT_USER, "Main Visible"}] = 0;
    settings.numbers[{HKEY_CURRENT_USER, "Main Start"}] = 2;  // Last Used
    settings.numbers[{HKEY_CURRENT_USER, "Main Float"}] = 0;
    start();
    EXPECT_EQ(dlg->session().mouseEmulation().m_desktopWidth, desktop.width())
        << "the mouse's virtual screen is the primary one";
    EXPECT_EQ(dlg->session().mouseEmulation().m_desktopHeight, desktop.height());
    EXPECT_EQ(dlg->m_posY, -40) << "a position above the screen stays as stored";
    EXPECT_FALSE(dlg->isVisible()) << "Last Used after a hidden run";
    EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    dlg->showMainWindow(true);
    EXPECT_NE(dlg->frameGeometry(), dlg->geometry()) << "the window has a frame";
    EXPECT_EQ(dlg->frameGeometry().right(), work.right()) << "flush right, frame and all";
    EXPECT_EQ(dlg->m_posX, dlg->frameGeometry().x());
    dlg->showMainWindow(false);

    dlg->setFloat(true);
    EXPECT_TRUE(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(dlg->isVisible()) << "floating does not show a hidden window";
    dlg->showMainWindow(true);
    dlg->setFloat(false);
    EXPECT_TRUE(dlg->isVisible()) << "changing float keeps a shown window shown";

    dlg->m_rememberPosition = 0;
    settings.numbers.clear();
    dlg->saveWindowState();
    EXPECT_EQ(Stored(StringMainPosX), -12345) << "position not remembered";
    EXPECT_EQ(Stored(StringMainVisible), 1) << "visibility always";
}

// The items of the menu that `open` brings up ("-" for a separator), and where it opened; the menu
// is closed at once, so nothing waits on it. Empty when no menu opened.
std::string MenuOpenedBy(const std::function<void()>& open, QPoint* at = nullptr) {
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        if (at) *at = menu->pos();
        for (QAction* action : menu->actions()) seen << (action->isSeparator() ? "-" : action->text());
        menu->close();
    });
    poll.start(5);
    open();
    return seen.join("|").toStdString();
}

const std::string kWindowMenu = "Close|-|Properties|Monitor|-|Help|About|-|Exit";

TEST_F(Behaviour, TrayRightClickOpensTheMenuAtTheCursorUnlessSuppressed) {
    start();
    QCursor::setPos(40, 50);
    const auto rightClick = [this] {
        dlg->onTrayClick(TrayClick::Right);
        harness->Pump();
    };
    QPoint at;
    EXPECT_EQ(MenuOpenedBy(rightClick, &at), kWindowMenu);
    EXPECT_EQ(at, QCursor::pos());

    dlg->session().setContextMenuSuppressed(true);
    EXPECT_EQ(MenuOpenedBy(rightClick), "");
}

// The display line is a text field, whose own menu (Copy, Select All) must not open instead.
TEST_F(Behaviour, RightClickOnTheDisplayLineOpensTheWindowsMenu) {
    start();
    const QPoint onLine = dlg->m_display->mapTo(dlg, dlg->m_display->rect().center());
    EXPECT_EQ(MenuOpenedBy([&] { QTest::mouseClick(dlg->windowHandle(), Qt::RightButton, {}, onLine); }), kWindowMenu);
}

// The Monitor's first place: beside the main window, never over it, its whole frame in the work area.
TEST(MonitorPlacement, BesideTheMainWindowAndInsideTheWorkArea) {
    const QRect work(0, 40, 1024, 668);
    const QSize outer(760, 440);
    struct Case {
        QRect owner;
        QRect expected;
    };
    const Case cases[] = {
        {{100, 60, 230, 160}, {100, 228, 760, 440}},   // below, lined up with its left edge
        {{400, 500, 230, 160}, {264, 52, 760, 440}},   // above, moved left to stay on the screen
        {{0, 150, 230, 400}, {238, 150, 760, 440}},    // beside it on the right
        {{794, 150, 230, 400}, {26, 150, 760, 440}},   // on the left
        {{300, 250, 300, 300}, {608, 250, 416, 440}},  // no side has room: the most, shrunk to it
    };
    for (const Case& c : cases) {
        const QRect placed = placeBeside(c.owner, outer, work);
        EXPECT_EQ(placed, c.expected) << c.owner.x() << "," << c.owner.y();
        EXPECT_FALSE(placed.intersects(c.owner));
        EXPECT_TRUE(work.contains(placed));
    }
}

TEST(StartModes, DecideTheWindowOfAStandAloneRunOnly) {
    struct Case {
        int32_t mode, storedVisible;
        const char* arg;
        bool shown;
    };
    const Case cases[] = {
        {0, 0, nullptr, true},  {1, 1, nullptr, false}, {2, 1, nullptr, true},
        {2, 0, nullptr, false}, {7, 1, nullptr, false}, {0, 1, "-Embedding", false},
    };
    for (const Case& c : cases) {
        FakeSettings settings;
        settings.numbers[{HKEY_CURRENT_USER, "Main Pos x"}] = 10;
        settings.numbers[{HKEY_CURRENT_USER, "Main Pos y"}] = 20;
        settings.numbers[{HKEY_CURRENT_USER, "Main Visible"}] = c.storedVisible;
        settings.numbers[{HKEY_CURRENT_USER, "Main Start"}] = c.mode;
        std::vector<std::string> argv{"tarvik"};
        if (c.arg) argv.emplace_back(c.arg);
        Harness harness(settings, argv, /*mouseCapture=*/true);
        ASSERT_TRUE(harness.start());
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", stored visible " + std::to_string(c.storedVisible) +
                     (c.arg ? ", client run" : ""));
        EXPECT_EQ(harness.window->isVisible(), c.shown);
        EXPECT_EQ(harness.window->m_visible != 0, c.shown);
        EXPECT_EQ(harness.window->pos(), QPoint(10, 20));
    }
}

}  // namespace
}  // namespace tarvik::test
