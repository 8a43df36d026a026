#pragma once
// The line language that drives the simulated keyboard, mouse and display (stdin or a script).
#include <string>
#include <string_view>

namespace tarvik::sim {

struct ControlAction {
    enum class Kind { Nothing, Keyboard, Display, Sleep, Quit, Unplug, Plug };
    Kind kind = Kind::Nothing;
    std::string bytes;          // for Keyboard and Display: what to send on that line
    bool keyboardLine = false;  // for Unplug and Plug: which line
    long milliseconds = 0;      // for Sleep
    std::string summary;        // what the log says was sent
};

struct ControlParse {
    bool ok = true;
    ControlAction action;
    std::string error;  // when !ok: a message naming what is wrong
};

// One line: blank lines and lines starting with '#' do nothing. Commands:
//   key WORD...          key bytes by name, character or number (see KeyNames.h)
//   text TEXT            the characters of TEXT as they stand
//   macro TEXT           form feed, TEXT, carriage return
//   byte N...            raw bytes on the keyboard line
//   mouse X Y [active] [button] [shift] [ctrl]
//   name TEXT            a name field (form feed + 12 characters) on the display line
//   dtext TEXT / dbyte N...  raw text or bytes on the display line
//   sleep MS             pause the script; the lines are still served meanwhile
//   unplug LINE          LINE (display or keyboard) goes away, as an adapter pulled out
//   plug LINE            LINE comes back on a new pseudo-terminal, its COMn link pointed at it
//   quit
ControlParse parseControlLine(std::string_view line);

}  // namespace tarvik::sim
