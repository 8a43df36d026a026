#include "common/CodePage.h"

#include <array>
#include <cstdint>

namespace tarvik {
namespace {

constexpr char NoByte = '?';

// The characters of bytes 0x80-0x9F. The five bytes the code page leaves unassigned carry the
// control characters of the same number, as Windows converts them both ways.
constexpr std::array<char32_t, 32> CharactersOf80To9F{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The UTF-8 sequence at `s[i]`: its length and character, or 0 when no well-formed sequence starts
// there. Encoded surrogates are accepted here (as a character with no byte) so that one becomes a
// single '?' rather than three stray bytes.
size_t decodeUtf8(std::string_view s, size_t i, char32_t& c) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(k) & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF) return 0;
    return length;
}

}  // namespace

char toAnsiByte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t b = 0; b < CharactersOf80To9F.size(); ++b) {
        if (CharactersOf80To9F[b] == c) return static_cast<char>(0x80 + b);
    }
    return NoByte;
}

std::string toAnsiBytes(std::u32string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char32_t c : text) bytes += toAnsiByte(c);
    return bytes;
}

std::string fromAnsiBytes(std::string_view bytes) {
    std::string utf8;
    utf8.reserve(bytes.size() * 2);
    for (char byte : bytes) {
        const auto b = static_cast<uint8_t>(byte);
        const char32_t c = b >= 0x80 && b < 0xA0 ? CharactersOf80To9F[b - 0x80] : b;
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::string toAnsiBytes(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const size_t length = decodeUtf8(utf8, i, c);
        if (length == 0) {
            bytes += utf8[i];
            ++i;
            continue;
        }
        bytes += toAnsiByte(c);
        i += length;
    }
    return bytes;
}

}  // namespace tarvik
