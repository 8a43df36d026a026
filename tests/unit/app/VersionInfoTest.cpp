// The version data read back from an executable file (the About box test reads a sound one):
// damaged files are read without harm and leave the values untouched.
#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "res/VersionInfo.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(VersionInfo, DamagedFilesAreReadWithoutHarm) {
    TestSandbox sandbox;
    const std::string image = ReadAll(moduleFileName());
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
        EXPECT_FALSE(readVersionData(path, values)) << name;
        EXPECT_EQ(values, (std::map<std::string, std::string>{{"kept", "yes"}})) << name;
    }
}

}  // namespace
}  // namespace tarvik::test
