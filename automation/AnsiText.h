#pragma once
// Text between clients (Unicode, as UTF-8) and the instrument's lines (Windows-1252 bytes).
#include <string>
#include <string_view>

namespace tarvik {

// STAND-IN: replaced by the shared conversion in common/ once it exists; keep this the only caller.
// UTF-8 to Windows-1252; a character with no byte there (or a broken sequence) becomes '?'.
std::string ToAnsiText(std::string_view utf8);

// Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined become the control
// characters of the same number, as the platform's own conversion does.
std::string FromAnsiText(std::string_view ansi);

}  // namespace tarvik
