#include <gtest/gtest.h>

#include "serial/DisplayLine.h"
#include "tests/support/LineRecorders.h"

namespace tarvik::test {
namespace {

TEST(DisplayLineTest, AlertsRestoreTheWindowAndAreNotRemembered) {
    FakeDisplayView view;
    DisplayLine line(view);
    line.showRemembered("Organ");
    EXPECT_EQ(view.restores, 0);
    line.showAlertWithPrefix(107, "Port 3");
    EXPECT_EQ(view.text, "Comms Error: Port 3");
    EXPECT_EQ(view.restores, 1);
    EXPECT_EQ(line.rememberedText(), "Organ");
    line.restoreRemembered();
    EXPECT_EQ(view.text, "Organ");
    const int sets = view.sets;
    line.restoreRemembered();
    EXPECT_EQ(view.sets, sets) << "nothing to restore";

    // Codes are lower-case hex with at least two digits; the text is never a format.
    for (auto [code, shown] :
         {std::pair{997u, "COM Error: 3e5"}, {5u, "COM Error: 05"}, {0x80070057u, "COM Error: 80070057"}}) {
        line.showAlertWithCode("COM Error", code);
        EXPECT_EQ(view.text, shown);
    }
    line.showAlertWithCode("100% %s", 5);
    EXPECT_EQ(view.text, "100% %s: 05");
}

TEST(DisplayLineTest, MissingStringsShowNothingOrOnlyTheText) {
    FakeDisplayView view;
    DisplayLine line(view);
    line.showRememberedId(999);
    line.showAlertId(999);
    EXPECT_EQ(view.sets + view.restores, 0);
    line.showAlertWithPrefix(999, "Port 1");
    EXPECT_EQ(view.text, "Port 1");
}

}  // namespace
}  // namespace tarvik::test
