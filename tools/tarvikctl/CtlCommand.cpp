#include "tools/tarvikctl/CtlCommand.h"

#include <cerrno>
#include <cstdlib>

namespace tarvik::ctl {
namespace {

// A whole decimal or 0x number within [low, high].
bool parseNumber(const std::string& text, long low, long high, int& value) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || n < low || n > high) return false;
    value = static_cast<int>(n);
    return true;
}

bool parseMouse(const std::vector<std::string>& rest, Command& c, std::string& error) {
    std::vector<std::string> numbers;
    for (const std::string& arg : rest) {
        if (arg == "--active" || arg == "--inactive") c.active = arg == "--active";
        else if (arg == "--button-down" || arg == "--button-up") c.buttonDown = arg == "--button-down";
        else if (arg.size() > 1 && arg[0] == '-' && (arg[1] < '0' || arg[1] > '9'))
            return error = "mouse: unknown option " + arg, false;
        else numbers.push_back(arg);
    }
    if (numbers.size() != 2) return error = "mouse needs X and Y", false;
    if (!parseNumber(numbers[0], 0, 1023, c.x) || !parseNumber(numbers[1], 0, 1023, c.y)) {
        return error =
                   "mouse: X and Y are whole numbers from 0 to 1023, not \"" + numbers[0] + "\" \"" + numbers[1] + "\"",
               false;
    }
    return true;
}

bool parseVerb(const std::string& verb, const std::vector<std::string>& rest, Command& c, std::string& error) {
    const auto noArguments = [&] { return rest.empty() || (error = verb + " takes no arguments", false); };
    if (verb == "send") {
        c.verb = Verb::Send;
        if (rest.empty()) return error = "send needs the TEXT to send", false;
        for (size_t i = 0; i < rest.size(); ++i) c.text += (i ? " " : "") + rest[i];
        return true;
    }
    if (verb == "byte") {
        c.verb = Verb::Byte;
        if (rest.size() == 1 && parseNumber(rest[0], 0, 255, c.value)) return true;
        return error = "byte needs one number from 0 to 255 (decimal or 0x..)", false;
    }
    if (verb == "mouse") return c.verb = Verb::Mouse, parseMouse(rest, c, error);
    if (verb == "click") return c.verb = Verb::Click, noArguments();
    if (verb == "name") return c.verb = Verb::Name, noArguments();
    if (verb == "show") return c.verb = Verb::Show, noArguments();
    if (verb == "hide") return c.verb = Verb::Hide, noArguments();
    if (verb == "quit") return c.verb = Verb::Quit, noArguments();
    if (verb == "watch" || verb == "monitor") {
        c.verb = verb == "watch" ? Verb::Watch : Verb::Monitor;
        for (const std::string& arg : rest) {
            if (arg != "--json") return error = verb + ": unknown argument " + arg, false;
            c.json = true;
        }
        return true;
    }
    return error = "unknown command \"" + verb + "\"", false;
}

}  // namespace

bool parseCommand(const std::vector<std::string>& args, Command& command, std::string& error) {
    command = Command{};
    if (args.empty()) return error = "no command given", false;
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") return command.verb = Verb::Help, true;
    if (first == "--version") return command.verb = Verb::Version, true;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    // After "--" everything is text, so a text may start with '-'.
    if (first == "send" && !rest.empty() && rest[0] == "--") rest.erase(rest.begin());
    return parseVerb(first, rest, command, error);
}

const char* manualText() {
    return R"(NAME
    tarvikctl - control a running Tarvik from the command line

SYNOPSIS
    tarvikctl send TEXT...
    tarvikctl byte N
    tarvikctl mouse X Y [--active|--inactive] [--button-down|--button-up]
    tarvikctl click
    tarvikctl name
    tarvikctl watch [--json]
    tarvikctl monitor [--json]
    tarvikctl show | hide
    tarvikctl quit
    tarvikctl --help | --version

DESCRIPTION
    tarvikctl talks to the Tarvik that the user started (a stand-alone run), through its
    Tarvik.Control interface on the session bus. Everything it sends reaches the instrument as
    keys and mouse packets do, on both lines. It holds Tarvik open for no longer than one call,
    counts as no client, and never starts Tarvik: when none runs it says so.

COMMANDS
    send TEXT...
        Sends the text, its words joined by single spaces, converted to the instrument's
        character set (Windows-1252; a character it lacks becomes '?'). At most 4096 bytes.
        Nothing is added: a carriage return or form feed must be part of TEXT, for example
        tarvikctl send $'\fi1\r' in bash. Use "send -- TEXT" for a text that starts with '-'.
    byte N
        Sends one byte, 0 to 255, decimal or 0x.., untranslated.
    mouse X Y [--active|--inactive] [--button-down|--button-up]
        Moves the instrument's cursor to X, Y (0 to 1023 each, Y from the top), then sets the
        active and button flags when asked. Each step sends one mouse packet.
    click
        Presses and releases the mouse button where the cursor is: two packets.
    name
        Prints the name the instrument last reported (empty before the first).
    watch [--json]
        Prints each new instrument name with a local time stamp, one a line, until interrupted
        (Ctrl+C) or until Tarvik ends. --json prints {"time": ..., "name": ...} objects instead.
    monitor [--json]
        Prints the traffic on both lines, both directions, one item a line as Tarvik's Monitor
        window shows it (local time, line, direction, bytes in hex, decoded), until interrupted
        (Ctrl+C) or until Tarvik ends. --json prints one object a line instead, with the fields
        seq, time_us, line, direction, kind, hex, decoded and those of the kind (key and name;
        x, y and flags; text). Tarvik looks at the traffic only while someone is subscribed.
    show
        Shows Tarvik's window, restored and raised, as a click on its notification-area icon
        does; the way back to a hidden window where the desktop has no notification area.
    hide
        Hides the window, as its Close command does. Tarvik goes on running.
    quit
        Asks Tarvik to end, as the end of the desktop session does. With automation clients
        connected Tarvik first asks its user "Exit Application?", and tarvikctl waits for the
        answer: No keeps Tarvik running (status 1). Otherwise tarvikctl returns once Tarvik has
        done its shutdown work and left the bus.

EXIT STATUS
    0   done
    1   Tarvik refused the call (the message says why, for example a text over 4096 bytes, or
        the user's No to quit)
    2   bad command line
    3   no Tarvik is running (nobody owns Tarvik.Control), or it ended while watch or
        monitor ran
    4   no session bus

ENVIRONMENT
    DBUS_SESSION_BUS_ADDRESS
        The session bus to use; when it is not set, the user's bus at $XDG_RUNTIME_DIR/bus.
        tarvikctl never starts a bus: without either it ends with status 4.

EXAMPLES
    tarvikctl send $'\fi1\r'        type "i1" and Return on the instrument
    tarvikctl byte 0x1b             press Escape
    tarvikctl mouse 512 300 --active
    tarvikctl watch --json | jq .name
    tarvikctl monitor --json | jq -c 'select(.kind == "packet")'

SEE ALSO
    docs/automation.md in Tarvik's sources: the interfaces, busctl and Python examples.
)";
}

}  // namespace tarvik::ctl
