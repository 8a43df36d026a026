#include "settings/ConfigFolder.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>
#include <vector>

namespace tarvik {
namespace {

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string homeFolder() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    struct passwd pw {};
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return "/";
}

}  // namespace

std::string userConfigFolder() {
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = homeFolder() + "/.config";
    return config + "/tarvik";
}

}  // namespace tarvik
