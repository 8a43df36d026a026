#pragma once
// What the benchmarks share: Tarvik started on two pseudo-terminals with private hives, and
// percentiles of the times measured.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarvik::bench {

struct Pty {
    int master = -1;
    int spareSlave = -1;  // keeps the line up while Tarvik closes and reopens its end
    std::string slavePath;
};

// The two lines as COM1 (Display Port) and COM2 (Merge Port) in a private ports folder, with
// the hives and the bus pointed away from the user's; no display means the offscreen platform.
struct Rig {
    std::filesystem::path dir;
    Pty display;
    Pty merge;
};
Rig MakeRig(const std::string& name);
void RemoveRig(const Rig& rig);
// ser2net on 127.0.0.1 serving both lines of `rig` over RFC 2217 (or as raw TCP), and COM1 and
// COM2 linked to its addresses instead of the pseudo-terminals. Without `chardelay` it sends each
// byte as it comes (`chardelay: false`, as docs/serial-ports.md recommends); with it, ser2net's
// default, which waits a few character times for more. -1 if it is not listening within 10 s.
pid_t ServeOverNetwork(const Rig& rig, bool rfc2217, bool chardelay);

void MakeRaw(int fd);
// Reads from every fd until each has delivered `want` bytes; false on time-out.
bool AwaitBytes(const std::vector<int>& fds, size_t want, int timeoutMs);

pid_t Spawn(const std::vector<std::string>& argv);
void stop(pid_t pid);

struct Stats {
    double p50, p90, p99, max;
    size_t n;
};
Stats Summarise(std::vector<double> values);

}  // namespace tarvik::bench
