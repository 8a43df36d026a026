#include "input/Macros.h"

#include "common/CodePage.h"
#include "res/StringTable.h"

namespace tarvik {

namespace {

constexpr char ClearByte = 0x0C;
constexpr char ReturnByte = 0x0D;

// All four reads are made even after a failure, so each field present is still taken.
bool loadOne(Macro& macro, int index, Settings& settings) {
    const auto text = settings.macroText(index);
    const auto caption = settings.macroCaption(index);
    const auto clear = settings.macroClear(index, macro.clear);
    const auto addReturn = settings.macroReturn(index, macro.sendReturn);
    macro.text = text.value_or(macro.text);
    macro.caption = caption.value_or(macro.caption);
    macro.clear = clear.value_or(macro.clear);
    macro.sendReturn = addReturn.value_or(macro.sendReturn);
    return text && caption && clear && addReturn;
}

}  // namespace

std::string Macro::compose() const {
    std::string bytes;
    bytes.reserve(text.size() + 2);
    if (clear) bytes.push_back(ClearByte);
    bytes += toAnsiBytes(text);
    if (sendReturn) bytes.push_back(ReturnByte);
    return bytes;
}

bool loadMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons) {
    bool firstComplete = true;
    for (int i = 0; i < MacroCount; ++i) {
        const bool ok = loadOne(macros[static_cast<size_t>(i)], i, settings);
        if (i == 0) firstComplete = ok;
    }
    if (!firstComplete) return false;
    for (int i = 0; i < MacroCount; ++i) buttons.setMacroCaption(i, macros[static_cast<size_t>(i)].caption);
    return true;
}

bool saveMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons) {
    // A failed write is reported by the store itself; the rest are still attempted.
    for (int i = 0; i < MacroCount; ++i) {
        const Macro& m = macros[static_cast<size_t>(i)];
        settings.setMacroText(i, m.text);
        settings.setMacroCaption(i, m.caption);
        settings.setMacroClear(i, m.clear);
        settings.setMacroReturn(i, m.sendReturn);
    }
    // The buttons show what was stored: when it cannot be read back they keep the captions of the
    // last load that succeeded (none on a first run), while the macros keep what they were given.
    return loadMacros(macros, settings, buttons);
}

void setDefaultMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons) {
    for (int i = 0; i < MacroCount; ++i) {
        Macro& m = macros[static_cast<size_t>(i)];
        m.text = loadString(StringMacroTextFirst + static_cast<uint32_t>(i));
        m.caption = loadString(StringMacroCaptionFirst + static_cast<uint32_t>(i));
        m.clear = 1;
        m.sendReturn = 1;
    }
    saveMacros(macros, settings, buttons);
}

void sendMacro(const MacroArray& macros, int index, PortSender& ports) {
    if (index < 0 || index >= MacroCount) return;
    ports.sendTextToPorts(macros[static_cast<size_t>(index)].compose());
}

}  // namespace tarvik
