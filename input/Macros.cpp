#include "input/Macros.h"

#include "common/CodePage.h"
#include "res/StringTable.h"

namespace tarvik {

namespace {

constexpr char kClearByte = 0x0C;
constexpr char kReturnByte = 0x0D;

std::string ValueName(const char* prefix, int index) { return std::string(prefix) + static_cast<char>('1' + index); }

// All four reads are made even after a failure, so each field present is still taken.
bool LoadOne(CMacro& macro, int index, ISettings& settings) {
    bool ok = settings.ReadSettingString(HKEY_CURRENT_USER, ValueName("Macro", index), macro.Text);
    ok &= settings.ReadSettingString(HKEY_CURRENT_USER, ValueName("Name", index), macro.Caption);
    ok &= settings.ReadSettingNumber(HKEY_CURRENT_USER, ValueName("Clear", index), macro.Clear);
    ok &= settings.ReadSettingNumber(HKEY_CURRENT_USER, ValueName("Return", index), macro.Return);
    return ok;
}

}  // namespace

std::string CMacro::Compose() const {
    std::string bytes;
    bytes.reserve(Text.size() + 2);
    if (Clear) bytes.push_back(kClearByte);
    bytes += ToAnsiBytes(Text);
    if (Return) bytes.push_back(kReturnByte);
    return bytes;
}

bool LoadMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons) {
    bool firstComplete = true;
    for (int i = 0; i < kMacroCount; ++i) {
        const bool ok = LoadOne(macros[static_cast<size_t>(i)], i, settings);
        if (i == 0) firstComplete = ok;
    }
    if (!firstComplete) return false;
    for (int i = 0; i < kMacroCount; ++i) buttons.SetMacroCaption(i, macros[static_cast<size_t>(i)].Caption);
    return true;
}

bool SaveMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons) {
    // A failed write is reported by the store itself; the rest are still attempted.
    for (int i = 0; i < kMacroCount; ++i) {
        const CMacro& m = macros[static_cast<size_t>(i)];
        settings.WriteSettingString(HKEY_CURRENT_USER, ValueName("Macro", i), m.Text);
        settings.WriteSettingString(HKEY_CURRENT_USER, ValueName("Name", i), m.Caption);
        settings.WriteSettingNumber(HKEY_CURRENT_USER, ValueName("Clear", i), m.Clear);
        settings.WriteSettingNumber(HKEY_CURRENT_USER, ValueName("Return", i), m.Return);
    }
    // The buttons show what was stored: when it cannot be read back they keep the captions of the
    // last load that succeeded (none on a first run), while the macros keep what they were given.
    return LoadMacros(macros, settings, buttons);
}

void SetDefaultMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons) {
    for (int i = 0; i < kMacroCount; ++i) {
        CMacro& m = macros[static_cast<size_t>(i)];
        m.Text = LoadString(IDS_MACRO_TEXT_FIRST + static_cast<uint32_t>(i));
        m.Caption = LoadString(IDS_MACRO_CAPTION_FIRST + static_cast<uint32_t>(i));
        m.Clear = 1;
        m.Return = 1;
    }
    SaveMacros(macros, settings, buttons);
}

void SendMacro(const MacroArray& macros, int index, IPortSender& ports) {
    if (index < 0 || index >= kMacroCount) return;
    ports.SendTextToPorts(macros[static_cast<size_t>(index)].Compose());
}

}  // namespace tarvik
