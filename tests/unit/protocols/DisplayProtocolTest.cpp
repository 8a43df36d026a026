#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayProtocol.h"
#include "RecordingPorts.h"

namespace tarvik {
namespace {

using test::Bytes;

class DisplayParserTest : public ::testing::Test {
protected:
    void Feed(const std::string& bytes) {
        parser.Parse(bytes, [this](const std::string& name) { reports.push_back(name); });
    }
    CDisplayParser parser;
    std::vector<std::string> reports;
};

TEST_F(DisplayParserTest, ReportsTwelveBytesOnlyWhenTheTwelfthArrives) {
    Feed("junk before\r" + std::string("Piano 1    "));
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(parser.NameCount(), 11);
    Feed("Xtrailing");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Piano 1    X");
    EXPECT_FALSE(parser.NameCounting());
}

TEST_F(DisplayParserTest, FieldCutShortIsDiscarded) {
    Feed("\x0c" "abcde" "\r" "Second field");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Second field");
}

TEST_F(DisplayParserTest, NonPrintableAndHighBytesCountButAreNotShown) {
    Feed(Bytes({0x0D, 0x01, 0x80, 0xFF, 0x7F}) + "abcdefgh");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "abcdefgh");

    Feed(Bytes({0x0D, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0x0B, 0x0E, 0x1F}));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1], "");
}

TEST_F(DisplayParserTest, ByteByByteFeedsGiveTheSameResult) {
    const std::string stream = "xx\rInstrument 7\x0c" "abc\rSynth Bass 2!";
    for (char c : stream) Feed(std::string(1, c));
    EXPECT_EQ(reports, (std::vector<std::string>{"Instrument 7", "Synth Bass 2"}));
    EXPECT_LE(parser.NameText().size(), 12u);
}

TEST(LastReportedNameTest, FiresThenShowsThenKeepsOnlyChangedNames) {
    CLastReportedName last;
    std::vector<std::string> events;
    auto fire = [&](const std::string& n) { events.push_back("fire " + n); };
    auto show = [&](const std::string& n) { events.push_back("show " + n); };

    EXPECT_FALSE(last.Report("", fire, show));  // an empty first name changes nothing
    EXPECT_TRUE(last.Report("Piano", fire, show));
    EXPECT_FALSE(last.Report("Piano", fire, show));
    EXPECT_TRUE(last.Report("piano", fire, show));  // case counts
    EXPECT_TRUE(last.Report("piano", nullptr, show) == false);
    EXPECT_TRUE(last.Report("Organ", nullptr, show));  // no clients: shown all the same
    EXPECT_EQ(events, (std::vector<std::string>{"fire Piano", "show Piano", "fire piano",
                                                "show piano", "show Organ"}));
    EXPECT_EQ(last.Last(), "Organ");
}

}  // namespace
}  // namespace tarvik
