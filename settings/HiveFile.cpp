#include "settings/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "common/Win32Codes.h"
#include "settings/ConfigFolder.h"

namespace tarvik::hive {
namespace {

// Far beyond anything the program writes; a bigger file is not a hive (or not ours).
constexpr off_t MaxHiveBytes = 16 * 1024 * 1024;
constexpr mode_t UserFileMode = 0644;
constexpr mode_t SharedFileMode = 0664;
constexpr mode_t SharedFolderMode = 02775;  // setgid: new files join the folder's group

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string dirName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The group of those who may use serial lines, or -1 when the system has none.
gid_t serialGroup() {
    struct group gr {};
    struct group* found = nullptr;
    std::vector<char> buf(16384);
    if (::getgrnam_r("dialout", &gr, buf.data(), buf.size(), &found) == 0 && found) return found->gr_gid;
    return static_cast<gid_t>(-1);
}

// Best effort, so callers may ignore the answer: a user outside the group cannot hand the file
// to it, and that is fine; the file then keeps the group it was created with.
bool tryGroup(int fd, gid_t group) { return ::fchown(fd, static_cast<uid_t>(-1), group) == 0; }

void shareWithSerialGroup(int fd, mode_t mode) {
    const gid_t group = serialGroup();
    if (group != static_cast<gid_t>(-1)) (void)tryGroup(fd, group);
    (void)::fchmod(fd, mode);
}

int makeFolder(const std::string& dir, bool shared) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    const std::string parent = dirName(dir);
    if (parent != dir) {
        if (const int err = makeFolder(parent, false); err != 0) return err;
    }
    if (::mkdir(dir.c_str(), shared ? SharedFolderMode : 0777) != 0 && errno != EEXIST) return errno;
    if (shared) {
        const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            shareWithSerialGroup(fd, SharedFolderMode);
            ::close(fd);
        }
    }
    return 0;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A writer killed between creating its temporary file and renaming it leaves the file behind.
// Only a writer holding the exclusive lock calls this, so no temporary file found here is live.
void removeStaleTemporaries(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            (void)::unlinkat(::dirfd(d), entry->d_name, 0);
        }
    }
    ::closedir(d);
}

void syncFolder(const std::string& dir) {
    // Makes the rename itself durable. Some file systems cannot sync a folder; the rename has
    // happened either way, so this is not a failure of the write.
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

// The n-th name tried for a file kept beside a hive: the stem, then "-2", "-3", ...
std::string candidateName(const std::string& stem, int n) { return n == 1 ? stem : stem + "-" + std::to_string(n); }

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return buf;
}

}  // namespace

std::string hiveFilePath(uint32_t hive) {
    if (hive == HKEY_CURRENT_USER) {
        std::string path = env("TARVIK_USER_HIVE");
        if (!path.empty()) return path;
        return userConfigFolder() + "/user.reg";
    }
    if (hive == HKEY_LOCAL_MACHINE) {
        std::string path = env("TARVIK_MACHINE_HIVE");
        return path.empty() ? std::string("/var/lib/tarvik/machine.reg") : path;
    }
    return {};
}

bool isSharedHive(uint32_t hive) { return hive == HKEY_LOCAL_MACHINE; }

std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 16; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size() - 1);
        if (n <= 0) return current;
        std::string target(buf.data(), static_cast<size_t>(n));
        current = (target.front() == '/') ? target : dirName(current) + "/" + target;
    }
    return current;
}

uint32_t codeFromErrno(int err) {
    switch (err) {
        case 0: return ERROR_SUCCESS;
        case ENOSPC:
        case EDQUOT: return ERROR_DISK_FULL;
        case EIO: return ERROR_IO_DEVICE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_ACCESS_DENIED;  // EACCES, EPERM, EROFS, ENOTDIR, ENOENT, EISDIR, ...
    }
}

HiveLock::~HiveLock() { release(); }

void HiveLock::release() {
    if (m_fd >= 0) ::close(m_fd);  // closing drops the lock
    m_fd = -1;
}

uint32_t HiveLock::acquire(const std::string& hivePath, bool exclusive, bool shared) {
    release();
    const std::string lockPath = hivePath + ".lock";
    const mode_t mode = shared ? SharedFileMode : UserFileMode;
    bool created = false;
    int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST) fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    if (fd < 0) return codeFromErrno(errno);
    if (created && shared) shareWithSerialGroup(fd, mode);
    while (::flock(fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
        if (errno != EINTR) {
            const int err = errno;
            ::close(fd);
            return codeFromErrno(err);
        }
    }
    m_fd = fd;
    return ERROR_SUCCESS;
}

uint32_t readHiveFile(const std::string& path, HiveFileContents& out) {
    out = HiveFileContents{};
    // Non-blocking, so a pipe put in the file's place cannot stall the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ERROR_SUCCESS;
        return codeFromErrno(errno);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return codeFromErrno(err);
    }
    out.exists = true;
    out.regular = S_ISREG(st.st_mode);
    out.id = FileId{st.st_dev, st.st_ino, st.st_size,
                    static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    out.mode = st.st_mode & 07777;
    out.gid = st.st_gid;
    out.tooLarge = out.regular && st.st_size > MaxHiveBytes;
    if (out.regular && !out.tooLarge) {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                const int err = errno;
                ::close(fd);
                return codeFromErrno(err);
            }
            if (n == 0) break;
            out.bytes.append(buf, static_cast<size_t>(n));
            if (out.bytes.size() > static_cast<size_t>(MaxHiveBytes)) {
                out.tooLarge = true;
                break;
            }
        }
    }
    ::close(fd);
    return ERROR_SUCCESS;
}

uint32_t ensureHiveFolder(const std::string& path, bool shared) {
    return codeFromErrno(makeFolder(dirName(path), shared));
}

uint32_t checkWritable(const std::string& path, const HiveFileContents& old) {
    if (::faccessat(AT_FDCWD, dirName(path).c_str(), W_OK | X_OK, AT_EACCESS) != 0) return codeFromErrno(errno);
    // Renaming over a file needs only the folder's permission; a file its owner made read-only
    // stays read-only for us too.
    if (old.exists && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) return codeFromErrno(errno);
    return ERROR_SUCCESS;
}

uint32_t replaceHiveFile(const std::string& path, const std::string& bytes, const HiveFileContents& old, bool shared) {
    const std::string dir = dirName(path);
    const std::string prefix = baseName(path) + ".tmp-";
    removeStaleTemporaries(dir, prefix);
    std::string temp = dir + "/" + prefix + "XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return codeFromErrno(errno);
    const auto fail = [&](int err) {
        ::unlink(temp.c_str());
        return codeFromErrno(err);
    };
    if (!writeAll(fd, bytes)) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (old.exists) {
        (void)tryGroup(fd, old.gid);  // keep the file's group if we may
        (void)::fchmod(fd, old.mode);
    } else if (shared) {
        shareWithSerialGroup(fd, SharedFileMode);
    } else {
        (void)::fchmod(fd, UserFileMode);
    }
    if (::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (::close(fd) != 0) return fail(errno);
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
    syncFolder(dir);
    return ERROR_SUCCESS;
}

uint32_t keepCopy(const std::string& path, const HiveFileContents& old, std::string& keptAs) {
    const std::string stem = path + ".bad-lines-" + timeStamp();
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = candidateName(stem, n);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, old.mode & 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return codeFromErrno(errno);
        errno = 0;
        int err = writeAll(fd, old.bytes) && ::fsync(fd) == 0 ? 0 : (errno ? errno : EIO);
        if (::close(fd) != 0 && err == 0) err = errno;
        if (err != 0) {
            ::unlink(candidate.c_str());
            return codeFromErrno(err);
        }
        keptAs = candidate;
        return ERROR_SUCCESS;
    }
    return ERROR_ACCESS_DENIED;
}

bool moveAside(const std::string& path, std::string& keptAs, int& err) {
    const std::string stem = path + ".corrupt-" + timeStamp();
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = candidateName(stem, n);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0) {
            keptAs = candidate;
            return true;
        }
        if (errno == EEXIST) continue;
        if (errno != EINVAL && errno != ENOSYS) {
            err = errno;
            return false;
        }
        // No RENAME_NOREPLACE on this file system: check first (we hold the exclusive lock).
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) == 0) continue;
        if (::rename(path.c_str(), candidate.c_str()) == 0) {
            keptAs = candidate;
            return true;
        }
        err = errno;
        return false;
    }
    err = EEXIST;
    return false;
}

}  // namespace tarvik::hive
