#include "bench/BenchSupport.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

extern char** environ;

namespace tarvik::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

Pty OpenPty() {
    Pty p;
    p.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (p.master < 0 || grantpt(p.master) != 0 || unlockpt(p.master) != 0) {
        std::perror("posix_openpt");
        std::exit(1);
    }
    p.slavePath = ptsname(p.master);
    p.spareSlave = open(p.slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(p.spareSlave, &t);
    cfmakeraw(&t);
    tcsetattr(p.spareSlave, TCSANOW, &t);
    return p;
}

// `count` ports on 127.0.0.1 that nothing listened on a moment ago; each is held until all are
// chosen, so they differ.
std::vector<uint16_t> FreePorts(size_t count) {
    std::vector<int> fds;
    std::vector<uint16_t> ports;
    for (size_t i = 0; i < count; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        fds.push_back(fd);
        ports.push_back(ntohs(address.sin_port));
    }
    for (int fd : fds) close(fd);
    return ports;
}

// Read from the kernel's table: connecting to ask would make ser2net open the line.
bool Listening(uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    char wanted[40];
    std::snprintf(wanted, sizeof wanted, ": 0100007F:%04X 00000000:0000 0A ", port);
    for (std::string line; std::getline(table, line);)
        if (line.find(wanted) != std::string::npos) return true;
    return false;
}

}  // namespace

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

bool AwaitBytes(const std::vector<int>& fds, size_t want, int timeoutMs) {
    std::vector<size_t> got(fds.size(), 0);
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[4096];
    while (true) {
        std::vector<pollfd> pfds;
        for (size_t i = 0; i < fds.size(); ++i)
            if (got[i] < want) pfds.push_back({fds[i], POLLIN, 0});
        if (pfds.empty()) return true;
        int left =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0 || poll(pfds.data(), pfds.size(), left) <= 0) return false;
        for (auto& pf : pfds) {
            if (!(pf.revents & POLLIN)) continue;
            ssize_t n = read(pf.fd, buf, sizeof buf);
            if (n <= 0) continue;
            for (size_t i = 0; i < fds.size(); ++i)
                if (fds[i] == pf.fd) got[i] += static_cast<size_t>(n);
        }
    }
}

Rig MakeRig(const std::string& name) {
    Rig rig{fs::temp_directory_path() / (name + "-" + std::to_string(getpid())), OpenPty(), OpenPty()};
    fs::create_directories(rig.dir / "ports");
    fs::create_symlink(rig.display.slavePath, rig.dir / "ports" / "COM1");
    fs::create_symlink(rig.merge.slavePath, rig.dir / "ports" / "COM2");
    std::ofstream(rig.dir / "machine.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
           "\"Display Port\"=dword:00000001\n\"Merge Port\"=dword:00000002\n\"Baud\"=dword:00002580\n";
    setenv("TARVIK_PORTS_DIR", (rig.dir / "ports").c_str(), 1);
    setenv("TARVIK_MACHINE_HIVE", (rig.dir / "machine.reg").c_str(), 1);
    setenv("TARVIK_USER_HIVE", (rig.dir / "user.reg").c_str(), 1);
    // A measurement never reaches the desktop's bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    if (!getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return rig;
}

void RemoveRig(const Rig& rig) { fs::remove_all(rig.dir); }

pid_t ServeOverNetwork(const Rig& rig, bool rfc2217, bool chardelay) {
    const std::vector<uint16_t> ports = FreePorts(2);
    const Pty* lines[] = {&rig.display, &rig.merge};
    const fs::path config = rig.dir / "ser2net.yaml";
    {
        std::ofstream yaml(config);
        yaml << "%YAML 1.1\n---\n";
        for (int i = 0; i < 2; ++i) {
            yaml << "connection: &com" << i + 1 << "\n  accepter: " << (rfc2217 ? "telnet(rfc2217)," : "")
                 << "tcp,127.0.0.1," << ports[i] << "\n  connector: serialdev," << lines[i]->slavePath
                 << ",9600n81,local\n  options:\n"
                 << "    kickolduser: true\n"
                 << (chardelay ? "" : "    chardelay: false\n");
        }
    }
    const pid_t pid = Spawn({"/usr/sbin/ser2net", "-n", "-u", "-c", config.string()});
    for (int i = 0; pid > 0 && i < 1000 && !(Listening(ports[0]) && Listening(ports[1])); ++i) usleep(10000);
    if (pid <= 0 || !Listening(ports[0]) || !Listening(ports[1])) {
        stop(pid);
        return -1;
    }
    for (int i = 0; i < 2; ++i) {
        const fs::path link = rig.dir / "ports" / ("COM" + std::to_string(i + 1));
        fs::remove(link);
        fs::create_symlink((rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(ports[i]), link);
    }
    return pid;
}

Stats Summarise(std::vector<double> us) {
    // A run that lost its first bytes has nothing to summarise; say so in the table, not crash.
    if (us.empty()) return {0, 0, 0, 0, 0};
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * (us.size() - 1) + 0.5))]; };
    return {at(0.5), at(0.9), at(0.99), us.back(), us.size()};
}

pid_t Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace tarvik::bench
