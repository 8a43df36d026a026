#include "settings/RegistryAccess.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/Win32Codes.h"

namespace tarvik {
namespace {

// Stored numbers are little-endian, and a short value fills the number's low bytes.
static_assert(std::endian::native == std::endian::little);

constexpr const char* OpenFailed = "Open Registry Key Failed";
constexpr const char* SizeFailed = "Get Size from Registry Failed";
constexpr const char* ReadFailed = "Read from Registry Failed";
constexpr const char* WriteFailed = "Write to Registry Failed";

}  // namespace

std::string RegistryAccess::composeErrorText(const std::string& operation, uint32_t code, const std::string& detail) {
    std::string system = systemErrorText(code);
    if (!detail.empty()) system += detail + "\n";
    // Composed without a length limit: a long system text or file name is shown whole.
    return "ERROR: " + operation + " failed with the following error:\n" + std::to_string(code) + ": " + system + "\n";
}

void RegistryAccess::showRegistryError(const std::string& operation, uint32_t code) {
    m_box.showMessage(composeErrorText(operation, code, m_store.lastErrorDetail()), "Application Error",
                      MB_OK | MB_ICONERROR);
}

void RegistryAccess::report(const char* operation, uint32_t code) {
    if (!m_store.lastErrorRepeated()) showRegistryError(operation, code);
}

uint32_t RegistryAccess::heard(uint32_t code) {
    // Lines of a hand-edited file that could not be read are a fault of the file, told once, even
    // though the call itself worked on the rest.
    if (const std::string notice = m_store.lastNotice(); !notice.empty()) {
        m_box.showMessage(composeErrorText(OpenFailed, ERROR_BADDB, notice), "Application Error", MB_OK | MB_ICONERROR);
    }
    return code;
}

bool RegistryAccess::readNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t& number) {
    uint32_t code = heard(m_store.openKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(OpenFailed, code);
        return false;
    }
    uint8_t bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    uint32_t type = 0;
    uint32_t size = sizeof bytes;
    code = heard(m_store.queryValue(hive, keyPath, name, &type, bytes, &size));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(ReadFailed, code);
        return false;
    }
    std::memcpy(&number, bytes, sizeof number);
    return true;
}

uint32_t RegistryAccess::getValueSize(uint32_t hive, const std::string& keyPath, const std::string& name) {
    uint32_t code = heard(m_store.openKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(OpenFailed, code);
        return 0;
    }
    uint32_t type = 0;
    uint32_t size = 0;
    code = heard(m_store.queryValue(hive, keyPath, name, &type, nullptr, &size));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(SizeFailed, code);
        return 0;
    }
    return size;
}

bool RegistryAccess::readString(uint32_t hive, const std::string& keyPath, const std::string& name, std::string& text) {
    uint32_t code = heard(m_store.openKey(hive, keyPath));
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(OpenFailed, code);
        return false;
    }
    uint32_t size = getValueSize(hive, keyPath, name);
    text.assign(size, '\0');
    uint32_t type = 0;
    code = heard(m_store.queryValue(hive, keyPath, name, &type, reinterpret_cast<uint8_t*>(text.data()), &size));
    // The value may have shrunk since its size was taken; what was not filled is dropped.
    if (code == ERROR_SUCCESS && size < text.size()) text.resize(size);
    std::erase(text, '\0');
    if (code != ERROR_SUCCESS) {
        if (code != ERROR_FILE_NOT_FOUND) report(ReadFailed, code);
        return false;
    }
    return true;
}

bool RegistryAccess::writeValue(uint32_t hive, const std::string& keyPath, const std::string& name, uint32_t type,
                                const uint8_t* data, uint32_t size) {
    uint32_t code = heard(m_store.createKey(hive, keyPath));
    if (code == ERROR_SUCCESS) {
        // A value that could not be stored is reported like a key that could not be opened, so a
        // caller is never told a setting was saved when it was not.
        code = heard(m_store.setValue(hive, keyPath, name, type, data, size));
    }
    if (code != ERROR_SUCCESS) {
        report(WriteFailed, code);
        return false;
    }
    return true;
}

bool RegistryAccess::writeNumber(uint32_t hive, const std::string& keyPath, const std::string& name, int32_t number) {
    uint8_t bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    return writeValue(hive, keyPath, name, REG_DWORD, bytes, sizeof bytes);
}

bool RegistryAccess::writeString(uint32_t hive, const std::string& keyPath, const std::string& name,
                                 const std::string& text) {
    return writeValue(hive, keyPath, name, REG_SZ, reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size()));
}

}  // namespace tarvik
