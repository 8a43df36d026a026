#include "app/CommandLine.h"

namespace tarvik {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsSwitchChar(char c) { return c == '-' || c == '/'; }

// The name of a switch with its one or two leading switch characters taken off, or empty.
std::string_view SwitchName(std::string_view arg) {
    if (arg.empty() || !IsSwitchChar(arg[0])) return {};
    arg.remove_prefix(1);
    if (!arg.empty() && arg[0] == '-') arg.remove_prefix(1);
    return arg;
}

bool IsSwitch(std::string_view arg, std::string_view name) { return EqualsNoCase(SwitchName(arg), name); }

bool IsKnownSwitch(std::string_view arg) {
    for (const char* known : {"RegServer", "UnregServer", "Embedding", "Automation", "help", "h", "version"}) {
        if (IsSwitch(arg, known)) return true;
    }
    return false;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string JoinArguments(const std::vector<std::string>& argv) {
    std::string line;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (i != 1) line += ' ';
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
        if (IsSwitch(argv[i], "Embedding")) info.m_bEmbedded = 1;
        else if (IsSwitch(argv[i], "Automation")) info.m_bAutomated = 1;
    }
    return info;
}

InfoRequest ScanInfoRequest(const std::vector<std::string>& argv) {
    InfoRequest request = InfoRequest::None;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (IsSwitch(argv[i], "help") || IsSwitch(argv[i], "h")) return InfoRequest::Help;
        if (IsSwitch(argv[i], "version")) request = InfoRequest::Version;
    }
    return request;
}

const char* UsageText() {
    return "Usage: tarvik [OPTION]\n"
           "Lets this PC stand in for the keyboard and mouse of an Ondrix instrument.\n"
           "\n"
           "With no option Tarvik starts stand-alone: it opens the instrument's two serial lines\n"
           "and shows its window (or keeps it in the notification area, as its preferences say).\n"
           "A second stand-alone start shows the first one's window instead, and ends.\n"
           "\n"
           "  /RegServer    register Tarvik as the D-Bus automation server of this user, and end\n"
           "  /UnregServer  remove that registration, and end\n"
           "  -Embedding    a run started for an automation client: hidden, lines closed\n"
           "  /Automation   the same as -Embedding\n"
           "  --help, -h    show this text and end\n"
           "  --version     show the version and end\n"
           "\n"
           "Switches may start with '/', '-' or '--' and ignore case. Standard Qt options\n"
           "(-platform, -display, ...) are passed to the toolkit.\n"
           "\n"
           "Environment: TARVIK_USER_HIVE and TARVIK_MACHINE_HIVE name the settings files,\n"
           "TARVIK_PORTS_DIR the folder whose COMn entries name the serial devices.\n"
           "See tarvik(1), tarvikctl(1) and the help pages for more.\n";
}

std::vector<std::string> UnknownArguments(const std::vector<std::string>& argv) {
    std::vector<std::string> unknown;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (!IsKnownSwitch(argv[i])) unknown.push_back(argv[i]);
    }
    return unknown;
}

}  // namespace tarvik
