#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/DisplayProtocol.h"
#include "tests/support/LineRecorders.h"

namespace tarvik {
namespace {

using test::bytes;

class DisplayParserTest : public ::testing::Test {
protected:
    void feed(const std::string& bytes) {
        parser.parse(bytes, [this](const std::string& name) { reports.push_back(name); });
    }
    DisplayParser parser;
    std::vector<std::string> reports;
};

TEST_F(DisplayParserTest, ByteByByteFeedsGiveTheSameResult) {
    const std::string stream =
        "xx\rInstrument 7\x0c"
        "abc\rSynth Bass 2!\r" +
        bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0B, 0x80, 0xFF});
    for (char c : stream) feed(std::string(1, c));
    // Twelve bytes with nothing printable among them are an empty name.
    EXPECT_EQ(reports, (std::vector<std::string>{"Instrument 7", "Synth Bass 2", ""}));
    EXPECT_LE(parser.nameText().size(), 12u);
}

TEST(LastReportedNameTest, FiresThenShowsThenKeepsOnlyChangedNames) {
    LastReportedName last;
    std::vector<std::string> events;
    auto fire = [&](const std::string& n) { events.push_back("fire " + n); };
    auto show = [&](const std::string& n) { events.push_back("show " + n); };

    EXPECT_FALSE(last.report("", fire, show));  // an empty first name changes nothing
    EXPECT_TRUE(last.report("Piano", fire, show));
    EXPECT_FALSE(last.report("Piano", fire, show));
    EXPECT_TRUE(last.report("piano", fire, show));  // case counts
    EXPECT_TRUE(last.report("piano", nullptr, show) == false);
    EXPECT_TRUE(last.report("Organ", nullptr, show));  // no clients: shown all the same
    EXPECT_EQ(events, (std::vector<std::string>{"fire Piano", "show Piano", "fire piano", "show piano", "show Organ"}));
    EXPECT_EQ(last.last(), "Organ");
}

}  // namespace
}  // namespace tarvik
