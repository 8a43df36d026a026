#include "settings/HiveSettings.h"

#include "res/StringTable.h"
#include "settings/FileHiveStore.h"

namespace tarvik {
namespace {

std::unique_ptr<IHiveStore> StoreUnlessGiven(IHiveStore* given) {
    return given ? nullptr : std::make_unique<CFileHiveStore>();
}

}  // namespace

CSettings::CSettings(IMessageBox& box, IHiveStore* store)
    : ownStore_(StoreUnlessGiven(store)),
      access_(box, store ? *store : *ownStore_) {}

CSettings::~CSettings() = default;

bool CSettings::ReadSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) {
    return ReadSettingNumber(hive, LoadString(nameId), value);
}

bool CSettings::ReadSettingNumber(uint32_t hive, const std::string& name, int32_t& value) {
    return access_.ReadNumber(hive, LoadString(IDS_REGISTRY_KEY), name, value);
}

bool CSettings::ReadSettingString(uint32_t hive, const std::string& name, std::string& text) {
    return access_.ReadString(hive, LoadString(IDS_REGISTRY_KEY), name, text);
}

bool CSettings::WriteSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) {
    return WriteSettingNumber(hive, LoadString(nameId), value);
}

bool CSettings::WriteSettingNumber(uint32_t hive, const std::string& name, int32_t value) {
    return access_.WriteNumber(hive, LoadString(IDS_REGISTRY_KEY), name, value);
}

bool CSettings::WriteSettingString(uint32_t hive, const std::string& name, const std::string& text) {
    return access_.WriteString(hive, LoadString(IDS_REGISTRY_KEY), name, text);
}

}  // namespace tarvik
