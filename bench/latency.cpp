// Merge-line latency: from a byte written at the far end of the Merge Port to its arrival on both
// lines, through a running Tarvik, against socat forwarding between two pseudo-terminals.
// The two paths take turns round by round. Prints a table of p50/p99; nothing here is asserted.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

using namespace tarvik::bench;
using Clock = std::chrono::steady_clock;

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

void PrintRow(const char* path, const char* load, const Stats& s) {
    std::printf("| %-22s | %-16s | %6zu | %9.1f | %9.1f | %9.1f |\n", path, load, s.n, s.p50, s.p99, s.max);
}

}  // namespace

int main(int argc, char** argv) {
    std::string tarvik = argc > 1 ? argv[1] : "build/app/tarvik";
    int singles = argc > 2 ? std::atoi(argv[2]) : 5000;
    int bursts = singles / 10;
    const size_t burstSize = 64;

    const Rig rig = MakeRig("tarvik-latency");
    const Pty &display = rig.display, &merge = rig.merge;

    pid_t app = Spawn({tarvik});
    // Tarvik announces itself with one mouse packet on each line once both ports are open.
    if (app < 0 || !AwaitBytes({display.master, merge.master}, 6, 20000)) {
        std::fprintf(stderr, "latency: Tarvik did not open its ports\n");
        Stop(app);
        RemoveRig(rig);
        return 1;
    }

    pid_t socat = Spawn({"socat", "PTY,raw,echo=0,link=" + (rig.dir / "a").string(),
                         "PTY,raw,echo=0,link=" + (rig.dir / "b").string()});
    int a = -1, b = -1;
    for (int i = 0; i < 100 && (a < 0 || b < 0); ++i) {
        usleep(20000);
        if (a < 0) a = open((rig.dir / "a").c_str(), O_RDWR | O_NOCTTY);
        if (b < 0) b = open((rig.dir / "b").c_str(), O_RDWR | O_NOCTTY);
    }
    if (a < 0 || b < 0) {
        std::fprintf(stderr, "latency: socat did not start\n");
        Stop(socat);
        Stop(app);
        RemoveRig(rig);
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
    RemoveRig(rig);
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
