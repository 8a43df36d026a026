#include "app/CommandLine.h"

namespace tarvik {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSwitchChar(char c) { return c == '-' || c == '/'; }

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string JoinCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (size_t i = 0; i < argv.size(); ++i) {
        if (i != 0) line += ' ';
        line += argv[i];
    }
    return line;
}

RegistrationSwitch ScanRegistrationSwitch(std::string_view commandLine) {
    for (size_t i = 0; i < commandLine.size(); ++i) {
        if (!IsSwitchChar(commandLine[i])) continue;
        const std::string_view rest = commandLine.substr(i + 1);
        if (EqualsNoCase(rest, "UnregServer")) return RegistrationSwitch::Unregister;
        if (EqualsNoCase(rest, "RegServer")) return RegistrationSwitch::Register;
    }
    return RegistrationSwitch::None;
}

CCommandLineInfo ParseCommandLine(const std::vector<std::string>& argv) {
    CCommandLineInfo info;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (arg.empty() || !IsSwitchChar(arg[0])) continue;
        const std::string_view name = std::string_view(arg).substr(1);
        if (EqualsNoCase(name, "Embedding")) info.m_bEmbedded = 1;
        else if (EqualsNoCase(name, "Automation")) info.m_bAutomated = 1;
    }
    return info;
}

}  // namespace tarvik
