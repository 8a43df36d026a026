#pragma once
// The hives as files: one .reg text file per hive, opened, locked, read (and for a write
// replaced) and closed again on every call, so other processes' changes are always seen and a
// crash never leaves half a file.
#include <cstdint>
#include <memory>
#include <string>

#include "settings/HiveStore.h"

namespace tarvik::hive {
class CHiveDocument;
struct HiveFileContents;
}  // namespace tarvik::hive

namespace tarvik {

class CFileHiveStore : public IHiveStore {
public:
    CFileHiveStore();
    ~CFileHiveStore() override;
    CFileHiveStore(const CFileHiveStore&) = delete;
    CFileHiveStore& operator=(const CFileHiveStore&) = delete;

    uint32_t OpenKey(uint32_t hive, const std::string& keyPath) override;
    uint32_t QueryValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t* type,
                        uint8_t* data, uint32_t* size) override;
    uint32_t CreateKey(uint32_t hive, const std::string& keyPath) override;
    uint32_t SetValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                      const uint8_t* data, uint32_t size) override;
    std::string LastErrorDetail() const override { return detail_; }
    bool LastErrorRepeated() const override { return repeated_; }
    std::string LastNotice() const override { return notice_; }

private:
    // Forgets what the previous call had to say.
    void Begin();
    // Reads the hive under a shared lock; a missing file is an empty hive.
    uint32_t Load(uint32_t hive, hive::CHiveDocument& doc);
    // Reads the hive under an exclusive lock, lets `change` edit it and writes it back when
    // `change` says it changed something.
    template <typename Change>
    uint32_t Modify(uint32_t hive, Change change);
    // Parses a file just read into `doc` (whose root names the hive); false with the reason when
    // it is no hive. Bytes parsed before are not parsed again.
    bool Parse(const std::string& path, const hive::HiveFileContents& file, hive::CHiveDocument& doc, std::string& why);
    // A file that could not be parsed: set it aside and say where it went.
    uint32_t Unreadable(const std::string& path, const hive::HiveFileContents& file, const std::string& why,
                        bool locked);
    // `code` as a failure of the file at `path`, noting whether this process has met it before.
    uint32_t Failed(const std::string& path, uint32_t code);
    // Tells of the lines `doc` skipped, the first time this version of the file is read.
    void NoteSkipped(const std::string& path, const hive::HiveFileContents& file, const hive::CHiveDocument& doc,
                     const std::string& keptAs);

    std::string detail_;
    std::string notice_;
    bool repeated_ = false;
    bool writingShared_ = false;  // the call changes the machine's hive
    // The last file of each hive that was parsed, and what it gave.
    struct Parsed;
    std::unique_ptr<Parsed> parsed_[2];
};

}  // namespace tarvik
