#include "settings/HiveSettings.h"

#include "res/StringTable.h"
#include "settings/FileHiveStore.h"

namespace tarvik {
namespace {

std::unique_ptr<HiveStore> storeUnlessGiven(HiveStore* given) {
    return given ? nullptr : std::make_unique<FileHiveStore>();
}

}  // namespace

HiveSettings::HiveSettings(MessageBox& box, HiveStore* store)
    : m_ownStore(storeUnlessGiven(store)),
      m_access(box, store ? *store : *m_ownStore) {}

HiveSettings::~HiveSettings() = default;

bool HiveSettings::readSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) {
    return readSettingNumber(hive, loadString(nameId), value);
}

bool HiveSettings::readSettingNumber(uint32_t hive, const std::string& name, int32_t& value) {
    return m_access.readNumber(hive, loadString(StringRegistryKey), name, value);
}

bool HiveSettings::readSettingString(uint32_t hive, const std::string& name, std::string& text) {
    return m_access.readString(hive, loadString(StringRegistryKey), name, text);
}

bool HiveSettings::writeSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) {
    return writeSettingNumber(hive, loadString(nameId), value);
}

bool HiveSettings::writeSettingNumber(uint32_t hive, const std::string& name, int32_t value) {
    return m_access.writeNumber(hive, loadString(StringRegistryKey), name, value);
}

bool HiveSettings::writeSettingString(uint32_t hive, const std::string& name, const std::string& text) {
    return m_access.writeString(hive, loadString(StringRegistryKey), name, text);
}

}  // namespace tarvik
