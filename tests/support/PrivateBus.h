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
        m_daemon =
            std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + config,
                                                                    "--nofork", "--print-address=1"},
                                           (dir / "bus").string(), std::move(env));
        WaitUntil([this] { return m_daemon->Output().find('\n') != std::string::npos || !m_daemon->running(); });
        const std::string out = m_daemon->Output();
        m_address = out.substr(0, out.find('\n'));
    }
    bool Ok() const { return !m_address.empty(); }
    const std::string& Address() const { return m_address; }
    std::string Errors() const { return m_daemon->Errors(); }

private:
    std::unique_ptr<ChildProcess> m_daemon;
    std::string m_address;
};

}  // namespace tarvik::test
