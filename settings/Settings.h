#pragma once
// Tarvik's settings under the program's key, in the current user's or the local machine's hive.
// Code reads and writes them through the typed accessors; the value names they stand for ("Mouse
// Speed", "Display Port", "Macro1", ...) are what users' hive files hold and never change. The
// virtual functions are the store underneath, by value name.
#include <cstdint>
#include <optional>
#include <string>

#include "common/Win32Codes.h"
#include "res/StringTable.h"

namespace tarvik {

class Settings {
public:
    virtual ~Settings() = default;
    // Number reads copy at most 4 bytes into `value`; a shorter stored value leaves the upper
    // bytes as they were, so `value` is in/out.
    virtual bool readSettingNumber(uint32_t hive, uint32_t nameId, int32_t& value) = 0;
    virtual bool readSettingNumber(uint32_t hive, const std::string& name, int32_t& value) = 0;
    virtual bool readSettingString(uint32_t hive, const std::string& name, std::string& text) = 0;
    virtual bool writeSettingNumber(uint32_t hive, uint32_t nameId, int32_t value) = 0;
    virtual bool writeSettingNumber(uint32_t hive, const std::string& name, int32_t value) = 0;
    virtual bool writeSettingString(uint32_t hive, const std::string& name, const std::string& text) = 0;

    // A read gives nothing when the value is missing or unreadable. A stored number shorter than
    // four bytes replaces only the low bytes of `current`, as the registry's readers do.
    std::optional<int32_t> windowX(int32_t current = 0) { return userNumber(StringMainPosX, current); }
    std::optional<int32_t> windowY(int32_t current = 0) { return userNumber(StringMainPosY, current); }
    std::optional<int32_t> windowVisible(int32_t current = 0) { return userNumber(StringMainVisible, current); }
    std::optional<int32_t> floatOnTop(int32_t current = 0) { return userNumber(StringMainFloat, current); }
    std::optional<int32_t> rememberPosition(int32_t current = 0) { return userNumber(StringMainRemPosition, current); }
    std::optional<int32_t> startMode(int32_t current = 0) { return userNumber(StringMainStart, current); }
    std::optional<int32_t> mouseStartPosition(int32_t current = 0) { return userNumber(StringMousePosition, current); }
    std::optional<int32_t> mouseSpeed(int32_t current = 0) { return userNumber(StringMouseSpeed, current); }
    std::optional<int32_t> displayPort(int32_t current = 0) { return machineNumber(StringDisplayPort, current); }
    std::optional<int32_t> mergePort(int32_t current = 0) { return machineNumber(StringMergePort, current); }
    std::optional<int32_t> baudRate(int32_t current = 0) { return machineNumber(StringBaud, current); }

    bool setWindowX(int32_t x) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainPosX, x); }
    bool setWindowY(int32_t y) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainPosY, y); }
    bool setWindowVisible(int32_t on) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainVisible, on); }
    bool setFloatOnTop(int32_t on) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainFloat, on); }
    bool setRememberPosition(int32_t on) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainRemPosition, on); }
    bool setStartMode(int32_t mode) { return writeSettingNumber(HKEY_CURRENT_USER, StringMainStart, mode); }
    bool setMouseStartPosition(int32_t p) { return writeSettingNumber(HKEY_CURRENT_USER, StringMousePosition, p); }
    bool setMouseSpeed(int32_t speed) { return writeSettingNumber(HKEY_CURRENT_USER, StringMouseSpeed, speed); }
    bool setDisplayPort(int32_t port) { return writeSettingNumber(HKEY_LOCAL_MACHINE, StringDisplayPort, port); }
    bool setMergePort(int32_t port) { return writeSettingNumber(HKEY_LOCAL_MACHINE, StringMergePort, port); }
    bool setBaudRate(int32_t baud) { return writeSettingNumber(HKEY_LOCAL_MACHINE, StringBaud, baud); }

    // The eight macros, numbered from 0 here and from 1 in the value names.
    std::optional<std::string> macroText(int index) { return userText(macroName("Macro", index)); }
    std::optional<std::string> macroCaption(int index) { return userText(macroName("Name", index)); }
    std::optional<int32_t> macroClear(int index, int32_t current = 0) {
        return userNumber(macroName("Clear", index), current);
    }
    std::optional<int32_t> macroReturn(int index, int32_t current = 0) {
        return userNumber(macroName("Return", index), current);
    }
    bool setMacroText(int index, const std::string& text) {
        return writeSettingString(HKEY_CURRENT_USER, macroName("Macro", index), text);
    }
    bool setMacroCaption(int index, const std::string& caption) {
        return writeSettingString(HKEY_CURRENT_USER, macroName("Name", index), caption);
    }
    bool setMacroClear(int index, int32_t on) {
        return writeSettingNumber(HKEY_CURRENT_USER, macroName("Clear", index), on);
    }
    bool setMacroReturn(int index, int32_t on) {
        return writeSettingNumber(HKEY_CURRENT_USER, macroName("Return", index), on);
    }

private:
    static std::string macroName(const char* prefix, int index) {
        return std::string(prefix) + static_cast<char>('1' + index);
    }
    template <typename Name>
    std::optional<int32_t> number(uint32_t hive, const Name& name, int32_t current) {
        if (!readSettingNumber(hive, name, current)) return std::nullopt;
        return current;
    }
    template <typename Name>
    std::optional<int32_t> userNumber(const Name& name, int32_t current) {
        return number(HKEY_CURRENT_USER, name, current);
    }
    std::optional<int32_t> machineNumber(uint32_t nameId, int32_t current) {
        return number(HKEY_LOCAL_MACHINE, nameId, current);
    }
    std::optional<std::string> userText(const std::string& name) {
        std::string text;
        if (!readSettingString(HKEY_CURRENT_USER, name, text)) return std::nullopt;
        return text;
    }
};

}  // namespace tarvik
