#include "lines/PortsFolder.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "common/Win32Codes.h"
#include "settings/ConfigFolder.h"

namespace tarvik::comm {
namespace {

std::string fromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool startsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::string portsFolder() {
    std::string dir = fromEnv("TARVIK_PORTS_DIR");
    if (!dir.empty()) return dir;
    return userConfigFolder() + "/ports";
}

uint32_t parsePortName(const std::string& name) {
    std::string rest = name;
    if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
    if (!startsWithNoCase(rest, "COM")) return 0;
    rest = rest.substr(3);
    // At most ten digits, no leading zero and no sign: anything else is not a port name.
    if (rest.empty() || rest.size() > 10 || rest[0] == '0') return 0;
    uint64_t number = 0;
    for (char c : rest) {
        if (c < '0' || c > '9') return 0;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    return number > 0xFFFFFFFFull ? 0 : static_cast<uint32_t>(number);
}

uint32_t resolvePortName(const std::string& name, std::string& path) {
    const uint32_t number = parsePortName(name);
    const std::string folder = portsFolder();
    if (number == 0 || folder.empty()) return ERROR_FILE_NOT_FOUND;
    path = folder + "/COM" + std::to_string(number);
    return ERROR_SUCCESS;
}

uint32_t win32FromErrno(int error) {
    switch (error) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EBUSY:
        case EWOULDBLOCK:
        case EISDIR:
        case EROFS:
        case ETXTBSY: return ERROR_ACCESS_DENIED;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case ENOTTY: return ERROR_INVALID_FUNCTION;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
        case ENXIO:
        case ENODEV: return ERROR_DEVICE_NOT_CONNECTED;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        case ECANCELED: return ERROR_OPERATION_ABORTED;
        case EIO:
        default: return ERROR_GEN_FAILURE;
    }
}

}  // namespace tarvik::comm
