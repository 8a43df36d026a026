#include "platform/hive/HiveDocument.h"

#include <array>
#include <utility>

namespace tarvik::hive {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = Upper(c);
    return out;
}

// Root names as people write them, and the full names they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kRoots{{
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

bool HasRoot(std::string_view path) {
    const std::string first = UpperAscii(path.substr(0, path.find('\\')));
    for (const auto& entry : kRoots) {
        if (first == entry.first) return true;
    }
    return false;
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

std::string CHiveDocument::CanonicalPath(std::string_view path) const {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(UpperAscii(path.substr(start, end - start)));
        start = end + 1;
    }
    std::string out;
    bool rooted = false;
    if (!parts.empty()) {
        for (const auto& [alias, full] : kRoots) {
            if (parts.front() == alias) {
                parts.front() = std::string(full);
                rooted = true;
                break;
            }
        }
    }
    if (!rooted) out = UpperAscii(root_);
    for (const auto& part : parts) {
        if (!out.empty()) out += '\\';
        out += part;
    }
    return out;
}

bool CHiveDocument::KeyExists(std::string_view path) const {
    const std::string want = CanonicalPath(path);
    for (const auto& key : keys) {
        const std::string have = CanonicalPath(key.path);
        if (have == want) return true;
        if (have.size() > want.size() && have.compare(0, want.size(), want) == 0 && have[want.size()] == '\\') {
            return true;
        }
    }
    return false;
}

HiveKey* CHiveDocument::FindKey(std::string_view path) {
    const std::string want = CanonicalPath(path);
    for (auto& key : keys) {
        if (CanonicalPath(key.path) == want) return &key;
    }
    return nullptr;
}

const HiveKey* CHiveDocument::FindKey(std::string_view path) const {
    return const_cast<CHiveDocument*>(this)->FindKey(path);
}

HiveKey& CHiveDocument::AddKey(std::string_view path, bool* added) {
    HiveKey* found = FindKey(path);
    if (added) *added = (found == nullptr);
    if (found) return *found;
    // Written with the full root name, as an export would show it.
    std::string written(path);
    if (!HasRoot(path)) written = root_ + "\\" + written;
    while (!written.empty() && written.back() == '\\') written.pop_back();
    keys.push_back(HiveKey{written, {}});
    return keys.back();
}

void CHiveDocument::DeleteKey(std::string_view path) {
    const std::string gone = CanonicalPath(path);
    std::erase_if(keys, [&](const HiveKey& key) {
        const std::string have = CanonicalPath(key.path);
        return have == gone ||
               (have.size() > gone.size() && have.compare(0, gone.size(), gone) == 0 && have[gone.size()] == '\\');
    });
}

const HiveValue* CHiveDocument::FindValue(const HiveKey& key, std::string_view name) {
    for (const auto& entry : key.entries) {
        if (entry.isValue && SameName(entry.name, name)) return &entry.value;
    }
    return nullptr;
}

void CHiveDocument::SetValue(HiveKey& key, std::string_view name, HiveValue value) {
    for (auto& entry : key.entries) {
        if (entry.isValue && SameName(entry.name, name)) {
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

void CHiveDocument::DeleteValue(HiveKey& key, std::string_view name) {
    std::erase_if(key.entries, [&](const HiveEntry& entry) { return entry.isValue && SameName(entry.name, name); });
}

}  // namespace tarvik::hive
