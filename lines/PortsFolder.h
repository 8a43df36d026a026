#pragma once
// Where a "COMn" name leads: the entry COMn in the ports folder, usually a symlink to the real
// device. Nothing else is ever opened, so a name can never reach a console or an unrelated tty.
#include <cstdint>
#include <string>

namespace tarvik::comm {

// $TARVIK_PORTS_DIR, else the user's Tarvik folder's ports/ ($XDG_CONFIG_HOME/tarvik/ports or
// ~/.config/tarvik/ports).
std::string portsFolder();

// The port number of "COMn" (also "\\.\COMn", any case), or 0 when `name` is no such name.
uint32_t parsePortName(const std::string& name);

// The path of the folder entry for `name`; 0 on success, else ERROR_FILE_NOT_FOUND.
uint32_t resolvePortName(const std::string& name, std::string& path);

// The nearest Win32 code for an errno value.
uint32_t win32FromErrno(int error);

}  // namespace tarvik::comm
