#include <gtest/gtest.h>

#include <string>

#include "common/CodePage.h"

namespace tarvik {
namespace {

// Written from the published Windows-1252 chart, not from the code.
TEST(CodePage, CharactersToWindows1252Bytes) {
    struct Row {
        const char* what;
        std::u32string text;
        std::string bytes;
    };
    const Row rows[] = {
        {"ASCII and controls", U"i1 \x0c\r\x7f", "i1 \x0c\r\x7f"},
        {"Latin-1 range", U"\u00e9t\u00e9 \u00a0\u00ff\u00d7", "\xe9t\xe9 \xa0\xff\xd7"},
        {"0x80-0x9F", U"\u20ac\u201a\u0192\u2026\u0160\u0152\u017d\u2018\u201d\u2122\u0161\u0153\u017e\u0178\u2019",
         "\x80\x82\x83\x85\x8a\x8c\x8e\x91\x94\x99\x9a\x9c\x9e\x9f\x92"},
        {"the five unassigned bytes keep their controls", U"\u0081\u008d\u008f\u0090\u009d", "\x81\x8d\x8f\x90\x9d"},
        {"no byte: no look-alike either", U"\u0080\u009f\u0100x\u4e2d\U0001F600", "???x??"},
    };
    for (const Row& row : rows) { EXPECT_EQ(toAnsiBytes(std::u32string_view(row.text)), row.bytes) << row.what; }
}

TEST(CodePage, Utf8TextAsTheSettingsHoldIt) {
    struct Row {
        const char* what;
        std::string utf8;
        std::string bytes;
    };
    const Row rows[] = {
        {"two-byte", "caf\xc3\xa9", "caf\xe9"},
        {"three-byte", "\xe2\x82\xac 5", "\x80 5"},
        {"four-byte", "a\xf0\x9f\x98\x80z", "a?z"},
        {"zero byte kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"a byte of a file saved in the code page", "caf\xe9!", "caf\xe9!"},
        {"cut short at the end", "ab\xc3", "ab\xc3"},
        {"encoded surrogate is one unknown character", "x\xed\xa0\x80y", "x?y"},
    };
    for (const Row& row : rows) { EXPECT_EQ(toAnsiBytes(std::string_view(row.utf8)), row.bytes) << row.what; }
}

TEST(CodePage, BytesFromTheInstrumentReadBackAsTheSameText) {
    // Every byte survives the way to UTF-8 and back, the unassigned ones included.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(toAnsiBytes(std::string_view(fromAnsiBytes(all))), all);
    EXPECT_EQ(fromAnsiBytes("Caf\xe9 \x80\x81"), "Caf\xc3\xa9 \xe2\x82\xac\xc2\x81");
}

}  // namespace
}  // namespace tarvik
