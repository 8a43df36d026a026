#include "settings/RegistryAccess.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/Win32Codes.h"

namespace tarvik {
namespace {

// Stored numbers are little-endian, and a short value fills the number's low bytes.
static_assert(std::endian::native == std::endian::little);

constexpr const char* kOpenFailed = "Open Registry Key Failed";
constexpr const char* kSizeFailed = "Get Size from Registry Failed";
constexpr const char* kReadFailed = "Read from Registry Failed";
constexpr const char* kWriteFailed = "Write to Registry Failed";

}  // namespace

std::string CRegistryAccess::ComposeErrorText(const std::string& operation, uint32_t code, const std::string& detail) {
    std::string system = SystemErrorText(code);
    if (!detail.empty()) system += detail + "\n";
    // Composed without a length limit: a long system text or file name is shown whole.
    return "ERROR: " + operation + " failed with the following error:\n" + std::to_string(code) + ": " + system + "\n";
}

void CRegistryAccess::ShowRegistryError(const std::string& operation, uint32_t code) {
    box_.Show(ComposeErrorText(operation, code, store_.LastErrorDetail()), "Application Error", MB_OK | MB_ICONERROR);
}

void CRegistryAccess::Report(const char* operation, uint32_t code) {
    if (!store_.LastErrorRepeated()) ShowRegistryError(operation, code);
}

uint32_t CRegistryAccess::Heard(uint32_t code) {
    // Lines of a hand-edited file that could not be read are a fault of the file, told once, even
    // though the call itself worked on the rest.
    if (const std::string notice = store_.LastNotice(); !notice.empty()) {
        box_.Show(ComposeErrorText(kOpenFailed, ERROR_BADDB, notice), "Application Error", MB_OK | MB_ICONERROR);
    }
    return code;
}

bool CRegistryAccess::ReadNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t& number) {
    uint32_t code = Heard(store_.OpenKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kOpenFailed, code);
        return false;
    }
    uint8_t bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    uint32_t type = 0;
    uint32_t size = sizeof bytes;
    code = Heard(store_.QueryValue(hive, keyPath, name, &type, bytes, &size));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kReadFailed, code);
        return false;
    }
    std::memcpy(&number, bytes, sizeof number);
    return true;
}

uint32_t CRegistryAccess::GetValueSize(uint32_t hive, const std::string& keyPath, const std::string& name) {
    uint32_t code = Heard(store_.OpenKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kOpenFailed, code);
        return 0;
    }
    uint32_t type = 0;
    uint32_t size = 0;
    code = Heard(store_.QueryValue(hive, keyPath, name, &type, nullptr, &size));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kSizeFailed, code);
        return 0;
    }
    return size;
}

bool CRegistryAccess::ReadString(uint32_t hive, const std::string& keyPath, const std::string& name,
                                 std::string& text) {
    uint32_t code = Heard(store_.OpenKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kOpenFailed, code);
        return false;
    }
    uint32_t size = GetValueSize(hive, keyPath, name);
    text.assign(size, '\0');
    uint32_t type = 0;
    code = Heard(store_.QueryValue(hive, keyPath, name, &type, reinterpret_cast<uint8_t*>(text.data()), &size));
    // The value may have shrunk since its size was taken; what was not filled is dropped.
    if (code == ERROR_SUCCESS && size < text.size()) text.resize(size);
    std::erase(text, '\0');
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) Report(kReadFailed, code);
        return false;
    }
    return true;
}

bool CRegistryAccess::WriteValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                                 const uint8_t* data, uint32_t size) {
    uint32_t code = Heard(store_.CreateKey(hive, keyPath));
    if (code == ERROR_SUCCESS) {
        // A value that could not be stored is reported like a key that could not be opened, so a
        // caller is never told a setting was saved when it was not.
        code = Heard(store_.SetValue(hive, keyPath, name, type, data, size));
    }
    if (code != ERROR_SUCCESS) {
        Report(kWriteFailed, code);
        return false;
    }
    return true;
}

bool CRegistryAccess::WriteNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t number) {
    uint8_t bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    return WriteValue(hive, keyPath, name, REG_DWORD, bytes, sizeof bytes);
}

bool CRegistryAccess::WriteString(uint32_t hive, const std::string& keyPath, const std::string& name,
                                  const std::string& text) {
    return WriteValue(hive, keyPath, name, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size()));
}

}  // namespace tarvik
