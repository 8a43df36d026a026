#pragma once
// Readable names for the key bytes of the instrument's keyboard line, both ways.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// "'a'" for a printable character, a symbolic name ("CR", "F1", "S-UP", "C-A"), or an empty
// text when the byte has no meaning of its own on the keyboard line.
std::string keyByteName(uint8_t byte);

// One key word of the control language: a single character ("a", "%"), a symbolic name in any
// letter case ("esc", "F12", "s-f1"), or a number ("0x1b", "27").
std::optional<uint8_t> parseKeyWord(std::string_view word);

// A decimal or 0x-prefixed hexadecimal number without sign, at most 2^31 - 1.
std::optional<long> parseNumber(std::string_view text);

// "0x1b": two lower-case hex digits.
std::string hexByte(uint8_t byte);

}  // namespace tarvik
