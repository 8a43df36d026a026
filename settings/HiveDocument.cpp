#include "settings/HiveDocument.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tarvik::hive {
namespace {

char upperCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upperCase(c);
    return out;
}

// Root names as people write them, and the full names they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> Roots{{
    {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER"},
    {"HKCU", "HKEY_CURRENT_USER"},
    {"HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE"},
    {"HKLM", "HKEY_LOCAL_MACHINE"},
    {"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
    {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKEY_USERS", "HKEY_USERS"},
    {"HKU", "HKEY_USERS"},
    {"HKEY_CURRENT_CONFIG", "HKEY_CURRENT_CONFIG"},
    {"HKCC", "HKEY_CURRENT_CONFIG"},
}};

// The path's names without the empty ones that doubled, leading or trailing separators leave.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The full root name `first` stands for, or empty when it names no root.
std::string_view fullRoot(std::string_view first) {
    for (const auto& [alias, full] : Roots) {
        if (sameName(first, alias)) return full;
    }
    return {};
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upperCase(a[i]) != upperCase(b[i])) return false;
    }
    return true;
}

// Reading and writing use this one form, so a rewritten file reads back as the same keys: were
// the written form to compare other than the path it came from, two sections that one read
// kept apart would merge on the next, and a rewrite would never settle.
std::string HiveDocument::writtenPath(std::string_view path) const {
    const std::vector<std::string_view> parts = components(path);
    const bool rooted = !parts.empty() && (!fullRoot(parts.front()).empty() || sameName(parts.front(), m_root));
    std::string out = rooted ? std::string() : m_root;
    for (const std::string_view part : parts) {
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

std::string HiveDocument::canonicalPath(std::string_view path) const {
    const std::string written = writtenPath(path);
    const size_t firstEnd = std::min(written.find('\\'), written.size());
    const std::string_view full = fullRoot(std::string_view(written).substr(0, firstEnd));
    return upperAscii(full) + upperAscii(std::string_view(written).substr(full.empty() ? 0 : firstEnd));
}

bool HiveDocument::keyExists(std::string_view path) const {
    const std::string want = canonicalPath(path);
    for (const auto& key : keys) {
        const std::string have = canonicalPath(key.path);
        if (have == want) return true;
        if (have.size() > want.size() && have.compare(0, want.size(), want) == 0 && have[want.size()] == '\\') {
            return true;
        }
    }
    return false;
}

HiveKey* HiveDocument::findKey(std::string_view path) {
    const std::string want = canonicalPath(path);
    for (auto& key : keys) {
        if (canonicalPath(key.path) == want) return &key;
    }
    return nullptr;
}

const HiveKey* HiveDocument::findKey(std::string_view path) const {
    return const_cast<HiveDocument*>(this)->findKey(path);
}

HiveKey& HiveDocument::addKey(std::string_view path, bool* added) {
    HiveKey* found = findKey(path);
    if (added) *added = (found == nullptr);
    if (found) return *found;
    // A path with no root is written with the hive's full root name, as an export would show it.
    keys.push_back(HiveKey{writtenPath(path), {}});
    return keys.back();
}

void HiveDocument::deleteKey(std::string_view path) {
    const std::string gone = canonicalPath(path);
    std::erase_if(keys, [&](const HiveKey& key) {
        const std::string have = canonicalPath(key.path);
        return have == gone ||
               (have.size() > gone.size() && have.compare(0, gone.size(), gone) == 0 && have[gone.size()] == '\\');
    });
}

const HiveValue* HiveDocument::findValue(const HiveKey& key, std::string_view name) {
    for (const auto& entry : key.entries) {
        if (entry.isValue && sameName(entry.name, name)) return &entry.value;
    }
    return nullptr;
}

void HiveDocument::setValue(HiveKey& key, std::string_view name, HiveValue value) {
    for (auto& entry : key.entries) {
        if (entry.isValue && sameName(entry.name, name)) {
            entry.value = std::move(value);
            return;
        }
    }
    // New values go after the key's last value, ahead of any blank lines that close the section.
    size_t at = key.entries.size();
    while (at > 0 && !key.entries[at - 1].isValue &&
           key.entries[at - 1].line.find_first_not_of(" \t") == std::string::npos) {
        --at;
    }
    HiveEntry entry;
    entry.isValue = true;
    entry.name = std::string(name);
    entry.value = std::move(value);
    key.entries.insert(key.entries.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

void HiveDocument::deleteValue(HiveKey& key, std::string_view name) {
    std::erase_if(key.entries, [&](const HiveEntry& entry) { return entry.isValue && sameName(entry.name, name); });
}

}  // namespace tarvik::hive
