// The hive file format: what the registry editor and people write, and what we write back.
#include <gtest/gtest.h>

#include "settings/HiveStore.h"
#include "settings/HiveText.h"
#include "tests/support/HiveFiles.h"

namespace tarvik::hive {
namespace {

const std::string kKey = "Software\\Ondrix Series III\\Tarvik";

std::vector<uint8_t> bytes(std::string_view s) { return {s.begin(), s.end()}; }

const HiveValue& Value(const HiveDocument& doc, const std::string& key, const std::string& name) {
    const HiveKey* k = doc.findKey(key);
    if (!k) throw std::runtime_error("no key " + key);
    const HiveValue* v = HiveDocument::findValue(*k, name);
    if (!v) throw std::runtime_error("no value " + name);
    return *v;
}

HiveDocument parse(const std::string& text) {
    HiveDocument doc("HKEY_CURRENT_USER");
    std::string error;
    if (!parseHiveText(text, doc, error)) throw std::runtime_error(error);
    return doc;
}

TEST(HiveTextTest, ReadsARegistryEditorExportInUtf16) {
    const std::string exported =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; exported settings\r\n"
        "[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\r\n"
        "\"Main Pos x\"=dword:0000012c\r\n"
        "\"Name1\"=\"Sav\\\"e\\\\d\"\r\n"
        "@=\"default\"\r\n"
        "\"Macro1\"=hex(1):78,00,63,00,20,00,4d,00,61,00,73,00,74,00,65,00,72,00,20,00,41,\\\r\n"
        "  00,20,00,31,00\r\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"Caf\xC3\xA9\"=hex(2):63,00,61,00,66,00,e9,00,00,00\r\n\r\n";
    const HiveDocument doc = parse(test::Utf16File(exported));
    EXPECT_TRUE(doc.wideStrings);
    EXPECT_EQ(Value(doc, kKey, "main pos X").data, (std::vector<uint8_t>{0x2c, 0x01, 0, 0}));
    EXPECT_EQ(Value(doc, kKey, "Name1").data, bytes(std::string("Sav\"e\\d\0", 8)));
    EXPECT_EQ(Value(doc, kKey, "").data, bytes(std::string("default\0", 8)));
    EXPECT_EQ(Value(doc, kKey, "Macro1").type, REG_SZ);
    EXPECT_EQ(Value(doc, kKey, "Macro1").data, bytes("xc Master A 1"));
    EXPECT_EQ(Value(doc, kKey, "Big").type, REG_QWORD);
    EXPECT_EQ(Value(doc, kKey, "Big").data.size(), 8u);
    EXPECT_EQ(Value(doc, kKey, "CAF\xC3\xA9").data, bytes(std::string("caf\xC3\xA9\0", 6)));
}

TEST(HiveTextTest, ReadsWhatAPersonTypes) {
    const std::string typed =
        "\xEF\xBB\xBF"  // some editors add a byte-order mark
        "; my settings\n"
        "[HKCU\\software\\ondrix series iii\\tarvik]\n"
        "  \"Mouse Speed\" = DWORD:32   ; faster\n"
        "\"Macro2\"=\"sys\"\n"
        "[Software\\Other]\n"
        "\"Raw\"=hex:01, 2,ff,\n";
    const HiveDocument doc = parse(typed);
    EXPECT_EQ(Value(doc, kKey, "Mouse Speed").data, (std::vector<uint8_t>{0x32, 0, 0, 0}));
    EXPECT_EQ(Value(doc, kKey, "Macro2").data, bytes(std::string("sys\0", 4)));
    EXPECT_EQ(Value(doc, "Software\\Other", "Raw").data, (std::vector<uint8_t>{1, 2, 0xff}));
    EXPECT_TRUE(doc.keyExists("Software"));
    EXPECT_TRUE(doc.keyExists("software\\ONDRIX SERIES III"));
    EXPECT_FALSE(doc.keyExists("Software\\Ondrix"));
    EXPECT_TRUE(parse("\r\n  \n").keys.empty()) << "blank lines are an empty hive, not a broken one";

    const HiveDocument old = parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n\"E\"=hex(2):25,41,25,00\n");
    EXPECT_FALSE(old.wideStrings);  // string data in a REGEDIT4 file is narrow
    EXPECT_EQ(Value(old, "X", "E").data, bytes(std::string("%A%\0", 4)));
}

TEST(HiveTextTest, SkipsTheLinesItCannotReadAndTakesEveryOtherValue) {
    const std::string text =
        "Windows Registry Editor Version 5.00\n"  // 1
        "\"Orphan\"=dword:00000001\n"             // 2  before any key
        "[HKEY_CURRENT_USER\\X]\n"                // 3
        "\"A\"=dword:1\n"                         // 4
        "\"Nine\"=dword:123456789\n"              // 5  too many digits
        "\"Open\"=\"unfinished\n"                 // 6
        "\"Hex\"=hex:1g\n"                        // 7
        "stray words\n"                           // 8
        "\"Tail\"=\"x\" trailing\n"               // 9
        "\"E\"=hex:01,02,\\\n"                    // 10
        "  03\n"                                  // 11
        "[HKEY_CURRENT_USER\\Broken\n"            // 12 no closing bracket
        "\"Lost\"=dword:2\n"                      // 13 under it: belongs nowhere
        "; a comment\n"                           // 14
        "[HKEY_CURRENT_USER\\Y]\n"                // 15
        "\"F\"=dword:3\n"                         // 16
        "\"Cut\"=hex:01,\\\n";                    // 17 continued past the end
    const HiveDocument doc = parse(text);
    std::vector<size_t> lines;
    for (const SkippedLine& skipped : doc.skipped) {
        lines.push_back(skipped.line);
        EXPECT_FALSE(skipped.why.empty());
    }
    EXPECT_EQ(lines, (std::vector<size_t>{2, 5, 6, 7, 8, 9, 12, 13, 17}));
    EXPECT_EQ(Value(doc, "X", "A").data, (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(Value(doc, "X", "E").data, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Value(doc, "Y", "F").data, (std::vector<uint8_t>{3, 0, 0, 0}));
    EXPECT_EQ(HiveDocument::findValue(*doc.findKey("X"), "Lost"), nullptr);
    EXPECT_FALSE(doc.keyExists("Broken"));
}

TEST(HiveTextTest, WritesBackEveryValueExactlyAndKeepsComments) {
    HiveDocument doc = parse(
        "Windows Registry Editor Version 5.00\n\n; keep me\n[HKEY_CURRENT_USER\\Software\\Ondrix Series III\\Tarvik]\n"
        "; and me\n\"Name1\"=\"Save\"\n\n");
    HiveKey& key = *doc.findKey(kKey);
    const std::vector<std::pair<std::string, HiveValue>> values = {
        {"Macro1", {REG_SZ, bytes("xc Master A 1"), false}},         // no terminator
        {"Macro5", {REG_SZ, {}, false}},                             // empty
        {"Latin1", {REG_SZ, bytes("caf\xE9 \xED\xB2\x80"), false}},  // not UTF-8
        {"Lines", {REG_SZ, bytes("a\nb\"c\\"), false}},
        {"Quote\"d\\", {REG_DWORD, {1, 2, 3, 4}, false}},
        {"Short", {REG_DWORD, {7, 0}, false}},
        {"Multi", {REG_MULTI_SZ, bytes(std::string("a\0b\0\0", 5)), false}},
        {"Long", {REG_BINARY, std::vector<uint8_t>(300, 0xAB), false}},
        {"Qword", {REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, false}},  // types from 10 on are
        {"Foreign", {0x2A, {9}, false}},                          // written in hex
        {"", {REG_NONE, {}, false}},
    };
    for (const auto& [name, value] : values) HiveDocument::setValue(key, name, value);
    HiveDocument::setValue(doc.addKey("Software\\New"), "N", {REG_SZ, bytes(std::string("t\0", 2)), false});

    const std::string text = formatHiveText(doc);
    EXPECT_NE(text.find("; keep me\n"), std::string::npos);
    EXPECT_NE(text.find("; and me\n\"Name1\"=\"Save\"\n\"Macro1\"=hex(1):78,00,"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Macro5\"=hex(1):\n"), std::string::npos);
    EXPECT_NE(text.find("\"Qword\"=hex(b):01,02,"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\n[HKEY_CURRENT_USER\\Software\\New]\n\"N\"=\"t\"\n"), std::string::npos) << text;

    const HiveDocument again = parse(text);
    for (const auto& [name, value] : values) {
        EXPECT_EQ(Value(again, kKey, name).type, value.type) << name;
        EXPECT_EQ(Value(again, kKey, name).data, value.data) << name;
    }

    // A lone high surrogate and an odd byte count cannot be narrow text; they are kept as they were.
    const std::string odd = "\"Odd\"=hex(1):41,00,42\n\"Lone\"=hex(1):00,d8,41,00\n";
    const HiveDocument kept = parse("Windows Registry Editor Version 5.00\n\n[X]\n" + odd);
    EXPECT_TRUE(Value(kept, "X", "Odd").verbatimWide);
    EXPECT_NE(formatHiveText(kept).find(odd), std::string::npos);
}

// Key lines spelled with doubled, leading or trailing separators are one key with the plain
// spelling: the first rewrite settles, and the value of the later section wins from the first read.
TEST(HiveTextTest, ARewriteOfOddlySpelledKeysIsAFixedPoint) {
    const HiveDocument doc = parse(
        "REGEDIT4\n[\\\\\\HKEY_USERS]\n\"V\"=\"first\"\n\"A\"=dword:1\n"
        "[Software\\\\X\\]\n\"V\"=\"x\"\n"
        "[\\\\\\hkey_users\\]\n\"V\"=\"second\"\n"
        "[\\\\Software\\X]\n\"W\"=\"w\"\n");
    const std::string once = formatHiveText(doc);
    EXPECT_EQ(once,
              "REGEDIT4\n\n[HKEY_USERS]\n\"V\"=\"second\"\n\"A\"=dword:00000001\n\n"
              "[HKEY_CURRENT_USER\\Software\\X]\n\"V\"=\"x\"\n\"W\"=\"w\"\n");
    EXPECT_EQ(formatHiveText(parse(once)), once);

    // What the fuzzer found: two such key lines among broken ones.
    const std::string found =
        "REGE\xb8IT4\n\n[HKEYT!rvi{]\n\"Display\xe1 PorWinn\n\"M\xbdhe01\xb4\n[\\\\\\HKEY_USERS]\nRREE\r\n"
        "\"07,08\xb4\n[\\\\\\HKEY_USERS]\nRREE6,0MVrtersio\nn 5.00";
    const std::string written = formatHiveText(parse(found));
    EXPECT_EQ(formatHiveText(parse(written)), written);
}

// A header line after keys or values does not change how they were read: a string in a hex list
// read as UTF-16 would otherwise be written under a REGEDIT4 header and read back as other bytes.
TEST(HiveTextTest, AHeaderAfterValuesDoesNotChangeTheFormat) {
    const HiveDocument doc = parse("[HKEY_CURRENT_USER\\K]\n\"S\"=hex(1):00\nREGEDIT4\n");
    EXPECT_TRUE(doc.wideStrings);
    const std::string once = formatHiveText(doc);
    EXPECT_EQ(once.substr(0, once.find('\n')), "Windows Registry Editor Version 5.00");
    EXPECT_EQ(formatHiveText(parse(once)), once);
}

}  // namespace
}  // namespace tarvik::hive
