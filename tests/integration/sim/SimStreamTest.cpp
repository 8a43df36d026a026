// The simulator's view of the keyboard line: decoding, key names, commands and its line language.
#include "serial/KeyNames.h"
#include "serial/WireStream.h"
#include "tools/ondrix-sim/ControlLanguage.h"
#include "tools/ondrix-sim/InstrumentCommands.h"
#include "tools/ondrix-sim/PtyLine.h"
#include "tools/ondrix-sim/Simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tarvik::sim {
namespace {

std::vector<std::string> Decode(WireDecoder& decoder, std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> data(bytes);
    std::vector<WireItem> items;
    decoder.feed(data.data(), data.size(), items);
    std::vector<std::string> lines;
    for (const auto& item : items) lines.push_back(formatWireItem(item));
    return lines;
}

TEST(SimStreamDecoder, PacketsKeysAndBrokenPackets) {
    WireDecoder d;
    EXPECT_EQ(Decode(d, {0x80, 0xF0, 0xE1, 0xE2, 0xE3, 0xE4}), std::vector<std::string>{"packet x=65 y=892 active"});
    EXPECT_EQ(Decode(d, {0x41, 0xE5}), (std::vector<std::string>{"key 0x41 'A'", "key 0xe5"}));
    // A byte below 0xE0 breaks a packet and stands as a key of its own; so does a second 0x80.
    EXPECT_EQ(Decode(d, {0x80, 0xF0, 0x41}), (std::vector<std::string>{"broken 0x80 0xf0", "key 0x41 'A'"}));
    EXPECT_EQ(Decode(d, {0x80, 0x80}), (std::vector<std::string>{"broken 0x80", "key 0x80"}));
    EXPECT_FALSE(d.hasPending());
    // Split across reads, with every flag and the bit a correct sender leaves clear.
    EXPECT_TRUE(Decode(d, {0x80, 0xFF, 0xE0}).empty());
    EXPECT_TRUE(d.hasPending());
    EXPECT_EQ(Decode(d, {0xE0, 0xFF, 0xFF}), std::vector<std::string>{"packet x=0 y=0 active button shift ctrl bit0"});
}

TEST(SimKeyNames, NamesAndWordsAgree) {
    EXPECT_EQ(keyByteName(0x9F), "S-F15");
    EXPECT_EQ(keyByteName(0xA5), "C-F5");
    EXPECT_EQ(keyByteName(0x01), "C-A");
    EXPECT_EQ(keyByteName(0xDF), "S-LEFT");
    EXPECT_EQ(keyByteName(0x90), "");
    // Every named byte parses back to itself, so a logged name can be replayed.
    for (int b = 0; b < 256; ++b) {
        const std::string name = keyByteName(static_cast<uint8_t>(b));
        if (name.empty() || name.front() == '\'') continue;
        EXPECT_EQ(parseKeyWord(name), std::optional<uint8_t>(static_cast<uint8_t>(b))) << name;
    }
    EXPECT_EQ(parseKeyWord("esc"), 0x1B);
    EXPECT_EQ(parseKeyWord("0x1b"), 0x1B);
    EXPECT_EQ(parseKeyWord("7"), '7');
    EXPECT_EQ(parseKeyWord("27"), 27);
    for (const char* bad : {"", "F0", "F16", "0x100", "256", "C-1", "ab", "0x", "F1x"})
        EXPECT_FALSE(parseKeyWord(bad)) << bad;
}

TEST(SimCommands, CollectorAndNameTable) {
    CommandLineCollector c;
    auto type = [&c](const std::string& bytes) {
        std::optional<std::string> last;
        for (char ch : bytes) last = c.onKey(static_cast<uint8_t>(ch));
        return last;
    };
    EXPECT_EQ(type("junk\x0ci1\r"), "i1");
    EXPECT_EQ(type("i2\x7f"
                   "1\x1c\r"),
              "i1");  // BS takes back, arrows are not text
    EXPECT_EQ(type(std::string(300, 'i') + "\r").value().substr(256), "...");
    EXPECT_EQ(type("\x0c"
                   "dir\r"),
              "dir");

    EXPECT_EQ(lookUpInstrumentName(" XC master a 1 "), "Master A 1");
    EXPECT_FALSE(lookUpInstrumentName("i9"));
    for (const auto& [command, name] : instrumentNameTable()) EXPECT_LE(name.size(), NameFieldLength) << command;
    for (const char* macro : {"i1", "sys", "sc", "dr", "xc Master A 1", "fx", "dir", "ic"})
        EXPECT_TRUE(lookUpInstrumentName(macro)) << macro;
}

// Mouse, byte, name and quit lines are run through the process (SimProcessTest).
TEST(SimControlLanguage, ProducesBytesAndRejectsNonsense) {
    auto bytes = [](const char* line) { return parseControlLine(line).action.bytes; };
    EXPECT_EQ(bytes("key a ESC F1 s-f2 0x00"), std::string("a\x1b\x81\x92", 4) + '\0');
    EXPECT_EQ(bytes("text  two spaces"), " two spaces");
    EXPECT_EQ(bytes("macro xc Master A 1"), "\x0cxc Master A 1\r");
    EXPECT_EQ(bytes("byte 0x80 255 0"), std::string("\x80\xff\x00", 3));
    EXPECT_EQ(parseControlLine("sleep 250\r").action.milliseconds, 250);
    EXPECT_EQ(parseControlLine("   # note").action.kind, ControlAction::Kind::Nothing);
    const ControlParse unplug = parseControlLine("unplug keyboard");
    EXPECT_EQ(unplug.action.kind, ControlAction::Kind::Unplug);
    EXPECT_TRUE(unplug.action.keyboardLine);
    EXPECT_FALSE(parseControlLine("plug display").action.keyboardLine);

    for (const char* bad : {"key", "key nosuch", "byte 256", "byte -1", "mouse 1", "mouse 1024 0", "mouse 1 1 sideways",
                            "sleep", "sleep 99999999", "quit now", "frobnicate", "unplug", "plug merge"}) {
        const ControlParse p = parseControlLine(bad);
        EXPECT_FALSE(p.ok) << bad;
        EXPECT_FALSE(p.error.empty()) << bad;
    }
}

// An unplugged line hangs up and its name goes, and until it is plugged in again no other
// pseudo-terminal can appear under that name: a program reopening the old name finds nothing
// rather than a stranger's line (tests run side by side make pseudo-terminals all the time).
TEST(SimLine, UnpluggedNameStaysFreeOfOtherLinesUntilPluggedAgain) {
    PtyLine line;
    std::string error;
    ASSERT_TRUE(line.open(error)) << error;
    const std::string oldName = line.slavePath();
    const int program = ::open(oldName.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(program, 0);
    line.unplug();
    pollfd hangUp{program, POLLIN, 0};
    ASSERT_EQ(::poll(&hangUp, 1, 0), 1);
    EXPECT_TRUE(hangUp.revents & POLLHUP);
    ::close(program);  // as the program does on a hang-up: its descriptor no longer holds the number

    PtyLine stranger;
    ASSERT_TRUE(stranger.open(error)) << error;
    EXPECT_NE(stranger.slavePath(), oldName);
    EXPECT_NE(::access(oldName.c_str(), F_OK), 0);
    ASSERT_TRUE(line.open(error)) << error;
    EXPECT_NE(line.slavePath(), oldName);
    line.releaseOldNumber();
}

TEST(SimOptions, BadCommandLinesSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--bogus"}, "unknown option --bogus"},
        {{"--bogus=1"}, "unknown option --bogus"},
        {{"--log"}, "--log needs a value"},
        {{"stray"}, "unexpected argument \"stray\""},
    };
    for (const auto& [args, expected] : cases) {
        SimOptions options;
        std::string error;
        bool help = false;
        EXPECT_FALSE(parseSimOptions(args, options, error, help)) << args[0];
        EXPECT_EQ(error, expected);
    }
    SimOptions options;
    std::string error;
    bool help = false;
    EXPECT_TRUE(parseSimOptions({"--log=x.log", "--announce", "Grand Piano"}, options, error, help)) << error;
    EXPECT_EQ(options.logFile, "x.log");
    EXPECT_EQ(options.announceName, "Grand Piano");
}

}  // namespace
}  // namespace tarvik::sim
