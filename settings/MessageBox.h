#pragma once
// Modal message boxes go through this, so tests can see them without a display.
#include <string>

namespace tarvik {

inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned MB_YESNO = 0x0004;
inline constexpr unsigned MB_ICONHAND = 0x0010;
inline constexpr unsigned MB_ICONERROR = 0x0010;
inline constexpr unsigned MB_DEFBUTTON2 = 0x0100;
inline constexpr int IDOK = 1;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows the box and returns the button the user chose (IDOK, IDYES, IDNO).
    virtual int showMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
};

}  // namespace tarvik
