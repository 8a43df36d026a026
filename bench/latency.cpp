// Merge-line latency: from a byte written at the far end of the Merge Port to its arrival on both
// lines, through a running Tarvik, against socat forwarding between two pseudo-terminals.
// The two paths take turns round by round. Prints a table of p50/p99; nothing here is asserted.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Pty {
    int master = -1;
    int spareSlave = -1;
    std::string slavePath;
};

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

void MakeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
    }
}

// Reads from every fd until each has delivered `want` bytes; false on time-out.
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

struct Stats {
    double p50, p99, max;
    size_t n;
};

Stats Summarise(std::vector<double> us) {
    // A run that lost its first bytes has nothing to summarise; say so in the table, not crash.
    if (us.empty()) return {0, 0, 0, 0};
    std::sort(us.begin(), us.end());
    auto at = [&](double q) { return us[std::min(us.size() - 1, static_cast<size_t>(q * (us.size() - 1) + 0.5))]; };
    return {at(0.5), at(0.99), us.back(), us.size()};
}

// One way through: bytes written to `in` must arrive on every fd of `outs`.
struct Path {
    int in;
    std::vector<int> outs;
    std::vector<double> us;
    bool lost = false;
};

// Times `burst` bytes through each path, the paths taking turns round by round, so load that
// comes and goes on the machine meanwhile falls on both alike. The first `warmUp` rounds of each
// are not kept.
void Measure(std::vector<Path*> paths, size_t burst, int rounds, int warmUp) {
    std::vector<unsigned char> bytes(burst);
    for (size_t i = 0; i < burst; ++i) bytes[i] = static_cast<unsigned char>('a' + i % 26);
    for (int r = 0; r < warmUp + rounds; ++r) {
        for (Path* path : paths) {
            if (path->lost) continue;
            auto t0 = Clock::now();
            if (write(path->in, bytes.data(), burst) != static_cast<ssize_t>(burst) ||
                !AwaitBytes(path->outs, burst, 5000)) {
                std::fprintf(stderr, "latency: bytes lost after %d rounds\n", r);
                path->lost = true;
                continue;
            }
            if (r >= warmUp) path->us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
    }
}

pid_t Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

void PrintRow(const char* path, const char* load, const Stats& s) {
    std::printf("| %-22s | %-16s | %6zu | %9.1f | %9.1f | %9.1f |\n", path, load, s.n, s.p50, s.p99, s.max);
}

}  // namespace

int main(int argc, char** argv) {
    std::string tarvik = argc > 1 ? argv[1] : "build/app/tarvik";
    int singles = argc > 2 ? std::atoi(argv[2]) : 5000;
    int bursts = singles / 10;
    const size_t burstSize = 64;

    fs::path dir = fs::temp_directory_path() / ("tarvik-latency-" + std::to_string(getpid()));
    fs::create_directories(dir / "ports");
    Pty display = OpenPty(), merge = OpenPty();
    fs::create_symlink(display.slavePath, dir / "ports" / "COM1");
    fs::create_symlink(merge.slavePath, dir / "ports" / "COM2");
    std::ofstream(dir / "machine.reg")
        << "Windows Registry Editor Version 5.00\n\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
           "\"Display Port\"=dword:00000001\n\"Merge Port\"=dword:00000002\n\"Baud\"=dword:00002580\n";
    setenv("TARVIK_PORTS_DIR", (dir / "ports").c_str(), 1);
    setenv("TARVIK_MACHINE_HIVE", (dir / "machine.reg").c_str(), 1);
    setenv("TARVIK_USER_HIVE", (dir / "user.reg").c_str(), 1);
    // A measurement never reaches the desktop's bus.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    if (!getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);

    pid_t app = Spawn({tarvik});
    // Tarvik announces itself with one mouse packet on each line once both ports are open.
    if (app < 0 || !AwaitBytes({display.master, merge.master}, 6, 20000)) {
        std::fprintf(stderr, "latency: Tarvik did not open its ports\n");
        Stop(app);
        fs::remove_all(dir);
        return 1;
    }

    pid_t socat =
        Spawn({"socat", "PTY,raw,echo=0,link=" + (dir / "a").string(), "PTY,raw,echo=0,link=" + (dir / "b").string()});
    int a = -1, b = -1;
    for (int i = 0; i < 100 && (a < 0 || b < 0); ++i) {
        usleep(20000);
        if (a < 0) a = open((dir / "a").c_str(), O_RDWR | O_NOCTTY);
        if (b < 0) b = open((dir / "b").c_str(), O_RDWR | O_NOCTTY);
    }
    if (a < 0 || b < 0) {
        std::fprintf(stderr, "latency: socat did not start\n");
        Stop(socat);
        Stop(app);
        fs::remove_all(dir);
        return 1;
    }
    MakeRaw(a);
    MakeRaw(b);

    const int warmUp = 100;
    Path tarvikSingle{merge.master, {display.master, merge.master}, {}}, socatSingle{a, {b}, {}};
    Measure({&tarvikSingle, &socatSingle}, 1, singles, warmUp);
    Path tarvikBurst{merge.master, {display.master, merge.master}, {}}, socatBurst{a, {b}, {}};
    Measure({&tarvikBurst, &socatBurst}, burstSize, bursts, warmUp / 10);
    Stop(socat);
    Stop(app);
    fs::remove_all(dir);
    const Stats tSingle = Summarise(tarvikSingle.us), sSingle = Summarise(socatSingle.us);
    const Stats tBurst = Summarise(tarvikBurst.us), sBurst = Summarise(socatBurst.us);

    std::printf("| path                   | load             |      n |  p50 (us) |  p99 (us) |  max (us) |\n");
    std::printf("|------------------------|------------------|--------|-----------|-----------|-----------|\n");
    PrintRow("Tarvik, both lines", "single bytes", tSingle);
    PrintRow("socat, one line", "single bytes", sSingle);
    PrintRow("Tarvik, both lines", "64-byte bursts", tBurst);
    PrintRow("socat, one line", "64-byte bursts", sBurst);
    std::printf("\np50 ratio Tarvik/socat, single bytes: %.2f\n", tSingle.p50 / sSingle.p50);
    return 0;
}
