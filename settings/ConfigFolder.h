#pragma once
// The user's own Tarvik folder, where the user hive and the ports folder live by default.
#include <string>

namespace tarvik {

// $XDG_CONFIG_HOME/tarvik when that is an absolute path (a relative one is invalid and ignored),
// else the home folder's .config/tarvik ($HOME, or the password database's entry).
std::string userConfigFolder();

}  // namespace tarvik
