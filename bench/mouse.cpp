// Mouse mode under load: XTest relative motion on the X display in DISPLAY, through a running
// Tarvik in mouse mode, to its packet at the far end of the Merge Port. Prints the latency from
// each motion to the first packet that shows it, Tarvik's CPU time, how often its threads went to
// sleep and were woken, and the packets per second; nothing here is asserted. bench/mouse.sh runs
// it on a private Xvfb.
// Usage: tarvik-mouse TARVIK [SECONDS]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"

namespace {

using namespace tarvik::bench;
using Clock = std::chrono::steady_clock;

struct Arrival {
    Clock::time_point at;
    int x;
    bool active;
};

// Reads both lines for as long as it lives: the display line only so that it never fills up,
// the Merge Port's packets with the time they arrived.
class LineReader {
public:
    LineReader(int display, int merge) : m_thread([this, display, merge] { run(display, merge); }) {}
    ~LineReader() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<Arrival> Arrivals() {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }
    size_t count() {
        std::lock_guard lock(m_mutex);
        return m_arrivals.size();
    }

private:
    void run(int display, int merge) {
        std::vector<unsigned char> packet;
        unsigned char buffer[4096];
        while (!m_stop) {
            pollfd fds[2] = {{display, POLLIN, 0}, {merge, POLLIN, 0}};
            if (::poll(fds, 2, 50) <= 0) continue;
            if (fds[0].revents & POLLIN) (void)!::read(display, buffer, sizeof buffer);
            if (!(fds[1].revents & POLLIN)) continue;
            const ssize_t n = ::read(merge, buffer, sizeof buffer);
            const auto now = Clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == 0x80) packet.clear();
                packet.push_back(buffer[i]);
                if (packet.size() != 6 || packet[0] != 0x80) continue;
                std::lock_guard lock(m_mutex);
                m_arrivals.push_back({now, ((packet[3] & 0x1F) << 5) | (packet[2] & 0x1F), (packet[1] & 0x10) != 0});
            }
        }
    }

    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Arrival> m_arrivals;
    std::thread m_thread;
};

double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name, which ends with the last ')': utime and stime are 12 and 13.
    std::vector<std::string> fields;
    size_t pos = text.rfind(')') + 2;
    while (pos < text.size()) {
        const size_t end = text.find(' ', pos);
        fields.push_back(text.substr(pos, end - pos));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    if (fields.size() < 14) return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Times any thread of the process blocked (each one a wake-up later): the sum of the threads'
// voluntary context switches. Beside the CPU time, which on a shared machine also holds the cost
// of competing for a core, it shows how the work is cut up.
long long Wakeups(pid_t pid) {
    long long total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stoll(line.substr(line.find(':') + 1));
        }
    }
    return total;
}

Window FindViewable(Display* dpy, Window from, const char* name, int depth) {
    char* title = nullptr;
    if (XFetchName(dpy, from, &title) && title) {
        const bool match = std::string(title) == name;
        XFree(title);
        XWindowAttributes attributes;
        if (match && XGetWindowAttributes(dpy, from, &attributes) && attributes.map_state == IsViewable) return from;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (depth > 8 || !XQueryTree(dpy, from, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) found = FindViewable(dpy, children[i], name, depth + 1);
    if (children) XFree(children);
    return found;
}

// Clicks Tarvik's Mouse button (x 3-47, y 32-76 of the 130 x 79 dialog units).
bool ClickMouseButton(Display* dpy) {
    Window window = 0;
    for (int i = 0; i < 200 && !window; ++i) {
        window = FindViewable(dpy, DefaultRootWindow(dpy), "Tarvik", 0);
        if (!window) usleep(50000);
    }
    XWindowAttributes attributes;
    if (!window || !XGetWindowAttributes(dpy, window, &attributes)) return false;
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), attributes.width * 50 / 260,
                          attributes.height * 108 / 158, &x, &y, &child);
    XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
    XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
    XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
    XSync(dpy, False);
    return true;
}

struct Motion {
    Clock::time_point at;
    int target;  // x10 the instrument must reach
    int direction;
};

// One motion of one count every `period`, for `count` motions, back and forth across the middle
// of the 1024-pixel screen; x starts at 512 (the centre, where mouse mode starts).
std::vector<Motion> Stream(Display* dpy, std::chrono::microseconds period, int count, int& x) {
    std::vector<Motion> motions;
    motions.reserve(static_cast<size_t>(count));
    int direction = 1;
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < count; ++i) {
        if (x >= 900) direction = -1;
        if (x <= 124) direction = 1;
        x += direction;
        XTestFakeRelativeMotionEvent(dpy, direction, 0, CurrentTime);
        XFlush(dpy);
        motions.push_back({Clock::now(), x * 1023 / 1024, direction});
        next.tv_nsec += static_cast<long>(period.count()) * 1000;
        while (next.tv_nsec >= 1000000000L) {
            next.tv_nsec -= 1000000000L;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    return motions;
}

// For each motion, the time to the first packet after it that has reached its position.
std::vector<double> Latencies(const std::vector<Motion>& motions, const std::vector<Arrival>& arrivals) {
    std::vector<double> ms;
    size_t first = 0;
    for (const Motion& m : motions) {
        while (first < arrivals.size() && arrivals[first].at < m.at) ++first;
        for (size_t i = first; i < arrivals.size() && arrivals[i].at - m.at < std::chrono::seconds(1); ++i) {
            if (m.direction * (arrivals[i].x - m.target) >= 0) {
                ms.push_back(std::chrono::duration<double, std::milli>(arrivals[i].at - m.at).count());
                break;
            }
        }
    }
    return ms;
}

void PrintRow(const char* load, const Stats& s, size_t sent, double cpu, long long wakeups, double seconds,
              size_t packets) {
    std::printf("| %-20s | %6zu | %6zu | %8.2f | %8.2f | %8.2f | %7.2f | %12.1f | %11.1f |\n", load, sent, s.n, s.p50,
                s.p99, s.max, 100 * cpu / seconds, static_cast<double>(wakeups) / seconds, packets / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tarvik = argc > 1 ? argv[1] : "build/app/tarvik";
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    Display* dpy = XOpenDisplay(nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    if (!dpy || !XTestQueryExtension(dpy, &event, &error, &major, &minor)) {
        std::fprintf(stderr, "mouse: needs an X display with XTEST in DISPLAY\n");
        return 1;
    }
    // One count, one pixel: no acceleration, so each position is known in advance.
    XChangePointerControl(dpy, True, True, 1, 1, 0);

    const Rig rig = MakeRig("tarvik-mouse");
    LineReader reader(rig.display.master, rig.merge.master);
    const pid_t app = Spawn({tarvik});
    auto waitFor = [&](size_t packets) {
        for (int i = 0; i < 400 && reader.count() < packets; ++i) usleep(50000);
        return reader.count() >= packets;
    };
    if (app < 0 || !waitFor(1) || !ClickMouseButton(dpy) || !waitFor(2)) {
        std::fprintf(stderr, "mouse: Tarvik did not open its ports or did not enter mouse mode\n");
        stop(app);
        RemoveRig(rig);
        return 1;
    }

    std::printf(
        "| load                 |   sent |  timed | p50 (ms) | p99 (ms) | max (ms) | CPU (%%) "
        "| wake-ups / s | packets / s |\n");
    std::printf(
        "|----------------------|--------|--------|----------|----------|----------|---------"
        "|--------------|-------------|\n");
    int x = 512;
    const struct {
        const char* name;
        std::chrono::microseconds period;
        int count;
    } loads[] = {{"idle, mouse mode on", std::chrono::microseconds(0), 0},
                 {"one move / 40 ms", std::chrono::microseconds(40000), 250},
                 {"125 moves / s", std::chrono::microseconds(8000), 125 * seconds},
                 {"1000 moves / s", std::chrono::microseconds(1000), 1000 * seconds}};
    for (const auto& load : loads) {
        usleep(200000);
        const size_t before = reader.count();
        const double cpu = CpuSeconds(app);
        const long long wakeups = Wakeups(app);
        const auto start = Clock::now();
        std::vector<Motion> motions;
        if (load.count == 0) usleep(2000000);
        else motions = Stream(dpy, load.period, load.count, x);
        // Rates over the load itself; its last packets and their CPU time are still counted.
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        usleep(500000);
        const std::vector<Arrival> arrivals = reader.Arrivals();
        PrintRow(load.name, Summarise(Latencies(motions, arrivals)), motions.size(), CpuSeconds(app) - cpu,
                 Wakeups(app) - wakeups, wall, arrivals.size() - before);
    }
    stop(app);
    RemoveRig(rig);
    XCloseDisplay(dpy);
    return 0;
}
