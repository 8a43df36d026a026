#pragma once
// The program sees text as narrow UTF-8 bytes; the "5.00" hive format keeps string data as
// UTF-16LE. These conversions are lossless for any narrow bytes: a byte that is not part of valid
// UTF-8 travels as the lone code unit 0xDC00 + byte and comes back as that byte.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::hive {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view text);

// Narrow bytes to UTF-16LE bytes.
std::vector<uint8_t> narrowToWide(std::string_view narrow);

// UTF-16LE bytes (even count) to narrow bytes. Returns false when `wide` would not come back
// unchanged through narrowToWide (odd size, stray surrogates that are no escaped byte, ...);
// `narrow` then holds a best-effort text with such units written as generic three-byte forms.
bool wideToNarrow(const uint8_t* wide, size_t size, std::string& narrow);

}  // namespace tarvik::hive
