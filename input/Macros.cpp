#include "input/Macros.h"

#include "common/CodePage.h"
#include "res/StringTable.h"

namespace tarvik {

namespace {

constexpr char kClearByte = 0x0C;
constexpr char kReturnByte = 0x0D;

// All four reads are made even after a failure, so each field present is still taken.
bool LoadOne(CMacro& macro, int index, ISettings& settings) {
    const auto text = settings.macroText(index);
    const auto caption = settings.macroCaption(index);
    const auto clear = settings.macroClear(index, macro.Clear);
    const auto addReturn = settings.macroReturn(index, macro.Return);
    macro.Text = text.value_or(macro.Text);
    macro.Caption = caption.value_or(macro.Caption);
    macro.Clear = clear.value_or(macro.Clear);
    macro.Return = addReturn.value_or(macro.Return);
    return text && caption && clear && addReturn;
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
        settings.setMacroText(i, m.Text);
        settings.setMacroCaption(i, m.Caption);
        settings.setMacroClear(i, m.Clear);
        settings.setMacroReturn(i, m.Return);
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
