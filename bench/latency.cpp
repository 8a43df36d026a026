// Merge-line latency: from a byte written at the far end of the Merge Port to its arrival on both
// lines, through a running Tarvik, against socat forwarding between two pseudo-terminals. With
// --network, the same path through Tarviks whose lines ser2net serves on loopback, in front of
// pseudo-terminals: over RFC 2217 with ser2net's `chardelay: false` and with its default, and as
// raw TCP; and socat between ser2net's two raw ports, for what ser2net costs by itself. The paths
// take turns round by round. Prints a table; nothing here is asserted.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

using namespace tarvik::bench;
using Clock = std::chrono::steady_clock;

// One way through: bytes written to `in` must arrive on every fd of `outs`.
struct path {
    std::string name;
    int in;
    std::vector<int> outs;
    std::vector<double> us;
    bool lost = false;
};

// Times `burst` bytes through each path, the paths taking turns round by round, so load that
// comes and goes on the machine meanwhile falls on all alike. The first `warmUp` rounds of each
// are not kept.
void Measure(const std::vector<path*>& paths, size_t burst, int rounds, int warmUp) {
    std::vector<unsigned char> bytes(burst);
    for (size_t i = 0; i < burst; ++i) bytes[i] = static_cast<unsigned char>('a' + i % 26);
    for (int r = 0; r < warmUp + rounds; ++r) {
        for (path* path : paths) {
            if (path->lost) continue;
            auto t0 = Clock::now();
            if (write(path->in, bytes.data(), burst) != static_cast<ssize_t>(burst) ||
                !AwaitBytes(path->outs, burst, 5000)) {
                std::fprintf(stderr, "latency: %s lost bytes after %d rounds\n", path->name.c_str(), r);
                path->lost = true;
                continue;
            }
            if (r >= warmUp) path->us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
    }
}

// A Tarvik on a rig of its own, its lines local or served by ser2net.
struct Instance {
    Rig rig;
    pid_t app = -1;
    pid_t server = -1;

    ~Instance() {
        stop(app);
        stop(server);
        RemoveRig(rig);
    }
};

enum class Lines { Local, Rfc2217, Rfc2217CharDelay, RawTcp };

std::unique_ptr<Instance> Launch(const std::string& tarvik, const std::string& name, Lines lines) {
    auto instance = std::make_unique<Instance>();
    instance->rig = MakeRig(name);
    if (lines != Lines::Local) {
        instance->server = ServeOverNetwork(instance->rig, lines != Lines::RawTcp, lines == Lines::Rfc2217CharDelay);
        if (instance->server < 0) {
            std::fprintf(stderr, "latency: ser2net did not start\n");
            return nullptr;
        }
    }
    // MakeRig pointed the environment at this rig's hives and ports: start Tarvik before the next.
    instance->app = Spawn({tarvik});
    // Tarvik announces itself with one mouse packet on each line once both ports are open.
    if (instance->app < 0 || !AwaitBytes({instance->rig.display.master, instance->rig.merge.master}, 6, 20000)) {
        std::fprintf(stderr, "latency: Tarvik (%s) did not open its ports\n", name.c_str());
        return nullptr;
    }
    return instance;
}

// What ser2net costs by itself: socat forwarding between its two raw TCP ports, so a byte from the
// Merge Port's far end goes through ser2net twice to the Display Port's far end, as through Tarvik.
std::unique_ptr<Instance> LaunchSocatOverNetwork(const std::string& name) {
    auto instance = std::make_unique<Instance>();
    instance->rig = MakeRig(name);
    const Rig& rig = instance->rig;
    instance->server = ServeOverNetwork(rig, false, false);
    if (instance->server < 0) return nullptr;
    std::vector<std::string> argv{"socat"};
    for (const char* port : {"COM2", "COM1"}) {
        const std::string link = std::filesystem::read_symlink(rig.dir / "ports" / port).string();
        argv.push_back("TCP:" + link.substr(link.find("//") + 2) + ",nodelay");
    }
    instance->app = Spawn(argv);
    // ser2net reads a line only once its client is connected: knock until a byte comes through,
    // then let the knocks still on their way arrive and drop them.
    bool through = false;
    for (int i = 0; i < 100 && !through; ++i)
        through = write(rig.merge.master, "k", 1) == 1 && AwaitBytes({rig.display.master}, 1, 200);
    usleep(300000);
    AwaitBytes({rig.display.master}, 1000, 100);
    if (!through) std::fprintf(stderr, "latency: socat through ser2net did not connect\n");
    return through ? std::move(instance) : nullptr;
}

// socat between two pseudo-terminals in `dir`; the ends are returned raw in `a` and `b`.
pid_t StartSocat(const std::filesystem::path& dir, int& a, int& b) {
    pid_t socat =
        Spawn({"socat", "PTY,raw,echo=0,link=" + (dir / "a").string(), "PTY,raw,echo=0,link=" + (dir / "b").string()});
    a = b = -1;
    for (int i = 0; i < 100 && (a < 0 || b < 0); ++i) {
        usleep(20000);
        if (a < 0) a = open((dir / "a").c_str(), O_RDWR | O_NOCTTY);
        if (b < 0) b = open((dir / "b").c_str(), O_RDWR | O_NOCTTY);
    }
    if (a < 0 || b < 0) {
        std::fprintf(stderr, "latency: socat did not start\n");
        stop(socat);
        return -1;
    }
    MakeRaw(a);
    MakeRaw(b);
    return socat;
}

void PrintTable(const std::vector<path>& singles, const std::vector<path>& bursts) {
    std::printf("| %-34s | %-14s | %6s | %9s | %9s | %9s | %9s |\n", "path", "load", "n", "p50 (us)", "p90 (us)",
                "p99 (us)", "max (us)");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(16, '-').c_str(),
                std::string(8, '-').c_str(), std::string(11, '-').c_str(), std::string(11, '-').c_str(),
                std::string(11, '-').c_str(), std::string(11, '-').c_str());
    for (const auto* set : {&singles, &bursts}) {
        for (const path& path : *set) {
            const Stats s = Summarise(path.us);
            std::printf("| %-34s | %-14s | %6zu | %9.1f | %9.1f | %9.1f | %9.1f |\n", path.name.c_str(),
                        set == &singles ? "single bytes" : "64-byte bursts", s.n, s.p50, s.p90, s.p99, s.max);
        }
    }
    // Tarvik on local lines against socat, and every network path against Tarvik on local lines.
    std::printf("\n");
    for (const auto* set : {&singles, &bursts}) {
        const char* load = set == &singles ? "single bytes" : "64-byte bursts";
        const double local = Summarise((*set)[0].us).p50;
        std::printf("p50 ratio Tarvik/socat, %s: %.2f\n", load, local / Summarise((*set)[1].us).p50);
        for (size_t i = 2; i < set->size(); ++i) {
            std::printf("p50 ratio %s / local, %s: %.2f\n", (*set)[i].name.c_str(), load,
                        Summarise((*set)[i].us).p50 / local);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string tarvik = argc > 1 ? argv[1] : "build/app/tarvik";
    int singles = argc > 2 ? std::atoi(argv[2]) : 5000;
    const bool network = argc > 3 && std::strcmp(argv[3], "--network") == 0;
    const int bursts = singles / 10;
    const size_t burstSize = 64;

    std::vector<std::unique_ptr<Instance>> instances;
    std::vector<std::string> names;
    size_t delayed = 0;  // the instance behind ser2net's default character delay, if any
    instances.push_back(Launch(tarvik, "tarvik-latency", Lines::Local));
    names.push_back("Tarvik, both lines, local");
    if (network) {
        instances.push_back(Launch(tarvik, "tarvik-latency-net", Lines::Rfc2217));
        names.push_back("Tarvik, both, rfc2217 no chardelay");
        delayed = instances.size();
        instances.push_back(Launch(tarvik, "tarvik-latency-net-delay", Lines::Rfc2217CharDelay));
        names.push_back("Tarvik, both, rfc2217 chardelay");
        instances.push_back(Launch(tarvik, "tarvik-latency-tcp", Lines::RawTcp));
        names.push_back("Tarvik, both, tcp no chardelay");
        instances.push_back(LaunchSocatOverNetwork("tarvik-latency-socat"));
        names.push_back("socat, one line, via ser2net tcp");
    }
    for (const auto& instance : instances)
        if (!instance) return 1;

    int a = -1, b = -1;
    const pid_t socat = StartSocat(instances.front()->rig.dir, a, b);
    if (socat < 0) return 1;

    // Tarvik on local lines first and socat second: the ratios are taken against those two.
    std::vector<path> single, burst;
    for (size_t i = 0; i < instances.size(); ++i) {
        const Rig& rig = instances[i]->rig;
        std::vector<int> outs{rig.display.master, rig.merge.master};
        if (names[i].starts_with("socat")) outs.pop_back();
        single.push_back({names[i], rig.merge.master, outs, {}});
        if (i == 0) single.push_back({"socat, one line", a, {b}, {}});
    }
    burst = single;
    // ser2net's character delay leaves the machine idle for milliseconds a round, which would slow
    // the paths after it (the cores drop into deeper sleep): that path is timed on its own, after.
    const size_t apart = delayed ? delayed + 1 : single.size();  // +1: socat's path comes second
    std::vector<path*> singlePaths, burstPaths;
    for (size_t i = 0; i < single.size(); ++i) {
        if (i == apart) continue;
        singlePaths.push_back(&single[i]);
        burstPaths.push_back(&burst[i]);
    }
    const int warmUp = 100;
    Measure(singlePaths, 1, singles, warmUp);
    Measure(burstPaths, burstSize, bursts, warmUp / 10);
    if (delayed) {
        Measure({&single[apart]}, 1, singles / 10, warmUp / 10);
        Measure({&burst[apart]}, burstSize, bursts, warmUp / 10);
    }
    stop(socat);
    instances.clear();
    PrintTable(single, burst);
    return 0;
}
