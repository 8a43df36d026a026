#pragma once
// tarvikctl's command line: what to do, checked before the bus is touched.
#include <optional>
#include <string>
#include <vector>

namespace tarvik::ctl {

enum class Verb { Help, Version, Send, Byte, Mouse, Click, Name, Watch, Monitor, Show, Hide, Quit };

struct Command {
    Verb verb = Verb::Help;
    std::string text;  // send
    int value = 0;     // byte
    int x = 0, y = 0;  // mouse
    std::optional<bool> active, buttonDown;
    bool json = false;  // watch, monitor
};

// Exit statuses, each named in --help.
enum ExitStatus { Ok = 0, Refused = 1, Usage = 2, NotRunning = 3, NoBus = 4 };

// False with a one-line reason in `error` when the arguments (after the program's name) are not
// a command.
bool parseCommand(const std::vector<std::string>& args, Command& command, std::string& error);

// The manual page that --help prints.
const char* manualText();

}  // namespace tarvik::ctl
