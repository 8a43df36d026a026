#include "settings/ConfigFolder.h"

#include <pwd.h>
#include <unistd.h>
#include <cstdlib>
#include <vector>

namespace tarvik {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = Env("HOME");
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

std::string UserConfigFolder() {
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty() || config.front() != '/') config = HomeFolder() + "/.config";
    return config + "/tarvik";
}

}  // namespace tarvik
