#pragma once
// The hives as files: one .reg text file per hive, opened, locked, read (and for a write
// replaced) and closed again on every call, so other processes' changes are always seen and a
// crash never leaves half a file.
#include <cstdint>
#include <memory>
#include <string>

#include "settings/HiveStore.h"

namespace tarvik::hive {
class HiveDocument;
struct HiveFileContents;
}  // namespace tarvik::hive

namespace tarvik {

class FileHiveStore : public HiveStore {
public:
    FileHiveStore();
    ~FileHiveStore() override;
    FileHiveStore(const FileHiveStore&) = delete;
    FileHiveStore& operator=(const FileHiveStore&) = delete;

    uint32_t openKey(uint32_t hive, const std::string& keyPath) override;
    uint32_t queryValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t* type,
                        uint8_t* data, uint32_t* size) override;
    uint32_t createKey(uint32_t hive, const std::string& keyPath) override;
    uint32_t setValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                      const uint8_t* data, uint32_t size) override;
    std::string lastErrorDetail() const override { return m_detail; }
    bool lastErrorRepeated() const override { return m_repeated; }
    std::string lastNotice() const override { return m_notice; }

private:
    // Forgets what the previous call had to say.
    void begin();
    // Reads the hive under a shared lock; a missing file is an empty hive.
    uint32_t load(uint32_t hive, hive::HiveDocument& doc);
    // Reads the hive under an exclusive lock, lets `change` edit it and writes it back when
    // `change` says it changed something.
    template <typename Change>
    uint32_t modify(uint32_t hive, Change change);
    // Parses a file just read into `doc` (whose root names the hive); false with the reason when
    // it is no hive. Bytes parsed before are not parsed again.
    bool parse(const std::string& path, const hive::HiveFileContents& file, hive::HiveDocument& doc, std::string& why);
    // A file that could not be parsed: set it aside and say where it went.
    uint32_t unreadable(const std::string& path, const hive::HiveFileContents& file, const std::string& why,
                        bool locked);
    // `code` as a failure of the file at `path`, noting whether this process has met it before.
    uint32_t failed(const std::string& path, uint32_t code);
    // Tells of the lines `doc` skipped, the first time this version of the file is read.
    void noteSkipped(const std::string& path, const hive::HiveFileContents& file, const hive::HiveDocument& doc,
                     const std::string& keptAs);

    std::string m_detail;
    std::string m_notice;
    bool m_repeated = false;
    bool m_writingShared = false;  // the call changes the machine's hive
    // The last file of each hive that was parsed, and what it gave.
    struct Parsed;
    std::unique_ptr<Parsed> m_parsed[2];
};

}  // namespace tarvik
