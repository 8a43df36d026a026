// The version data read back from an executable file: this test program carries the same section
// as Tarvik; damaged files are read without harm and leave the values untouched.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "app/VersionInfo.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(VersionInfo, TheExecutableCarriesItsVersionData) {
    std::map<std::string, std::string> values;
    ASSERT_TRUE(ReadVersionData(ModuleFileName(), values));
    EXPECT_EQ(values["FileVersion"], "1.1.2.0");
    EXPECT_EQ(values["ProductVersion"], "1.1.2.0");
    EXPECT_EQ(values["FileDescription"], "Tarvik");
    EXPECT_FALSE(values["CompanyName"].empty());
    EXPECT_FALSE(values["LegalCopyright"].empty());
}

TEST(VersionInfo, DamagedFilesAreReadWithoutHarm) {
    TestSandbox sandbox;
    const std::string image = ReadAll(ModuleFileName());
    ASSERT_GT(image.size(), sizeof(Elf64_Ehdr));
    Elf64_Ehdr header{};
    std::memcpy(&header, image.data(), sizeof header);
    const auto withHeader = [&](auto change) {
        Elf64_Ehdr changed = header;
        change(changed);
        std::string copy = image;
        std::memcpy(copy.data(), &changed, sizeof changed);
        return copy;
    };
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"text", "FileVersion=9.9.9.9\n"},
        {"header only", image.substr(0, sizeof(Elf64_Ehdr))},
        {"cut short", image.substr(0, image.size() / 2)},
        {"sections far past the end", withHeader([](Elf64_Ehdr& h) { h.e_shoff = ~0ull >> 4; })},
        {"name table out of range", withHeader([](Elf64_Ehdr& h) { h.e_shstrndx = h.e_shnum; })},
        {"odd section entry size", withHeader([](Elf64_Ehdr& h) { h.e_shentsize = 12; })},
        {"many sections", withHeader([](Elf64_Ehdr& h) { h.e_shnum = 0xFFFF; })},
    };
    for (const auto& [name, bytes] : cases) {
        const std::string path = sandbox.Dir().string() + "/file";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        std::map<std::string, std::string> values{{"kept", "yes"}};
        EXPECT_FALSE(ReadVersionData(path, values)) << name;
        EXPECT_EQ(values, (std::map<std::string, std::string>{{"kept", "yes"}})) << name;
    }
}

TEST(VersionInfo, VersionNumbersAreExactlyFourOf16Bits) {
    const std::pair<const char*, bool> cases[] = {
        {"1.1.2.0", true}, {"65535.0.0.1", true}, {"1.1.2", false}, {"1.1.2.0.5", false}, {"65536.0.0.0", false},
        {"1..2.0", false}, {"1.1.2.0.", false},   {"", false},      {"1.1.2.x", false},
    };
    for (const auto& [text, valid] : cases) {
        std::array<uint16_t, 4> numbers{7, 7, 7, 7};
        EXPECT_EQ(ParseVersionNumbers(text, numbers), valid) << text;
        if (!valid) { EXPECT_EQ(numbers, (std::array<uint16_t, 4>{7, 7, 7, 7})) << text; }
    }
    std::array<uint16_t, 4> numbers{};
    ASSERT_TRUE(ParseVersionNumbers("1.1.2.0", numbers));
    EXPECT_EQ(numbers, (std::array<uint16_t, 4>{1, 1, 2, 0}));
}

}  // namespace
}  // namespace tarvik::test
