#pragma once
// What the network-line tests share: a pseudo-terminal standing in for the
// instrument's serial line, servers on loopback (ser2net, a Python RFC 2217 server) and a probe
// that records what a line says.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lines/NetAddress.h"
#include "lines/NetworkLine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EventLoop.h"

namespace tarvik::test {

// A new folder under /tmp, removed with what is in it when the test program ends.
inline std::string TempDir() {
    static struct Folders {
        std::vector<std::string> paths;
        ~Folders() {
            std::error_code ignored;
            for (const std::string& path : paths) std::filesystem::remove_all(path, ignored);
        }
    } folders;
    char pattern[] = "/tmp/tarvik-net-XXXXXX";
    if (!::mkdtemp(pattern)) return "";
    folders.paths.push_back(pattern);
    return pattern;
}

inline void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A port on 127.0.0.1 that nothing listened on a moment ago.
inline uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// Whether something listens on 127.0.0.1:`port`, read from the kernel's table so that asking
// opens no connection (which would make ser2net open the serial line).
inline bool Listening(uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    while (std::getline(table, line)) {
        if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos) return true;
    }
    return false;
}

// The instrument's end of a serial line: the master of a pseudo-terminal whose slave a server
// opens. The master sees the slave's settings as the server set them.
class Pty {
public:
    Pty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) m_slave = ::ptsname(m_master);
    }
    ~Pty() {
        if (m_master >= 0) ::close(m_master);
    }
    const std::string& Slave() const { return m_slave; }
    // What arrived from the line so far.
    const std::string& Received() {
        char buffer[4096];
        ssize_t got;
        while ((got = ::read(m_master, buffer, sizeof buffer)) > 0) m_received.append(buffer, static_cast<size_t>(got));
        return m_received;
    }
    void clear() { m_received.clear(); }
    bool send(const std::string& bytes) {
        return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    termios Settings() const {
        termios t{};
        ::tcgetattr(m_master, &t);
        return t;
    }

private:
    int m_master = -1;
    std::string m_slave;
    std::string m_received;
};

// ser2net on loopback in front of a pseudo-terminal, from a YAML file in `dir`.
class Ser2net {
public:
    Ser2net(std::string dir, std::string yaml) : m_dir(std::move(dir)), m_yaml(std::move(yaml)) {}
    // Starts it and waits until it listens on each of `ports`.
    bool start(const std::vector<uint16_t>& ports) {
        const std::string config = m_dir + "/ser2net.yaml";
        WriteFile(config, "%YAML 1.1\n---\n" + m_yaml);
        m_process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/sbin/ser2net", "-n", "-d", "-u", "-c", config}, m_dir + "/ser2net");
        return WaitUntil([&] {
            for (uint16_t port : ports) {
                if (!Listening(port)) return false;
            }
            return true;
        });
    }
    void stop() { m_process.reset(); }
    std::string Log() const { return m_process ? m_process->Output() + m_process->Errors() : ""; }

private:
    std::string m_dir, m_yaml;
    std::unique_ptr<ChildProcess> m_process;
};

// The YAML of one ser2net connection from `accepter` to the pseudo-terminal. The serial line
// starts at 115200 baud, 7 data bits, even parity, 2 stop bits, so settings seen at 9600 8N1
// afterwards were set by the client.
inline std::string Ser2netConnection(const std::string& name, const std::string& accepter, const std::string& slave) {
    return "connection: &" + name + "\n  accepter: " + accepter + "\n  connector: serialdev," + slave +
           ",115200e72,local\n  options:\n    kickolduser: true\n";
}

inline net::NetAddress Address(const std::string& text) {
    net::NetAddress address;
    std::string error;
    net::parseNetAddress(text, address, error);
    return address;
}

// Everything a line says, and everything it delivered to its reader.
struct Probe {
    explicit Probe(net::NetworkLine& line) {
        QObject::connect(&line, &comm::Line::opened, [this] { ++opened; });
        QObject::connect(&line, &comm::Line::openFailed,
                         [this](const comm::LineError& why) { failures.push_back(why); });
        QObject::connect(&line, &comm::Line::lost, [this](const comm::LineError& why) { losses.push_back(why); });
        // As the port manager drains a line: 128-byte reads until one comes back short.
        QObject::connect(&line, &comm::Line::readyRead, [this, &line] {
            uint8_t buffer[128];
            size_t got = sizeof buffer;
            while (got == sizeof buffer && line.read(buffer, sizeof buffer, got) == 0) {
                data.append(reinterpret_cast<char*>(buffer), got);
            }
        });
    }
    int opened = 0;
    std::vector<comm::LineError> failures;
    std::vector<comm::LineError> losses;
    std::string data;
};

// Writes all of `bytes` or nothing: 0, or the code of the failure.
inline uint32_t write(net::NetworkLine& line, const std::string& bytes) {
    size_t count = 0;
    const uint32_t result = line.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), count);
    return result == 0 && count != bytes.size() ? 0xFFFFFFFFu : result;
}

}  // namespace tarvik::test
