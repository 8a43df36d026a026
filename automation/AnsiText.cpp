#include "automation/AnsiText.h"

#include <array>
#include <cstdint>

namespace tarvik {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; the undefined ones keep their own number.
constexpr std::array<char32_t, 32> kHighControls{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToAnsiChar(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// One code point from `text` at `pos`, advancing it; U+FFFD for a broken sequence.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos++]);
    if (lead < 0x80) return lead;
    int extra = 0;
    char32_t c = 0;
    if ((lead & 0xE0) == 0xC0) extra = 1, c = lead & 0x1F;
    else if ((lead & 0xF0) == 0xE0) extra = 2, c = lead & 0x0F;
    else if ((lead & 0xF8) == 0xF0) extra = 3, c = lead & 0x07;
    else return 0xFFFD;
    for (int i = 0; i < extra; ++i) {
        if (pos >= text.size() || (static_cast<uint8_t>(text[pos]) & 0xC0) != 0x80) return 0xFFFD;
        c = (c << 6) | (static_cast<uint8_t>(text[pos++]) & 0x3F);
    }
    return c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string ToAnsiText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) out += ToAnsiChar(NextCodePoint(utf8, pos));
    return out;
}

std::string FromAnsiText(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() * 2);
    for (char ch : ansi) {
        const auto byte = static_cast<uint8_t>(ch);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : byte);
    }
    return out;
}

}  // namespace tarvik
