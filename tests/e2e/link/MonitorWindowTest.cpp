// The traffic monitor through the real window: opened from the menu command, live while shown,
// filtered, paused and saved; the lines are tapped only while it is shown.
#include <fstream>
#include <sstream>

#include <QCheckBox>
#include <QPushButton>

#include "tests/e2e/link/LinkFixture.h"
#include "ui/MonitorWindow.h"

namespace tarvik::test {
namespace {

using MonitorWindowTest = LinkTest;

// The decoded ends of the view's lines, without their time stamps.
std::vector<std::string> decoded(const QString& text) {
    std::vector<std::string> lines;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        lines.push_back(line.mid(13).simplified().toStdString());
    }
    return lines;
}

TEST_F(MonitorWindowTest, ShowsBothLinesLiveFilteredPausedAndSaved) {
    dlg->onCommand(CommandMenuMonitor);
    MonitorWindow* monitor = dlg->monitorWindow();
    ASSERT_NE(monitor, nullptr);
    ASSERT_TRUE(monitor->isVisible());
    EXPECT_TRUE(dlg->session().monitor().isWatched());

    Tap(38, 'a');  // X keycode of A
    // One line at a time: the two lines' listeners are not ordered against each other.
    ASSERT_TRUE(merge.send("\x81"));
    ASSERT_TRUE(RunUntil([&] { return decoded(monitor->viewText()).size() >= 5; }));
    ASSERT_TRUE(display.send("\x0cGrand Piano "));
    ASSERT_TRUE(RunUntil([&] { return decoded(monitor->viewText()).size() >= 6; }));
    EXPECT_EQ(Collect(2), Both("61 81"));
    EXPECT_EQ(decoded(monitor->viewText()),
              (std::vector<std::string>{
                  "display out 61 key 0x61 'a'",
                  "merge out 61 key 0x61 'a'",
                  "merge in 81 key 0x81 F1",
                  "display out 81 key 0x81 F1",
                  "merge out 81 key 0x81 F1",
                  "display in 0C 47 72 61 6E 64 20 50 69 61 6E 6F 20 name \"Grand Piano \"",
              }));

    // Only what came in on the Merge Port.
    for (const char* off : {"Display", "Out"}) {
        for (QCheckBox* box : monitor->findChildren<QCheckBox*>()) {
            if (box->text() == QLatin1String(off)) box->setChecked(false);
        }
    }
    EXPECT_EQ(decoded(monitor->viewText()), std::vector<std::string>{"merge in 81 key 0x81 F1"});

    monitor->setPaused(true);
    ASSERT_TRUE(merge.send("\x82"));
    ASSERT_TRUE(RunUntil(
        [&] { return dlg->session().link().mergeParser().pendingPacket().empty() && merge.Receive(1) == "\x82"; }));
    EXPECT_EQ(decoded(monitor->viewText()).size(), 1u) << "nothing new while paused";
    monitor->setPaused(false);
    EXPECT_EQ(decoded(monitor->viewText()),
              (std::vector<std::string>{"merge in 81 key 0x81 F1", "merge in 82 key 0x82 F2"}));

    const std::string file = (sandbox.Dir() / "traffic.txt").string();
    std::string error;
    ASSERT_TRUE(monitor->save(file, error)) << error;
    std::stringstream saved;
    saved << std::ifstream(file).rdbuf();
    EXPECT_EQ(QString::fromStdString(saved.str()), monitor->viewText() + QLatin1Char('\n'));
    EXPECT_FALSE(monitor->save((sandbox.Dir() / "no/such/folder/t.txt").string(), error));
    EXPECT_FALSE(error.empty());

    monitor->close();
    EXPECT_FALSE(dlg->session().monitor().isWatched()) << "a hidden monitor costs nothing";
}

}  // namespace
}  // namespace tarvik::test
