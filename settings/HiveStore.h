#pragma once
// The settings hives as the access layer sees them: the few registry calls it makes, with their
// error numbers. Every call stands alone (opens, locks, reads, writes, closes), so a "key handle"
// is nothing more than the hive and the key path passed again on each call.
#include <cstdint>
#include <string>

namespace tarvik {

// Value types, by their registry numbers; stored files carry them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

class HiveStore {
public:
    virtual ~HiveStore() = default;

    // 0 when the key exists, 2 when it (or the whole hive) does not.
    virtual uint32_t openKey(uint32_t hive, const std::string& keyPath) = 0;

    // As RegQueryValueEx: with `data` null only the size is returned. With a buffer, *size is its
    // capacity on entry and the data's size on return; a buffer that is too small gives 234 (the
    // buffer is left untouched, *size still says how much is needed). `type` may be null.
    virtual uint32_t queryValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t* type,
                                uint8_t* data, uint32_t* size) = 0;

    // Opens the key for writing, creating it and its parents when missing. 5 when the hive cannot
    // be written.
    virtual uint32_t createKey(uint32_t hive, const std::string& keyPath) = 0;

    // Stores one value with its exact bytes (creating the key if it vanished since createKey).
    virtual uint32_t setValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                              const uint8_t* data, uint32_t size) = 0;

    // More about the last call's failure, for the person who must act on it; empty when there is
    // nothing to add. It names the file, after 1009 says where the unreadable file was kept, and
    // after 5 from the machine's hive how to make it writable.
    virtual std::string lastErrorDetail() const = 0;

    // Whether the last call failed as this process has already seen the same file fail (same
    // code): that was reported the first time and need not be again.
    virtual bool lastErrorRepeated() const = 0;

    // What the user should hear once about a file although the last call worked (lines that
    // could not be read were skipped): the file, the lines, where its copy is. Empty otherwise.
    virtual std::string lastNotice() const = 0;
};

}  // namespace tarvik
