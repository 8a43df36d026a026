#pragma once
// The window's settings: the program's key (loaded from the string table on every call) in the
// current user's or the local machine's hive, value names by string-table id or by text.
#include <memory>

#include "settings/MessageBox.h"
#include "settings/RegistryAccess.h"
#include "settings/Settings.h"

namespace tarvik {

class CSettings : public ISettings {
public:
    // With no store the hive files are used.
    explicit CSettings(IMessageBox& box, IHiveStore* store = nullptr);
    ~CSettings() override;

    bool ReadSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) override;
    bool ReadSettingNumber(uint32_t hive, const std::string& name, int32_t& value) override;
    bool ReadSettingString(uint32_t hive, const std::string& name, std::string& text) override;
    bool WriteSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) override;
    bool WriteSettingNumber(uint32_t hive, const std::string& name, int32_t value) override;
    bool WriteSettingString(uint32_t hive, const std::string& name, const std::string& text) override;

private:
    std::unique_ptr<IHiveStore> ownStore_;
    CRegistryAccess access_;
};

}  // namespace tarvik
