#pragma once
// Text on its way to the instrument. The instrument reads the bytes a Western Windows PC sends for
// text: Windows-1252, one byte a character. Every text that reaches a line (macros, automation
// calls) goes through here, whatever the settings file or the client held it as.
#include <string>
#include <string_view>

namespace tarvik {

// The Windows-1252 byte of `c`, or '?' when the code page has none for it. No look-alike is
// chosen: a character without its own byte is plainly a '?' on the instrument.
char toAnsiByte(char32_t c);

// Each character of `text` as its Windows-1252 byte.
std::string toAnsiBytes(std::u32string_view text);

// Text as the program keeps it (UTF-8, as the hive files give it whether they were written by hand
// or exported as UTF-16) to Windows-1252 bytes. A byte that starts no UTF-8 sequence is already a
// byte of the code page (a file saved in it) and goes out unchanged; an encoded surrogate, which
// names no character, becomes '?'.
std::string toAnsiBytes(std::string_view utf8);

// The other way, for text that came from the instrument: Windows-1252 bytes as UTF-8. The five
// unassigned bytes become the control characters of the same number.
std::string fromAnsiBytes(std::string_view bytes);

}  // namespace tarvik
