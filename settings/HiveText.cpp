#include "settings/HiveText.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "settings/HiveStore.h"
#include "settings/HiveUnicode.h"

namespace tarvik::hive {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr size_t kWrapColumn = 76;  // where the editor breaks long hex lists

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool IsBlankOrComment(std::string_view line) {
    const std::string_view t = Trim(line);
    return t.empty() || t.front() == ';';
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameName(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What may follow a value's data on its line: blanks and an optional comment.
bool RestIsEmpty(std::string_view rest) {
    rest = Trim(rest);
    return rest.empty() || rest.front() == ';';
}

// The file's bytes as narrow text; nullopt when they cannot be text at all.
std::optional<std::string> DecodeFile(const std::string& bytes, std::string& error) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    std::string text;
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] != 0 && b[1] == 0))) {
        const size_t skip = (b[0] == 0xFF && b[1] == 0xFE) ? 2 : 0;
        if ((n - skip) % 2 != 0) {
            error = "UTF-16 text with an odd number of bytes (truncated)";
            return std::nullopt;
        }
        WideToNarrow(b + skip, n - skip, text);
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    if (text.find('\0') != std::string::npos) {
        error = "binary data (a zero byte) in the text";
        return std::nullopt;
    }
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// A quoted text starting at s[0] == '"', with the escapes \\ and \". Returns the length consumed.
std::optional<size_t> ParseQuoted(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"') return i + 1;
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
        out += s[i];
    }
    return std::nullopt;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool ParseHexList(std::string_view list, std::vector<uint8_t>& out) {
    list = Trim(list);
    if (list.empty()) return true;
    if (list.back() == ',') list.remove_suffix(1);  // a trailing comma is harmless
    for (size_t start = 0;;) {
        const size_t end = list.find(',', start);
        const std::string_view token = Trim(list.substr(start, end == std::string_view::npos ? end : end - start));
        if (token.empty() || token.size() > 2) return false;
        int value = 0;
        for (char c : token) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        out.push_back(static_cast<uint8_t>(value));
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool IsStringType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The data after "name"=, hex continuations already joined.
bool ParseData(std::string_view data, bool wideStrings, HiveValue& value, bool& isDeletion) {
    isDeletion = false;
    if (!data.empty() && data.front() == '"') {
        std::string text;
        const auto used = ParseQuoted(data, text);
        if (!used || !RestIsEmpty(data.substr(*used))) return false;
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (!data.empty() && data.front() == '-') {
        isDeletion = true;
        return RestIsEmpty(data.substr(1));
    }
    if (StartsWithNoCase(data, "dword:")) {
        data.remove_prefix(6);
        uint32_t number = 0;
        size_t digits = 0;
        while (digits < data.size() && HexDigit(data[digits]) >= 0) {
            number = number * 16 + static_cast<uint32_t>(HexDigit(data[digits]));
            ++digits;
        }
        if (digits == 0 || digits > 8 || !RestIsEmpty(data.substr(digits))) return false;
        value.type = REG_DWORD;
        value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                      static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    if (!StartsWithNoCase(data, "hex")) return false;
    data.remove_prefix(3);
    value.type = REG_BINARY;
    if (!data.empty() && data.front() == '(') {
        const size_t close = data.find(')');
        if (close == std::string_view::npos || close == 1 || close > 9) return false;
        uint32_t type = 0;
        for (char c : data.substr(1, close - 1)) {
            if (HexDigit(c) < 0) return false;
            type = type * 16 + static_cast<uint32_t>(HexDigit(c));
        }
        value.type = type;
        data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':') return false;
    data.remove_prefix(1);
    const size_t comment = data.find(';');
    if (comment != std::string_view::npos) data = data.substr(0, comment);
    std::vector<uint8_t> bytes;
    if (!ParseHexList(data, bytes)) return false;
    if (IsStringType(value.type) && wideStrings) {
        std::string narrow;
        if (WideToNarrow(bytes.data(), bytes.size(), narrow)) {
            value.data.assign(narrow.begin(), narrow.end());
        } else {
            value.data = std::move(bytes);
            value.verbatimWide = true;
        }
    } else {
        value.data = std::move(bytes);
    }
    return true;
}

// Reads as the registry editor imports: a line that cannot be read is skipped and noted, and
// everything else is taken.
class CParser {
public:
    explicit CParser(CHiveDocument& doc) : doc_(doc) {}

    void Run(const std::vector<std::string_view>& lines) {
        for (lineNo_ = 0; lineNo_ < lines.size(); ++lineNo_) {
            const size_t first = lineNo_;
            if (!Line(lines, lines[lineNo_])) doc_.skipped.push_back({first + 1, why_});
        }
    }

private:
    bool Fail(const char* what) {
        why_ = what;
        return false;
    }

    void KeepLine(std::string_view line) {
        if (current_) {
            HiveEntry entry;
            entry.line = std::string(line);
            doc_.keys[*current_].entries.push_back(std::move(entry));
        } else if (!skipping_) {
            doc_.preamble.emplace_back(line);
        }
    }

    bool Line(const std::vector<std::string_view>& lines, std::string_view line) {
        const std::string_view t = Trim(line);
        if (SameName(t, kHeader5) || SameName(t, kHeader4)) {
            // Only a header before any key or value sets the format; a later one (two exports
            // joined, or a stray line) is skipped, so nothing already read changes meaning.
            if (!formatFixed_) doc_.wideStrings = SameName(t, kHeader5);
            formatFixed_ = true;
            return true;
        }
        if (IsBlankOrComment(line)) {
            KeepLine(line);
            return true;
        }
        if (t.front() != '[' && t.front() != '"' && t.front() != '@') return Fail("neither a key nor a value");
        formatFixed_ = true;
        if (t.front() == '[') return KeyLine(t);
        return ValueLine(lines, t);
    }

    bool KeyLine(std::string_view t) {
        if (t.back() != ']' || t.size() < 3) {
            // What follows belongs to a key nobody can name: none of it may land in another key.
            current_.reset();
            skipping_ = true;
            badKey_ = true;
            return Fail("a key without its closing bracket");
        }
        badKey_ = false;
        const std::string_view path = t.substr(1, t.size() - 2);
        if (path.front() == '-') {
            doc_.DeleteKey(path.substr(1));
            current_.reset();
            skipping_ = true;
            return true;
        }
        const HiveKey& key = doc_.AddKey(path);
        current_ = static_cast<size_t>(&key - doc_.keys.data());
        skipping_ = false;
        return true;
    }

    bool ValueLine(const std::vector<std::string_view>& lines, std::string_view t) {
        std::string name;
        size_t used = 1;
        if (t.front() == '"') {
            const auto quoted = ParseQuoted(t, name);
            if (!quoted) return Fail("a value name without its closing quote");
            used = *quoted;
        }
        std::string_view rest = Trim(t.substr(used));
        if (rest.empty() || rest.front() != '=') return Fail("a value name without '='");
        std::string data(Trim(rest.substr(1)));
        while (!data.empty() && data.back() == '\\' && StartsWithNoCase(data, "hex")) {
            data.pop_back();
            if (++lineNo_ >= lines.size()) return Fail("a hex list continued past the end of the file");
            data += Trim(lines[lineNo_]);
        }
        HiveValue value;
        bool deletion = false;
        if (!ParseData(data, doc_.wideStrings, value, deletion)) return Fail("value data that cannot be read");
        if (badKey_) return Fail("a value under a key line that cannot be read");
        if (skipping_) return true;
        if (!current_) return Fail("a value before any key");
        HiveKey& key = doc_.keys[*current_];
        if (deletion) {
            CHiveDocument::DeleteValue(key, name);
        } else {
            CHiveDocument::SetValue(key, name, std::move(value));
        }
        return true;
    }

    CHiveDocument& doc_;
    const char* why_ = "";
    size_t lineNo_ = 0;
    std::optional<size_t> current_;
    bool skipping_ = false;  // inside a deleted key's section, or one whose key line is broken
    bool badKey_ = false;
    bool formatFixed_ = false;
};

bool FitsInQuotes(const HiveValue& value) {
    if (value.type != REG_SZ || value.verbatimWide || value.data.empty() || value.data.back() != 0) return false;
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return IsValidUtf8(text);
}

std::string FormatValue(const HiveEntry& entry, bool wideStrings) {
    std::string line = entry.name.empty() ? "@=" : Quote(entry.name) + "=";
    const HiveValue& v = entry.value;
    if (FitsInQuotes(v)) {
        return line + Quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
    }
    char buf[32];
    if (v.type == REG_DWORD && v.data.size() == 4) {
        const uint32_t n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return line + buf;
    }
    if (v.type == REG_BINARY) {
        line += "hex:";
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    std::vector<uint8_t> bytes = v.data;
    if (IsStringType(v.type) && wideStrings && !v.verbatimWide) {
        bytes = NarrowToWide(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
    }
    size_t column = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        line += buf;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            ++column;
            if (column >= kWrapColumn) {
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

}  // namespace

bool ParseHiveText(const std::string& bytes, CHiveDocument& doc, std::string& error) {
    const auto text = DecodeFile(bytes, error);
    if (!text) return false;
    CParser(doc).Run(SplitLines(*text));
    return true;
}

std::string FormatHiveText(const CHiveDocument& doc) {
    std::string out(doc.wideStrings ? kHeader5 : kHeader4);
    out += '\n';
    // A blank line goes between a key and what came before it, unless a person already put
    // one there or wrote a comment that introduces the key.
    bool afterData = true;
    const auto keep = [&](const std::string& line) {
        out += line + "\n";
        afterData = false;
    };
    for (const auto& line : doc.preamble) keep(line);
    for (const auto& key : doc.keys) {
        if (afterData) out += '\n';
        out += "[" + key.path + "]\n";
        afterData = true;
        for (const auto& entry : key.entries) {
            if (!entry.isValue) {
                keep(entry.line);
                continue;
            }
            out += FormatValue(entry, doc.wideStrings) + "\n";
            afterData = true;
        }
    }
    return out;
}

bool IsStorableName(const std::string& text) {
    return text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

}  // namespace tarvik::hive
