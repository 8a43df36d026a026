#pragma once
// One hive file's contents in memory: its keys in file order, each with its values and with the
// comment and blank lines a person put between them, so rewriting a hand-edited file keeps them.
// Key paths and value names compare as the registry compares them: without regard to case.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvik::hive {

struct HiveValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;  // the bytes the program sees (string types as narrow UTF-8)
    // String data kept exactly as the file had it (UTF-16LE) because it does not convert cleanly.
    bool verbatimWide = false;
};

struct HiveEntry {
    bool isValue = false;
    std::string line;  // a comment or blank line, when !isValue
    std::string name;  // value name ("" is the default value "@")
    HiveValue value;
};

struct HiveKey {
    std::string path;  // as HiveDocument::writtenPath gives it ("HKEY_CURRENT_USER\Software\...")
    std::vector<HiveEntry> entries;
};

// A line of the file that could not be read (1-based), and why.
struct SkippedLine {
    size_t line;
    std::string why;
};

class HiveDocument {
public:
    // `root` is the hive's root name; keys written without a known root belong to it.
    explicit HiveDocument(std::string root) : m_root(std::move(root)) {}

    bool wideStrings = true;            // "5.00" format: string data in hex() lists is UTF-16LE
    std::vector<std::string> preamble;  // comment and blank lines before the first key
    std::vector<HiveKey> keys;
    std::vector<SkippedLine> skipped;  // not written back: a rewrite leaves them out

    const std::string& root() const { return m_root; }

    // `path` is relative to the root ("Software\Ondrix Series III\Tarvik") unless it starts with
    // a root name. A key exists when it is listed or when a listed key lies below it.
    bool keyExists(std::string_view path) const;
    HiveKey* findKey(std::string_view path);
    const HiveKey* findKey(std::string_view path) const;
    // The key, added at the end when missing. Returns true in `added` when it was new.
    HiveKey& addKey(std::string_view path, bool* added = nullptr);
    // Removes the key and everything below it.
    void deleteKey(std::string_view path);

    static const HiveValue* findValue(const HiveKey& key, std::string_view name);
    static void setValue(HiveKey& key, std::string_view name, HiveValue value);
    static void deleteValue(HiveKey& key, std::string_view name);

    // A key path as it is kept and written: single separators, none at either end, and the
    // hive's root in front when the path names none; names keep the case they were given.
    std::string writtenPath(std::string_view path) const;
    // The comparable form of a key path: writtenPath's, upper case, with the full root name.
    std::string canonicalPath(std::string_view path) const;

private:
    std::string m_root;
};

bool sameName(std::string_view a, std::string_view b);

}  // namespace tarvik::hive
