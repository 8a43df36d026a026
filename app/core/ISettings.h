#pragma once
// The window's settings layer: value names by string-table id or by text, under the program's key,
// in the current user's or the local machine's hive. Callers apply their own defaults when a read
// returns false.
#include <cstdint>
#include <string>

namespace tarvik {

class ISettings {
public:
    virtual ~ISettings() = default;
    // Number reads copy at most 4 bytes into `value`; a shorter stored value leaves the upper
    // bytes as they were, so `value` is in/out.
    virtual bool ReadSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) = 0;
    virtual bool ReadSettingNumber(uint32_t hive, const std::string& name, int32_t& value) = 0;
    virtual bool ReadSettingString(uint32_t hive, const std::string& name, std::string& text) = 0;
    virtual bool WriteSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) = 0;
    virtual bool WriteSettingNumber(uint32_t hive, const std::string& name, int32_t value) = 0;
    virtual bool WriteSettingString(uint32_t hive, const std::string& name, const std::string& text) = 0;
};

}  // namespace tarvik
