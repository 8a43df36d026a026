#pragma once
// The eight user macros behind the function buttons: a caption for the button and a text sent to
// the instrument as Windows-1252 bytes (no key translation), optionally preceded by 0x0C (Clear)
// and followed by 0x0D (Return).
#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "common/PortSender.h"
#include "common/Win32Codes.h"
#include "settings/Settings.h"

namespace tarvik {

class CMacro {
public:
    CMacro() = default;
    CMacro(Bool32 clear, Bool32 ret, std::string caption, std::string text)
        : Clear(clear),
          Return(ret),
          Caption(std::move(caption)),
          Text(std::move(text)) {}
    virtual ~CMacro() = default;
    CMacro(const CMacro&) = default;
    CMacro& operator=(const CMacro&) = default;

    // The bytes a click sends: [0x0C] Text [0x0D], Text in Windows-1252.
    std::string Compose() const;

    // A macro never stored starts with both flags off, so an unconfigured button sends only its
    // (empty) text: nothing reaches the instrument that the user did not ask for.
    Bool32 Clear = 0;
    Bool32 Return = 0;
    std::string Caption;
    std::string Text;
};

inline constexpr int kMacroCount = 8;
using MacroArray = std::array<CMacro, kMacroCount>;

// Where the captions go: the function buttons, macro index 0..7.
class IMacroButtons {
public:
    virtual ~IMacroButtons() = default;
    virtual void SetMacroCaption(int index, const std::string& caption) = 0;
};

// Reads Macro<n>, Name<n>, Clear<n>, Return<n> (n = 1..8) from the current user's hive. A value
// that cannot be read leaves its field as it was. False, with no caption set, when any value of
// macro 1 is missing; otherwise every button gets its caption.
bool LoadMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons);

// Writes all 32 values, changed or not, then loads them back. The captions follow the load: when
// macro 1 cannot be read back, the buttons keep what the last successful load gave them.
bool SaveMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons);

// The built-in macros, stored and shown.
void SetDefaultMacros(MacroArray& macros, ISettings& settings, IMacroButtons& buttons);

// Sends macro `index` as one text; an index outside 0..7 sends nothing.
void SendMacro(const MacroArray& macros, int index, IPortSender& ports);

}  // namespace tarvik
