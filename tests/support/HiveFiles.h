#pragma once
// Hive files as bytes on disk: read, write, and the UTF-16LE form the registry editor exports.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "settings/HiveUnicode.h"

namespace tarvik::test {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// `utf8` as the registry editor saves it: byte-order mark, then UTF-16LE.
inline std::string Utf16File(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (uint8_t b : hive::narrowToWide(utf8)) out += static_cast<char>(b);
    return out;
}

}  // namespace tarvik::test
