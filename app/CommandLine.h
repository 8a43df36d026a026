#pragma once
// What the command line asks for: a registration run, or the kind of normal run.
#include <string>
#include <string_view>
#include <vector>

#include "common/Win32Codes.h"

namespace tarvik {

enum class RegistrationSwitch { None, Register, Unregister };

// The arguments after the program's name, joined by single spaces. The name is left out: a
// program installed as ".../RegServer" must not register itself on every start.
std::string joinArguments(const std::vector<std::string>& argv);

// Finds "RegServer" or "UnregServer" (any case) after a '-' or '/' that is followed by nothing
// else: the switch counts only as the very last thing on the line. "--RegServer" counts too,
// since the scan moves on to the second '-'.
RegistrationSwitch scanRegistrationSwitch(std::string_view commandLine);

struct CommandLineInfo {
    int32_t m_embedded = 0;   // "Embedding": started by a client
    int32_t m_automated = 0;  // "Automation": started by a client
};

// `argv` includes the program's name, which is skipped. Any argument starting with '-', '--' or
// '/' whose remainder is "Embedding" or "Automation" (any case) sets its flag; others are ignored.
CommandLineInfo parseCommandLine(const std::vector<std::string>& argv);

// What a user asks of the command line itself, before anything else happens.
enum class InfoRequest { None, Help, Version };
// "help" (or "h") and "version" anywhere after the program's name, with a switch's prefix and in
// any case, as every switch; help wins.
InfoRequest scanInfoRequest(const std::vector<std::string>& argv);
// The text printed for --help.
const char* usageText();

// The arguments after the program's name that mean nothing here: not a registration switch, not
// "Embedding" or "Automation", not --help or --version. They are accepted and ignored, and named
// once so that a typo does not pass unnoticed.
std::vector<std::string> unknownArguments(const std::vector<std::string>& argv);

// ASCII comparison ignoring case, as the system's own comparison of switches does.
bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace tarvik
