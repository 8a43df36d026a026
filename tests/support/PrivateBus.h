#pragma once
// A session bus of the test's own: dbus-daemon with a configuration that names only `serviceDir`
// for activation, listening in `dir`. Never the desktop's bus.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace tarvik::test {

class PrivateBus {
public:
    // `env` (NAME=value) is added to what the daemon, and so every process it activates, inherits.
    // `listen` is the daemon's address; a new socket in `dir` when empty.
    PrivateBus(const std::filesystem::path& dir, const std::filesystem::path& serviceDir,
               std::vector<std::string> env = {}, std::string listen = {}) {
        if (listen.empty()) listen = "unix:dir=" + dir.string();
        std::filesystem::create_directories(serviceDir);
        const std::string config = (dir / "bus.conf").string();
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig>\n  <type>session</type>\n  <listen>"
                              << listen << "</listen>\n  <servicedir>" << serviceDir.string()
                              << "</servicedir>\n  <policy context=\"default\">\n"
                                 "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                                 "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n"
                                 "</busconfig>\n";
        daemon_ =
            std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + config,
                                                                    "--nofork", "--print-address=1"},
                                           (dir / "bus").string(), std::move(env));
        WaitUntil([this] { return daemon_->Output().find('\n') != std::string::npos || !daemon_->Running(); });
        const std::string out = daemon_->Output();
        address_ = out.substr(0, out.find('\n'));
    }
    bool Ok() const { return !address_.empty(); }
    const std::string& Address() const { return address_; }
    std::string Errors() const { return daemon_->Errors(); }

private:
    std::unique_ptr<ChildProcess> daemon_;
    std::string address_;
};

}  // namespace tarvik::test
