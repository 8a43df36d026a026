#include "app/CommandLine.h"

namespace tarvik {
namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isSwitchChar(char c) { return c == '-' || c == '/'; }

// The name of a switch with its one or two leading switch characters taken off, or empty.
std::string_view switchName(std::string_view arg) {
    if (arg.empty() || !isSwitchChar(arg[0])) return {};
    arg.remove_prefix(1);
    if (!arg.empty() && arg[0] == '-') arg.remove_prefix(1);
    return arg;
}

bool isSwitch(std::string_view arg, std::string_view name) { return equalsNoCase(switchName(arg), name); }

bool isKnownSwitch(std::string_view arg) {
    for (const char* known : {"RegServer", "UnregServer", "Embedding", "Automation", "help", "h", "version"}) {
        if (isSwitch(arg, known)) return true;
    }
    return false;
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::string joinArguments(const std::vector<std::string>& argv) {
    std::string line;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (i != 1) line += ' ';
        line += argv[i];
    }
    return line;
}

RegistrationSwitch scanRegistrationSwitch(std::string_view commandLine) {
    for (size_t i = 0; i < commandLine.size(); ++i) {
        if (!isSwitchChar(commandLine[i])) continue;
        const std::string_view rest = commandLine.substr(i + 1);
        if (equalsNoCase(rest, "UnregServer")) return RegistrationSwitch::Unregister;
        if (equalsNoCase(rest, "RegServer")) return RegistrationSwitch::Register;
    }
    return RegistrationSwitch::None;
}

CommandLineInfo parseCommandLine(const std::vector<std::string>& argv) {
    CommandLineInfo info;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (isSwitch(argv[i], "Embedding")) info.m_embedded = 1;
        else if (isSwitch(argv[i], "Automation")) info.m_automated = 1;
    }
    return info;
}

InfoRequest scanInfoRequest(const std::vector<std::string>& argv) {
    InfoRequest request = InfoRequest::None;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (isSwitch(argv[i], "help") || isSwitch(argv[i], "h")) return InfoRequest::Help;
        if (isSwitch(argv[i], "version")) request = InfoRequest::Version;
    }
    return request;
}

const char* usageText() {
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

std::vector<std::string> unknownArguments(const std::vector<std::string>& argv) {
    std::vector<std::string> unknown;
    for (size_t i = 1; i < argv.size(); ++i) {
        if (!isKnownSwitch(argv[i])) unknown.push_back(argv[i]);
    }
    return unknown;
}

}  // namespace tarvik
