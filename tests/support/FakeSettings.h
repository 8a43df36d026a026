#pragma once
// In-memory settings for tests of the layers above the settings store.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "res/StringTable.h"
#include "settings/Settings.h"

namespace tarvik::test {

class FakeSettings : public Settings {
public:
    std::map<std::pair<uint32_t, std::string>, int32_t> numbers;
    std::map<std::pair<uint32_t, std::string>, std::string> strings;
    bool failWrites = false;
    int writes = 0;
    std::vector<std::pair<uint32_t, std::string>> written;  // hive and name of each write, in order

    bool readSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) override {
        return readSettingNumber(hive, loadString(nameId), value);
    }
    bool readSettingNumber(uint32_t hive, const std::string& name, int32_t& value) override {
        auto it = numbers.find({hive, name});
        if (it == numbers.end()) return false;
        value = it->second;
        return true;
    }
    bool readSettingString(uint32_t hive, const std::string& name, std::string& text) override {
        auto it = strings.find({hive, name});
        if (it == strings.end()) return false;
        text = it->second;
        return true;
    }
    bool writeSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) override {
        return writeSettingNumber(hive, loadString(nameId), value);
    }
    bool writeSettingNumber(uint32_t hive, const std::string& name, int32_t value) override {
        ++writes;
        written.emplace_back(hive, name);
        if (failWrites) return false;
        numbers[{hive, name}] = value;
        return true;
    }
    bool writeSettingString(uint32_t hive, const std::string& name, const std::string& text) override {
        ++writes;
        written.emplace_back(hive, name);
        if (failWrites) return false;
        strings[{hive, name}] = text;
        return true;
    }
};

}  // namespace tarvik::test
