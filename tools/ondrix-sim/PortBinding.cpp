#include "tools/ondrix-sim/PortBinding.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarvik::sim {
namespace fs = std::filesystem;
namespace {

bool fileExists(const fs::path& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

ComLink::~ComLink() { remove(); }

bool ComLink::bind(const fs::path& dir, int number, const std::string& target, bool replace, std::string& error) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create ports folder " + dir.string() + ": " + ec.message();
        return false;
    }
    const fs::path link = dir / ("COM" + std::to_string(number));
    if (fileExists(link)) {
        if (!replace) {
            error = link.string() + " already exists; remove it or run with --force";
            return false;
        }
        fs::remove(link, ec);
    }
    fs::create_symlink(target, link, ec);
    if (ec) {
        error = "cannot create " + link.string() + ": " + ec.message();
        return false;
    }
    m_path = link;
    m_target = target;
    return true;
}

bool ComLink::repoint(const std::string& target, std::string& error) {
    std::error_code ec;
    const fs::path temp = m_path.string() + ".ondrix-sim.tmp";
    fs::remove(temp, ec);
    fs::create_symlink(target, temp, ec);
    if (!ec) fs::rename(temp, m_path, ec);
    if (ec) {
        error = "cannot point " + m_path.string() + " at " + target + ": " + ec.message();
        fs::remove(temp, ec);
        return false;
    }
    m_target = target;
    return true;
}

void ComLink::remove() {
    if (m_path.empty()) return;
    // Someone may have pointed the name elsewhere meanwhile; that link is theirs to keep.
    std::error_code ec;
    if (fs::is_symlink(m_path, ec) && fs::read_symlink(m_path, ec) == m_target && !ec) fs::remove(m_path, ec);
    m_path.clear();
}

std::string MachineHiveFile::text(int displayCom, int mergeCom) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Windows Registry Editor Version 5.00\n\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
                  "\"Display Port\"=dword:%08x\n"
                  "\"Merge Port\"=dword:%08x\n"
                  "\"Baud\"=dword:%08x\n",
                  static_cast<unsigned>(displayCom), static_cast<unsigned>(mergeCom), 9600u);
    return text;
}

MachineHiveFile::~MachineHiveFile() { remove(); }

bool MachineHiveFile::write(const fs::path& file, int displayCom, int mergeCom, bool replace, std::string& error) {
    if (fileExists(file) && !replace) {
        error = file.string() + " already exists; remove it or run with --force";
        return false;
    }
    std::error_code ec;
    if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
    // Written beside the target and renamed over it, so a reader never sees half a file.
    const fs::path temp = file.string() + ".ondrix-sim.tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && writeAll(fd, text(displayCom, mergeCom)) && ::fsync(fd) == 0;
    const int savedErrno = errno;
    if (fd >= 0) ::close(fd);
    if (!written || ::rename(temp.c_str(), file.c_str()) != 0) {
        error = "cannot write " + file.string() + ": " + std::strerror(written ? errno : savedErrno);
        fs::remove(temp, ec);
        return false;
    }
    m_path = file;
    return true;
}

void MachineHiveFile::remove() {
    if (m_path.empty()) return;
    std::error_code ec;
    fs::remove(m_path, ec);
    m_path.clear();
}

}  // namespace tarvik::sim
