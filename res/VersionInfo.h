#pragma once
// The version data carried inside the executable, in its section ".tarvik_version" (readable with
// `readelf -p .tarvik_version`): "Name=value" texts, among them FileVersion, ProductVersion,
// FileDescription, CompanyName and LegalCopyright.
#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace tarvik {

const char* fileVersion();      // "1.1.2.0"
const char* fileDescription();  // "Tarvik"

// The running executable's full path; empty when it cannot be told.
std::string moduleFileName();

// Reads the version data of the executable file at `path`. False, with `values` untouched, when
// the file cannot be read, is not an ELF file or carries no version data.
bool readVersionData(const std::string& path, std::map<std::string, std::string>& values);

// "1.1.2.0" as its four numbers; false unless the text is exactly four dot-separated numbers of
// 16 bits each.
bool parseVersionNumbers(const std::string& text, std::array<uint16_t, 4>& numbers);

}  // namespace tarvik
