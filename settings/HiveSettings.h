#pragma once
// The window's settings: the program's key (loaded from the string table on every call) in the
// current user's or the local machine's hive, value names by string-table id or by text.
#include <memory>

#include "settings/MessageBox.h"
#include "settings/RegistryAccess.h"
#include "settings/Settings.h"

namespace tarvik {

class HiveSettings : public Settings {
public:
    // With no store the hive files are used.
    explicit HiveSettings(MessageBox& box, HiveStore* store = nullptr);
    ~HiveSettings() override;

    bool readSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) override;
    bool readSettingNumber(uint32_t hive, const std::string& name, int32_t& value) override;
    bool readSettingString(uint32_t hive, const std::string& name, std::string& text) override;
    bool writeSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) override;
    bool writeSettingNumber(uint32_t hive, const std::string& name, int32_t value) override;
    bool writeSettingString(uint32_t hive, const std::string& name, const std::string& text) override;

private:
    std::unique_ptr<HiveStore> m_ownStore;
    RegistryAccess m_access;
};

}  // namespace tarvik
