#pragma once
// The hive files on disk: where they are, their sidecar locks, reading them, replacing them
// atomically and putting an unreadable one aside. Error results are Win32 numbers.
#include <sys/types.h>
#include <compare>
#include <cstdint>
#include <string>

namespace tarvik::hive {

// The file that holds `hive` (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE); empty for any other.
std::string hiveFilePath(uint32_t hive);

// The local machine's hive is shared by everyone allowed to use the serial lines.
bool isSharedHive(uint32_t hive);

// Follows symbolic links, so that replacing the file keeps a link a person made.
std::string resolveLinks(const std::string& path);

uint32_t codeFromErrno(int err);

// flock on "<hive>.lock": the data file itself is replaced by rename, so it cannot carry the lock.
class HiveLock {
public:
    HiveLock() = default;
    ~HiveLock();
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    // Creates the lock file when needed and waits for the lock. 0 or the reason it failed.
    uint32_t acquire(const std::string& hivePath, bool exclusive, bool shared);
    void release();
    bool held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    int64_t mtimeNs = 0;
    auto operator<=>(const FileId&) const = default;
};

struct HiveFileContents {
    bool exists = false;
    bool regular = true;  // false for a folder, device or pipe in the file's place
    bool tooLarge = false;
    std::string bytes;
    FileId id;
    mode_t mode = 0;
    gid_t gid = 0;
};

// 0 whether or not the file exists (see `exists`), else why it could not be read.
uint32_t readHiveFile(const std::string& path, HiveFileContents& out);

// Creates the file's folder (and its parents) when missing.
uint32_t ensureHiveFolder(const std::string& path, bool shared);

// 0 when the file (if present) and its folder may be written by this process.
uint32_t checkWritable(const std::string& path, const HiveFileContents& old);

// Writes `bytes` to a temporary file beside `path`, flushes it and renames it over `path`, so
// readers and a crash see either the old file or the new one, never a mixture.
uint32_t replaceHiveFile(const std::string& path, const std::string& bytes, const HiveFileContents& old, bool shared);

// Writes the bytes `old` was read with to "<path>.bad-lines-YYYYMMDD-HHMMSS" (made unique; never
// replaces another file), with the file's mode. 0 or why it could not.
uint32_t keepCopy(const std::string& path, const HiveFileContents& old, std::string& keptAs);

// Renames an unreadable file to "<path>.corrupt-YYYYMMDD-HHMMSS" (made unique); never replaces
// another file. False with errno-style `err` when it could not be moved.
bool moveAside(const std::string& path, std::string& keptAs, int& err);

}  // namespace tarvik::hive
