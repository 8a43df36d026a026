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

class Macro {
public:
    Macro() = default;
    Macro(int32_t clear, int32_t ret, std::string caption, std::string text)
        : clear(clear),
          sendReturn(ret),
          caption(std::move(caption)),
          text(std::move(text)) {}
    virtual ~Macro() = default;
    Macro(const Macro&) = default;
    Macro& operator=(const Macro&) = default;

    // The bytes a click sends: [0x0C] Text [0x0D], Text in Windows-1252.
    std::string compose() const;

    // A macro never stored starts with both flags off, so an unconfigured button sends only its
    // (empty) text: nothing reaches the instrument that the user did not ask for.
    int32_t clear = 0;
    int32_t sendReturn = 0;
    std::string caption;
    std::string text;
};

inline constexpr int MacroCount = 8;
using MacroArray = std::array<Macro, MacroCount>;

// Where the captions go: the function buttons, macro index 0..7.
class MacroButtons {
public:
    virtual ~MacroButtons() = default;
    virtual void setMacroCaption(int index, const std::string& caption) = 0;
};

// Reads Macro<n>, Name<n>, Clear<n>, Return<n> (n = 1..8) from the current user's hive. A value
// that cannot be read leaves its field as it was. False, with no caption set, when any value of
// macro 1 is missing; otherwise every button gets its caption.
bool loadMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons);

// Writes all 32 values, changed or not, then loads them back. The captions follow the load: when
// macro 1 cannot be read back, the buttons keep what the last successful load gave them.
bool saveMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons);

// The built-in macros, stored and shown.
void setDefaultMacros(MacroArray& macros, Settings& settings, MacroButtons& buttons);

// Sends macro `index` as one text; an index outside 0..7 sends nothing.
void sendMacro(const MacroArray& macros, int index, PortSender& ports);

}  // namespace tarvik
