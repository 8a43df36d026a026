#include "settings/HiveUnicode.h"

#include <algorithm>

namespace tarvik::hive {
namespace {

void putUnit(std::vector<uint8_t>& out, uint32_t unit) {
    out.push_back(static_cast<uint8_t>(unit & 0xFF));
    out.push_back(static_cast<uint8_t>(unit >> 8));
}

void putUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Length of the valid UTF-8 sequence at `s[i]` and its code point; 0 when the byte starts none.
size_t decodeUtf8(std::string_view s, size_t i, uint32_t& cp) {
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[i + k]); };
    const uint8_t lead = b(0);
    size_t len = 0;
    uint32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        const size_t len = decodeUtf8(text, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::vector<uint8_t> narrowToWide(std::string_view narrow) {
    std::vector<uint8_t> out;
    out.reserve(narrow.size() * 2);
    for (size_t i = 0; i < narrow.size();) {
        uint32_t cp = 0;
        const size_t len = decodeUtf8(narrow, i, cp);
        if (len == 0) {
            putUnit(out, 0xDC00 | static_cast<uint8_t>(narrow[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            putUnit(out, 0xD800 | (cp >> 10));
            putUnit(out, 0xDC00 | (cp & 0x3FF));
        } else {
            putUnit(out, cp);
        }
        i += len;
    }
    return out;
}

bool wideToNarrow(const uint8_t* wide, size_t size, std::string& narrow) {
    narrow.clear();
    const size_t units = size / 2;
    const auto unit = [&](size_t k) { return static_cast<uint32_t>(wide[2 * k] | (wide[2 * k + 1] << 8)); };
    for (size_t k = 0; k < units; ++k) {
        const uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            putUtf8(narrow, 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00));
            ++k;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            narrow += static_cast<char>(u & 0xFF);
        } else {
            putUtf8(narrow, u);  // a stray surrogate lands here as a generic three-byte form
        }
    }
    if (size % 2 != 0) return false;
    const std::vector<uint8_t> back = narrowToWide(narrow);
    return back.size() == size && std::equal(back.begin(), back.end(), wide);
}

}  // namespace tarvik::hive
