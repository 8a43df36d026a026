#include "serial/KeyNames.h"

#include <array>
#include <cctype>
#include <charconv>

namespace tarvik {
namespace {

struct NamedByte {
    std::string_view name;
    uint8_t byte;
};

// The first entry for a byte is the name shown; the later ones are accepted as input only.
constexpr std::array Names{
    NamedByte{"NUL", 0x00},  NamedByte{"TAB", 0x09},    NamedByte{"FF", 0x0C},      NamedByte{"CLEAR", 0x0C},
    NamedByte{"DEL", 0x0C},  NamedByte{"CR", 0x0D},     NamedByte{"RETURN", 0x0D},  NamedByte{"ENTER", 0x0D},
    NamedByte{"PGUP", 0x0E}, NamedByte{"PGDN", 0x0F},   NamedByte{"HOME", 0x18},    NamedByte{"INS", 0x19},
    NamedByte{"ESC", 0x1B},  NamedByte{"UP", 0x1C},     NamedByte{"DOWN", 0x1D},    NamedByte{"RIGHT", 0x1E},
    NamedByte{"LEFT", 0x1F}, NamedByte{"SPACE", 0x20},  NamedByte{"BS", 0x7F},      NamedByte{"S-CLEAR", 0xCC},
    NamedByte{"C-UP", 0xD4}, NamedByte{"C-DOWN", 0xD5}, NamedByte{"C-RIGHT", 0xD6}, NamedByte{"C-LEFT", 0xD7},
    NamedByte{"S-UP", 0xDC}, NamedByte{"S-DOWN", 0xDD}, NamedByte{"S-RIGHT", 0xDE}, NamedByte{"S-LEFT", 0xDF},
};

// Function keys: F1 to F15 alone, with Shift and with Ctrl.
constexpr std::array<std::pair<std::string_view, uint8_t>, 3> FunctionRows{{{"F", 0x80}, {"S-F", 0x90}, {"C-F", 0xA0}}};

std::string upperCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::optional<uint8_t> parseFunctionKey(const std::string& word) {
    for (const auto& [prefix, base] : FunctionRows) {
        if (word.size() <= prefix.size() || word.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view digits(word.data() + prefix.size(), word.size() - prefix.size());
        if (digits.size() > 2 || !std::isdigit(static_cast<unsigned char>(digits[0]))) continue;
        auto n = parseNumber(digits);
        if (n && *n >= 1 && *n <= 15) return static_cast<uint8_t>(base + *n);
    }
    return std::nullopt;
}

}  // namespace

std::string hexByte(uint8_t byte) {
    static constexpr char Digits[] = "0123456789abcdef";
    return {'0', 'x', Digits[byte >> 4], Digits[byte & 0x0F]};
}

std::optional<long> parseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10) return std::nullopt;
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > 0x7FFFFFFF) return std::nullopt;
    return value;
}

std::string keyByteName(uint8_t byte) {
    for (const auto& entry : Names)
        if (entry.byte == byte) return std::string(entry.name);
    if (byte > 0x20 && byte < 0x7F) return std::string{'\'', static_cast<char>(byte), '\''};
    if (byte >= 0x01 && byte <= 0x1A) return std::string{'C', '-', static_cast<char>('A' + byte - 1)};
    for (auto it = FunctionRows.rbegin(); it != FunctionRows.rend(); ++it)
        if (byte > it->second && byte <= it->second + 15)
            return std::string(it->first) + std::to_string(byte - it->second);
    return {};
}

std::optional<uint8_t> parseKeyWord(std::string_view word) {
    if (word.size() == 1) return static_cast<uint8_t>(word[0]);
    if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
        auto n = parseNumber(word);
        if (n && *n <= 0xFF) return static_cast<uint8_t>(*n);
        return std::nullopt;
    }
    if (!word.empty() && std::isdigit(static_cast<unsigned char>(word[0]))) {
        auto n = parseNumber(word);
        if (n && *n <= 0xFF) return static_cast<uint8_t>(*n);
        return std::nullopt;
    }
    const std::string upper = upperCase(word);
    for (const auto& entry : Names)
        if (entry.name == upper) return entry.byte;
    if (auto fn = parseFunctionKey(upper)) return fn;
    if (upper.size() == 3 && upper[0] == 'C' && upper[1] == '-' && upper[2] >= 'A' && upper[2] <= 'Z')
        return static_cast<uint8_t>(upper[2] - 'A' + 1);
    return std::nullopt;
}

}  // namespace tarvik
