#include <gtest/gtest.h>

#include "DisplayLine.h"
#include "Recorders.h"

namespace tarvik::test {
namespace {

TEST(DisplayLineTest, AlertsRestoreTheWindowAndAreNotRemembered) {
    FakeDisplayView view;
    CDisplayLine line(view);
    line.ShowRemembered("Organ");
    EXPECT_EQ(view.restores, 0);
    line.ShowAlertWithPrefix(107, "Port 3");
    EXPECT_EQ(view.text, "Comms Error: Port 3");
    EXPECT_EQ(view.restores, 1);
    EXPECT_EQ(line.RememberedText(), "Organ");
    line.RestoreRemembered();
    EXPECT_EQ(view.text, "Organ");
    const int sets = view.sets;
    line.RestoreRemembered();
    EXPECT_EQ(view.sets, sets) << "nothing to restore";
}

TEST(DisplayLineTest, CodesAreLowerCaseHexWithAtLeastTwoDigits) {
    FakeDisplayView view;
    CDisplayLine line(view);
    line.ShowAlertWithCode("COM Error", 997);
    EXPECT_EQ(view.text, "COM Error: 3e5");
    line.ShowAlertWithCode("COM Error", 5);
    EXPECT_EQ(view.text, "COM Error: 05");
    line.ShowAlertWithCode("100% %s", 0x80070057u);
    EXPECT_EQ(view.text, "100% %s: 80070057");
}

TEST(DisplayLineTest, MissingStringsShowNothingOrOnlyTheText) {
    FakeDisplayView view;
    CDisplayLine line(view);
    line.ShowRememberedId(999);
    line.ShowAlertId(999);
    EXPECT_EQ(view.sets, 0);
    EXPECT_EQ(view.restores, 0);
    line.ShowAlertWithPrefix(999, "Port 1");
    EXPECT_EQ(view.text, "Port 1");
    line.ShowRememberedId(136);
    EXPECT_EQ(line.RememberedText(), "Shutdown - Please Wait");
    line.ShowText("Can't Exit: 2 Clients");
    EXPECT_EQ(line.RememberedText(), "Shutdown - Please Wait");
    EXPECT_EQ(view.restores, 1);
}

}  // namespace
}  // namespace tarvik::test
