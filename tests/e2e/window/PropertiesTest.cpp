// The preferences sheet through the Properties command, on the offscreen platform: what OK stores
// and where, what Cancel leaves alone, and the ports reopened only when they changed.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include "settings/HiveSettings.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/HiveFiles.h"
#include "tests/support/PtyLine.h"
#include "ui/TarvikPropertySheet.h"

namespace tarvik::test {
namespace {

constexpr uint32_t HKCU = HKEY_CURRENT_USER;
constexpr uint32_t HKLM = HKEY_LOCAL_MACHINE;
enum Page { kMacros, kPrefs, kMouse, kComms };
using Writes = std::vector<std::pair<uint32_t, std::string>>;

class Properties : public ::testing::Test {
protected:
    void start() {
        harness = std::make_unique<Harness>(settings, std::vector<std::string>{"tarvik"}, /*mouseCapture=*/true);
        ASSERT_TRUE(harness->start());
        dlg = harness->window;
        settings.written.clear();
    }
    // The Properties command, with `drive` working the sheet while it is up.
    void RunSheet(const std::function<void(TarvikPropertySheet&)>& drive) {
        WithModal<TarvikPropertySheet>([this] { dlg->onCommand(CommandMenuProperties); }, drive);
    }
    template <typename Control>
    static Control* On(TarvikPropertySheet& sheet, Page page, int id) {
        sheet.setActivePage(page);
        return qobject_cast<Control*>(getDlgItem(*sheet.getPage(page), id));
    }
    static void Press(TarvikPropertySheet& sheet, QDialogButtonBox::StandardButton which) {
        sheet.findChild<QDialogButtonBox*>()->button(which)->click();
    }
    int32_t Number(uint32_t hive, const std::string& name) { return settings.numbers.at({hive, name}); }
    // The port numbers the start opens (and the sheet is given).
    void openPorts(int32_t display, int32_t merge) {
        settings.numbers[{HKLM, "Display Port"}] = display;
        settings.numbers[{HKLM, "Merge Port"}] = merge;
    }

    FakeSettings settings;
    std::unique_ptr<Harness> harness;
    TestDlg* dlg = nullptr;
};

TEST_F(Properties, OkStoresEveryValueInItsHiveInOrderAndAppliesIt) {
    settings.numbers[{HKCU, "Main Rem Position"}] = 0;  // nothing is stored on opening
    settings.numbers[{HKLM, "Display Port"}] = 0;
    settings.numbers[{HKLM, "Merge Port"}] = 0;
    start();
    RunSheet([](TarvikPropertySheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Tarvik Properties");
        const QStringList tabs{"Macros", "Preferences", "Mouse", "Com Ports"};
        for (int i = 0; i < 4; ++i) EXPECT_EQ(sheet.getTabControl()->tabText(i), tabs[i]);
        EXPECT_EQ(sheet.getTabControl()->currentIndex(), 0);
        On<QLineEdit>(sheet, kMacros, 1040)->setText("Boot");
        On<QCheckBox>(sheet, kPrefs, 1031)->click();  // float off
        On<QRadioButton>(sheet, kPrefs, 1042)->click();
        On<QRadioButton>(sheet, kMouse, 1034)->click();
        // Keys alone move the speed.
        QSlider* speed = On<QSlider>(sheet, kMouse, 1043);
        QTest::keyClick(speed, Qt::Key_Right);
        QTest::keyClick(speed, Qt::Key_PageUp);
        Press(sheet, QDialogButtonBox::Ok);
    });

    Writes expected{{HKCU, "Main Float"},  {HKCU, "Main Rem Position"}, {HKCU, "Main Start"}, {HKCU, "Mouse Position"},
                    {HKCU, "Mouse Speed"}, {HKLM, "Display Port"},      {HKLM, "Merge Port"}, {HKLM, "Baud"}};
    ASSERT_EQ(settings.written.size(), expected.size() + 32) << "then all 32 macro values";
    EXPECT_EQ(Writes(settings.written.begin(), settings.written.begin() + 8), expected);
    for (size_t i = 8; i < settings.written.size(); ++i) EXPECT_EQ(settings.written[i].first, HKCU);
    EXPECT_EQ(Number(HKCU, "Main Float"), 0);
    EXPECT_EQ(Number(HKCU, "Main Start"), 1);
    EXPECT_EQ(Number(HKCU, "Mouse Position"), 1);
    EXPECT_EQ(Number(HKCU, "Mouse Speed"), 61);
    EXPECT_EQ(Number(HKLM, "Baud"), 9600);
    EXPECT_EQ(settings.strings.at({HKCU, "Name1"}), "Boot");
    // In force at once: the window's fields, its float state and the button caption.
    EXPECT_EQ(dlg->session().mouseSpeed(), 61);
    EXPECT_EQ(dlg->session().mouseStartPosition(), 1);
    EXPECT_EQ(dlg->m_startMode, 1);
    EXPECT_FALSE(dlg->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(dlg->m_macroButton[0]->text(), "Boot");
}

TEST_F(Properties, CancelStoresOnlyThePositionTakenOnOpening) {
    for (int32_t remember : {1, 0}) {
        settings.numbers[{HKCU, "Main Rem Position"}] = remember;
        start();
        RunSheet([](TarvikPropertySheet& sheet) {
            On<QCheckBox>(sheet, kPrefs, 1031)->click();
            On<QLineEdit>(sheet, kMacros, 1028)->setText("changed");
            Press(sheet, QDialogButtonBox::Cancel);
        });
        const Writes expected =
            remember ? Writes{{HKCU, "Main Pos x"}, {HKCU, "Main Pos y"}, {HKCU, "Main Visible"}} : Writes{};
        EXPECT_EQ(settings.written, expected) << remember;
        EXPECT_TRUE(dlg->m_float);
        EXPECT_NE(dlg->session().macros()[0].text, "changed");
        harness.reset();
    }
}

TEST_F(Properties, PagesNeverOpenedReturnExactlyWhatTheyWereGiven) {
    // With one port stored no line opens; the page is given the stored number all the same.
    settings.numbers[{HKLM, "Display Port"}] = 300;
    start();
    dlg->m_float = 5;
    dlg->m_startMode = 7;
    dlg->session().setMouseStartPosition(9);
    dlg->session().setMouseSpeed(150);
    // Bytes no text control can show survive a Macros page the user did not touch.
    MacroArray macros = dlg->session().macros();
    macros[2].text = "\xE9t\xE9";
    dlg->session().setMacros(macros);
    RunSheet([](TarvikPropertySheet& sheet) { Press(sheet, QDialogButtonBox::Ok); });
    EXPECT_EQ(Number(HKCU, "Main Float"), 5);
    EXPECT_EQ(Number(HKCU, "Main Start"), 7);
    EXPECT_EQ(Number(HKCU, "Mouse Position"), 9);
    EXPECT_EQ(Number(HKCU, "Mouse Speed"), 150);
    EXPECT_EQ(Number(HKLM, "Display Port"), 300);
    EXPECT_EQ(settings.numbers.count({HKLM, "Merge Port"}), 0u) << "a number never stored is not made up";
    EXPECT_EQ(settings.strings.at({HKCU, "Macro3"}), "\xE9t\xE9");
}

TEST_F(Properties, APortOutsideTheListSelectsNothingAndIsKept) {
    settings.numbers[{HKLM, "Display Port"}] = 300;
    settings.numbers[{HKLM, "Merge Port"}] = 0;
    start();
    dlg->session().setMouseSpeed(150);
    RunSheet([](TarvikPropertySheet& sheet) {
        QComboBox* display = On<QComboBox>(sheet, kComms, 1044);
        QComboBox* merge = On<QComboBox>(sheet, kComms, 1045);
        ASSERT_EQ(display->count(), 257);
        EXPECT_EQ(display->itemText(0), "OFF");
        EXPECT_EQ(display->itemText(256), "COM256");
        EXPECT_EQ(display->currentIndex(), -1);
        EXPECT_EQ(merge->currentIndex(), 0);
        On<QSlider>(sheet, kMouse, 1043);  // shows the end of the scale, but was not moved
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(Number(HKLM, "Display Port"), 300);
    EXPECT_EQ(Number(HKCU, "Mouse Speed"), 150);
}

TEST_F(Properties, PortsAreAlwaysRewrittenButReopenedOnlyWhenChanged) {
    TestSandbox sandbox;
    PtyLine display(sandbox, 1), merge(sandbox, 2);
    ASSERT_TRUE(display.Ok() && merge.Ok());
    openPorts(1, 2);
    settings.numbers[{HKCU, "Main Rem Position"}] = 0;
    start();
    ASSERT_TRUE(dlg->session().ports().isOpen(PortIdDisplay) && dlg->session().ports().isOpen(PortIdMerge));
    // With the names gone from the ports folder, a reopening would fail and show.
    std::filesystem::remove(sandbox.PortsDir() + "/COM1");
    std::filesystem::remove(sandbox.PortsDir() + "/COM2");
    RunSheet([](TarvikPropertySheet& sheet) { Press(sheet, QDialogButtonBox::Ok); });
    EXPECT_EQ(Writes(settings.written.begin() + 5, settings.written.begin() + 8),
              (Writes{{HKLM, "Display Port"}, {HKLM, "Merge Port"}, {HKLM, "Baud"}}));
    EXPECT_TRUE(dlg->session().ports().isOpen(PortIdDisplay) && dlg->session().ports().isOpen(PortIdMerge))
        << "not reopened";

    // One port changed is enough: the lines are reopened and the new one gets the mouse state.
    PtyLine fresh(sandbox, 3);
    ASSERT_TRUE(fresh.Ok());
    RunSheet([](TarvikPropertySheet& sheet) {
        On<QComboBox>(sheet, kComms, 1045)->setCurrentIndex(3);
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(dlg->session().ports().mergePortNumber(), 3);
    EXPECT_EQ(fresh.Receive(6).size(), 6u) << "the mouse packet on the new line";
    RunSheet([](TarvikPropertySheet& sheet) {
        On<QComboBox>(sheet, kComms, 1044)->setCurrentIndex(0);  // OFF
        Press(sheet, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(Number(HKLM, "Display Port"), 0);
    EXPECT_EQ(dlg->session().ports().displayPortNumber(), 0);
    EXPECT_EQ(Number(HKLM, "Merge Port"), 3);
}

TEST(PropertiesOnHiveFiles, OkKeepsTheStoredPortsOfARunThatOpenedNone) {
    TestSandbox sandbox;
    RecordingBox box;
    HiveSettings settings(box);
    const std::string section =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
        "\"Display Port\"=dword:00000003\n\"Baud\"=dword:00004b00\n";
    // A client run opens no line; a stand-alone run with one number stored opens none either.
    for (bool client : {true, false}) {
        WriteFile(sandbox.MachineHive(), section + (client ? "\"Merge Port\"=dword:00000004\n" : ""));
        Harness harness(settings,
                        client ? std::vector<std::string>{"tarvik", "-Embedding"} : std::vector<std::string>{"tarvik"},
                        true);
        ASSERT_TRUE(harness.start());
        WithModal<TarvikPropertySheet>(
            [&] { harness.window->onCommand(CommandMenuProperties); },
            [client](TarvikPropertySheet& sheet) {
                sheet.setActivePage(kComms);
                QWidget& page = *sheet.getPage(kComms);
                EXPECT_EQ(qobject_cast<QComboBox*>(getDlgItem(page, 1044))->currentIndex(), 3);
                EXPECT_EQ(qobject_cast<QComboBox*>(getDlgItem(page, 1045))->currentIndex(), client ? 4 : -1);
                sheet.accept();
            });
        int32_t display = 0, merge = 0, baud = 0;
        EXPECT_TRUE(settings.readSettingNumber(HKLM, StringDisplayPort, display) && display == 3) << client;
        EXPECT_EQ(settings.readSettingNumber(HKLM, StringMergePort, merge), client) << client;
        EXPECT_EQ(merge, client ? 4 : 0);
        EXPECT_TRUE(settings.readSettingNumber(HKLM, StringBaud, baud) && baud == 19200) << client;
        EXPECT_FALSE(harness.window->session().ports().isOpen(PortIdDisplay)) << "nothing reopened";
    }
    EXPECT_TRUE(box.shown.empty());
}

TEST(PropertiesOnHiveFiles, AMachineHiveThatCannotBeWrittenIsReportedOnceWithTheRemedy) {
    TestSandbox sandbox;
    // Running as root writes anywhere, so the machine hive's folder is made impossible: a file.
    std::ofstream(sandbox.Dir() / "not-a-folder") << "x";
    ::setenv("TARVIK_MACHINE_HIVE", (sandbox.Dir() / "not-a-folder" / "machine.reg").c_str(), 1);
    RecordingBox box;
    HiveSettings settings(box);
    Harness harness(settings, {"tarvik"}, /*mouseCapture=*/true);
    ASSERT_TRUE(harness.start());
    TestDlg* dlg = harness.window;
    WithModal<TarvikPropertySheet>(
        [dlg] { dlg->onCommand(CommandMenuProperties); },
        [](TarvikPropertySheet& sheet) {
            sheet.setActivePage(kComms);
            qobject_cast<QComboBox*>(getDlgItem(*sheet.getPage(kComms), 1045))->setCurrentIndex(4);
            sheet.accept();
        });
    // The three port values fail alike; a failure of a file is told once per run.
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text.rfind("ERROR: Write to Registry Failed failed with the following error:\n5: ", 0), 0u);
    EXPECT_NE(box.shown[0].text.find("sudo install -d -m 2775 -g dialout"), std::string::npos) << box.shown[0].text;
    EXPECT_EQ(dlg->session().ports().mergePortNumber(), 0) << "reopened on what the machine's settings hold";
}

TEST_F(Properties, WhileTheSheetIsUpTrayCommandsWaitAndACloseRequestEndsItFirst) {
    start();
    RunSheet([this](TarvikPropertySheet& sheet) {
        for (uint32_t command : {CommandMenuExit, CommandMenuProperties, CommandAboutbox}) dlg->requestCommand(command);
        QCoreApplication::sendPostedEvents(dlg, 0);
        EXPECT_TRUE(sheet.isVisible() && !harness->destroyed) << "the tray menu's commands are dropped";
        dlg->requestClose();
        QCoreApplication::sendPostedEvents(dlg, 0);
        EXPECT_FALSE(sheet.isVisible()) << "the sheet is closed for the exit";
        EXPECT_FALSE(harness->destroyed) << "but the window stays until the sheet's command has returned";
    });
    EXPECT_TRUE(PumpUntil([this] { return harness->destroyed; }));
    harness->Pump();  // forgets the window that went
}

}  // namespace
}  // namespace tarvik::test
