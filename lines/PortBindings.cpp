#include "lines/PortBindings.h"

#include <fcntl.h>
#include <glob.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "common/Win32Codes.h"
#include "lines/PortsFolder.h"

namespace tarvik::comm {
namespace fs = std::filesystem;
namespace {

// ttyUSB2 before ttyUSB10.
bool naturalLess(const std::string& a, const std::string& b) { return ::strverscmp(a.c_str(), b.c_str()) < 0; }

std::vector<std::string> globPaths(const std::string& pattern) {
    std::vector<std::string> found;
    glob_t result{};
    if (::glob(pattern.c_str(), 0, nullptr, &result) == 0) {
        for (size_t i = 0; i < result.gl_pathc; ++i) found.emplace_back(result.gl_pathv[i]);
    }
    ::globfree(&result);
    std::sort(found.begin(), found.end(), naturalLess);
    return found;
}

}  // namespace

std::string deviceGroup(const std::string& device) {
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) return "dialout";
    struct group entry {};
    struct group* found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr) return "dialout";
    return found->gr_name;
}

std::vector<std::string> defaultDevicePatterns() { return {"/dev/serial/by-id/*", "/dev/ttyUSB*", "/dev/ttyACM*"}; }

std::vector<std::string> FolderPortBindings::listDevices() {
    std::vector<std::string> devices;
    for (const std::string& pattern : m_patterns) {
        for (std::string& device : globPaths(pattern)) {
            if (std::find(devices.begin(), devices.end(), device) == devices.end())
                devices.push_back(std::move(device));
        }
    }
    return devices;
}

std::map<uint32_t, PortBinding> FolderPortBindings::readBindings() {
    std::map<uint32_t, PortBinding> bindings;
    const fs::path folder = portsFolder();
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const uint32_t number = parsePortName(name);
        // Only the exact name is ever opened, so only it counts ("com3" names nothing).
        if (number == 0 || number > HighestPortNumber || name != "COM" + std::to_string(number)) continue;
        PortBinding binding;
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        binding.target = linkError ? it->path().string() : target.string();
        // A network address (it has a scheme) names no file: whether it answers is for the line to
        // find out when it connects.
        binding.present = binding.target.find("://") != std::string::npos || fs::exists(it->path(), linkError);
        bindings[number] = binding;
    }
    return bindings;
}

uint32_t FolderPortBindings::checkDevice(const std::string& device) {
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) return win32FromErrno(errno);
    if (!S_ISCHR(info.st_mode)) return ERROR_NOT_SUPPORTED;
    // With the effective ids, as an open would be judged; the device itself is not opened, since
    // opening a serial line can raise its control lines and disturb whatever is attached.
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0) return win32FromErrno(errno);
    return ERROR_SUCCESS;
}

uint32_t FolderPortBindings::bind(uint32_t number, const std::string& device) {
    if (number == 0 || number > HighestPortNumber || device.empty()) return ERROR_INVALID_PARAMETER;
    const fs::path folder = portsFolder();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return win32FromErrno(ec.value());
    const std::string name = "COM" + std::to_string(number);
    // Made beside the entry and renamed over it: a reader sees the old link or the new, never none.
    const fs::path temp = folder / ("." + name + "." + std::to_string(::getpid()) + ".tmp");
    ::unlink(temp.c_str());
    if (::symlink(device.c_str(), temp.c_str()) != 0) return win32FromErrno(errno);
    if (::rename(temp.c_str(), (folder / name).c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        return win32FromErrno(error);
    }
    return ERROR_SUCCESS;
}

}  // namespace tarvik::comm
