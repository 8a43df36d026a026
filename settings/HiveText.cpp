#include "settings/HiveText.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

#include "settings/HiveStore.h"
#include "settings/HiveUnicode.h"

namespace tarvik::hive {
namespace {

constexpr std::string_view Header5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view Header4 = "REGEDIT4";
constexpr size_t WrapColumn = 76;  // where the editor breaks long hex lists

bool isSpace(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isBlankOrComment(std::string_view line) {
    const std::string_view t = trim(line);
    return t.empty() || t.front() == ';';
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameName(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What may follow a value's data on its line: blanks and an optional comment.
bool restIsEmpty(std::string_view rest) {
    rest = trim(rest);
    return rest.empty() || rest.front() == ';';
}

// The file's bytes as narrow text; nullopt when they cannot be text at all.
std::optional<std::string> decodeFile(const std::string& bytes, std::string& error) {
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t n = bytes.size();
    std::string text;
    if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] != 0 && b[1] == 0))) {
        const size_t skip = (b[0] == 0xFF && b[1] == 0xFE) ? 2 : 0;
        if ((n - skip) % 2 != 0) {
            error = "UTF-16 text with an odd number of bytes (truncated)";
            return std::nullopt;
        }
        wideToNarrow(b + skip, n - skip, text);
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

std::vector<std::string_view> splitLines(std::string_view text) {
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
std::optional<size_t> parseQuoted(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"') return i + 1;
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
        out += s[i];
    }
    return std::nullopt;
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

bool parseHexList(std::string_view list, std::vector<uint8_t>& out) {
    list = trim(list);
    if (list.empty()) return true;
    if (list.back() == ',') list.remove_suffix(1);  // a trailing comma is harmless
    for (size_t start = 0;;) {
        const size_t end = list.find(',', start);
        const std::string_view token = trim(list.substr(start, end == std::string_view::npos ? end : end - start));
        if (token.empty() || token.size() > 2) return false;
        int value = 0;
        for (char c : token) {
            const int d = hexDigit(c);
            if (d < 0) return false;
            value = value * 16 + d;
        }
        out.push_back(static_cast<uint8_t>(value));
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool isStringType(uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The data after "name"=, hex continuations already joined.
bool parseData(std::string_view data, bool wideStrings, HiveValue& value, bool& isDeletion) {
    isDeletion = false;
    if (!data.empty() && data.front() == '"') {
        std::string text;
        const auto used = parseQuoted(data, text);
        if (!used || !restIsEmpty(data.substr(*used))) return false;
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (!data.empty() && data.front() == '-') {
        isDeletion = true;
        return restIsEmpty(data.substr(1));
    }
    if (startsWithNoCase(data, "dword:")) {
        data.remove_prefix(6);
        uint32_t number = 0;
        size_t digits = 0;
        while (digits < data.size() && hexDigit(data[digits]) >= 0) {
            number = number * 16 + static_cast<uint32_t>(hexDigit(data[digits]));
            ++digits;
        }
        if (digits == 0 || digits > 8 || !restIsEmpty(data.substr(digits))) return false;
        value.type = REG_DWORD;
        value.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                      static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    if (!startsWithNoCase(data, "hex")) return false;
    data.remove_prefix(3);
    value.type = REG_BINARY;
    if (!data.empty() && data.front() == '(') {
        const size_t close = data.find(')');
        if (close == std::string_view::npos || close == 1 || close > 9) return false;
        uint32_t type = 0;
        for (char c : data.substr(1, close - 1)) {
            if (hexDigit(c) < 0) return false;
            type = type * 16 + static_cast<uint32_t>(hexDigit(c));
        }
        value.type = type;
        data.remove_prefix(close + 1);
    }
    if (data.empty() || data.front() != ':') return false;
    data.remove_prefix(1);
    const size_t comment = data.find(';');
    if (comment != std::string_view::npos) data = data.substr(0, comment);
    std::vector<uint8_t> bytes;
    if (!parseHexList(data, bytes)) return false;
    if (isStringType(value.type) && wideStrings) {
        std::string narrow;
        if (wideToNarrow(bytes.data(), bytes.size(), narrow)) {
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
class Parser {
public:
    explicit Parser(HiveDocument& doc) : m_doc(doc) {}

    void run(const std::vector<std::string_view>& lines) {
        for (m_lineNo = 0; m_lineNo < lines.size(); ++m_lineNo) {
            const size_t first = m_lineNo;
            if (!line(lines, lines[m_lineNo])) m_doc.skipped.push_back({first + 1, m_why});
        }
    }

private:
    bool fail(const char* what) {
        m_why = what;
        return false;
    }

    void keepLine(std::string_view line) {
        if (m_current) {
            HiveEntry entry;
            entry.line = std::string(line);
            m_doc.keys[*m_current].entries.push_back(std::move(entry));
        } else if (!m_skipping) {
            m_doc.preamble.emplace_back(line);
        }
    }

    bool line(const std::vector<std::string_view>& lines, std::string_view line) {
        const std::string_view t = trim(line);
        if (sameName(t, Header5) || sameName(t, Header4)) {
            // Only a header before any key or value sets the format; a later one (two exports
            // joined, or a stray line) is skipped, so nothing already read changes meaning.
            if (!m_formatFixed) m_doc.wideStrings = sameName(t, Header5);
            m_formatFixed = true;
            return true;
        }
        if (isBlankOrComment(line)) {
            keepLine(line);
            return true;
        }
        if (t.front() != '[' && t.front() != '"' && t.front() != '@') return fail("neither a key nor a value");
        m_formatFixed = true;
        if (t.front() == '[') return keyLine(t);
        return valueLine(lines, t);
    }

    bool keyLine(std::string_view t) {
        if (t.back() != ']' || t.size() < 3) {
            // What follows belongs to a key nobody can name: none of it may land in another key.
            m_current.reset();
            m_skipping = true;
            m_badKey = true;
            return fail("a key without its closing bracket");
        }
        m_badKey = false;
        const std::string_view path = t.substr(1, t.size() - 2);
        if (path.front() == '-') {
            m_doc.deleteKey(path.substr(1));
            m_current.reset();
            m_skipping = true;
            return true;
        }
        const HiveKey& key = m_doc.addKey(path);
        m_current = static_cast<size_t>(&key - m_doc.keys.data());
        m_skipping = false;
        return true;
    }

    bool valueLine(const std::vector<std::string_view>& lines, std::string_view t) {
        std::string name;
        size_t used = 1;
        if (t.front() == '"') {
            const auto quoted = parseQuoted(t, name);
            if (!quoted) return fail("a value name without its closing quote");
            used = *quoted;
        }
        std::string_view rest = trim(t.substr(used));
        if (rest.empty() || rest.front() != '=') return fail("a value name without '='");
        std::string data(trim(rest.substr(1)));
        while (!data.empty() && data.back() == '\\' && startsWithNoCase(data, "hex")) {
            data.pop_back();
            if (++m_lineNo >= lines.size()) return fail("a hex list continued past the end of the file");
            data += trim(lines[m_lineNo]);
        }
        HiveValue value;
        bool deletion = false;
        if (!parseData(data, m_doc.wideStrings, value, deletion)) return fail("value data that cannot be read");
        if (m_badKey) return fail("a value under a key line that cannot be read");
        if (m_skipping) return true;
        if (!m_current) return fail("a value before any key");
        HiveKey& key = m_doc.keys[*m_current];
        if (deletion) {
            HiveDocument::deleteValue(key, name);
        } else {
            HiveDocument::setValue(key, name, std::move(value));
        }
        return true;
    }

    HiveDocument& m_doc;
    const char* m_why = "";
    size_t m_lineNo = 0;
    std::optional<size_t> m_current;
    bool m_skipping = false;  // inside a deleted key's section, or one whose key line is broken
    bool m_badKey = false;
    bool m_formatFixed = false;
};

bool fitsInQuotes(const HiveValue& value) {
    if (value.type != REG_SZ || value.verbatimWide || value.data.empty() || value.data.back() != 0) return false;
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
    }
    return isValidUtf8(text);
}

std::string formatValue(const HiveEntry& entry, bool wideStrings) {
    std::string line = entry.name.empty() ? "@=" : quote(entry.name) + "=";
    const HiveValue& v = entry.value;
    if (fitsInQuotes(v)) {
        return line + quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
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
    if (isStringType(v.type) && wideStrings && !v.verbatimWide) {
        bytes = narrowToWide(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size()));
    }
    size_t column = line.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        line += buf;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            ++column;
            if (column >= WrapColumn) {
                line += "\\\n  ";
                column = 2;
            }
        }
    }
    return line;
}

}  // namespace

bool parseHiveText(const std::string& bytes, HiveDocument& doc, std::string& error) {
    const auto text = decodeFile(bytes, error);
    if (!text) return false;
    Parser(doc).run(splitLines(*text));
    return true;
}

std::string formatHiveText(const HiveDocument& doc) {
    std::string out(doc.wideStrings ? Header5 : Header4);
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
            out += formatValue(entry, doc.wideStrings) + "\n";
            afterData = true;
        }
    }
    return out;
}

bool isStorableName(const std::string& text) {
    return text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

}  // namespace tarvik::hive
