// Automation through a private session bus: SendRawByte until its byte is at the far ends of both
// lines (latency, and calls a second one after another and pipelined), cold activation until the
// first call returns, and InstrumentChanged delivered to 100 sinks. Prints tables; asserts nothing.
// Usage: tarvik-automation [TARVIK_EXECUTABLE] [CALLS]
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>

#include "bench/BenchSupport.h"

namespace {

namespace bench = tarvik::bench;
using bench::AwaitBytes;
using bench::Pty;
using bench::Summarise;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

void Row(const char* what, const char* unit, const bench::Stats& s) {
    std::printf("| %-44s | %5zu | %9.3f | %9.3f | %9.3f | %s\n", what, s.n, s.p50, s.p99, s.max, unit);
}

// Sinks under /sinks: counts the events and when the last of a round arrived.
class sinks : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override {
        ++count;
        last = Clock::now();
        return true;
    }
    QString introspect(const QString&) const override { return {}; }
    std::atomic<int> count{0};
    Clock::time_point last;
};

QDBusMessage Call(QDBusConnection& bus, const QString& service, const QString& path, const QString& interface,
                  const QString& method, const QVariantList& args = {}) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    return bus.call(call, QDBus::Block, 20000);
}

bool WaitFor(const std::function<bool()>& done, int ms = 20000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        QCoreApplication::processEvents();
        usleep(200);
    }
    return true;
}

// Cold activation: each CreateInstance starts a new process through the service file; the
// release ends it before the next round.
std::vector<double> MeasureActivation(QDBusConnection& bus, int rounds) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        const QDBusMessage reply = Call(bus, "Tarvik.TarvikObject", "/Tarvik", "Tarvik.ClassFactory", "CreateInstance");
        if (reply.type() != QDBusMessage::ReplyMessage) break;
        ms.push_back(MsSince(t0));
        const QString server = reply.service();
        Call(bus, server, reply.arguments().value(0).value<QDBusObjectPath>().path(), "Tarvik.ITarvikObject",
             "Release");
        WaitFor([&] { return !bus.interface()->isServiceRegistered(server).value(); });
    }
    return ms;
}

struct SendFigures {
    std::vector<double> latencyUs;
    double sequentialRate = 0, pipelinedRate = 0;
};

SendFigures MeasureSends(QDBusConnection& bus, const QString& server, const QString& path, const Pty& display,
                         const Pty& merge, int calls) {
    SendFigures f;
    const QString iface = "Tarvik.ITarvikObject";
    const auto all = Clock::now();
    for (int i = 0; i < calls; ++i) {
        const auto t0 = Clock::now();
        Call(bus, server, path, iface, "SendRawByte", {0x41 + i % 26});
        if (!AwaitBytes({display.master, merge.master}, 1, 5000)) break;
        f.latencyUs.push_back(MsSince(t0) * 1000);
    }
    f.sequentialRate = f.latencyUs.size() / (MsSince(all) / 1000);
    // Pipelined: the calls go out without waiting for replies, as a script that streams would.
    const auto t0 = Clock::now();
    for (int i = 0; i < calls; ++i) {
        QDBusMessage call = QDBusMessage::createMethodCall(server, path, iface, "SendRawByte");
        call << (0x61 + i % 26);
        bus.send(call);
    }
    if (AwaitBytes({display.master, merge.master}, static_cast<size_t>(calls), 60000))
        f.pipelinedRate = calls / (MsSince(t0) / 1000);
    return f;
}

std::vector<double> MeasureEvents(QDBusConnection& bus, const QString& server, const QString& path, const Pty& display,
                                  int rounds) {
    sinks sinks;
    bus.registerVirtualObject("/sinks", &sinks, QDBusConnection::SubPath);
    for (int s = 0; s < 100; ++s) {
        Call(bus, server, path, "Tarvik.IConnectionPoint", "Advise",
             {QVariant::fromValue(QDBusObjectPath("/sinks/s" + QString::number(s)))});
    }
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        // A form feed and a 12-character name field, new each round.
        std::string field = "\fBench " + std::to_string(r);
        field.resize(13, ' ');
        const int before = sinks.count;
        const auto t0 = Clock::now();
        if (write(display.master, field.data(), field.size()) != 13) break;
        if (!WaitFor([&] { return sinks.count >= before + 100; })) break;
        ms.push_back(std::chrono::duration<double, std::milli>(sinks.last - t0).count());
    }
    bus.unregisterObject("/sinks");
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string tarvik = fs::absolute(argc > 1 ? argv[1] : "build/app/tarvik").string();
    const int calls = argc > 2 ? std::atoi(argv[2]) : 5000;
    const bench::Rig rig = bench::MakeRig("tarvik-automation");
    const Pty& display = rig.display;
    const Pty& merge = rig.merge;
    // A private session bus whose only service folder of ours is the one /RegServer writes into.
    setenv("XDG_DATA_HOME", (rig.dir / "data").c_str(), 1);
    setenv("HOME", rig.dir.c_str(), 1);
    waitpid(bench::Spawn({tarvik, "/RegServer"}), nullptr, 0);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return 1;
    // The address comes back on the pipe; activations are logged to syslog only, not to this output.
    const pid_t daemon = bench::Spawn(
        {"dbus-daemon", "--session", "--nofork", "--syslog-only", "--print-address=" + std::to_string(pipeFds[1])});
    close(pipeFds[1]);
    char address[512] = {};
    const ssize_t n = read(pipeFds[0], address, sizeof address - 1);
    close(pipeFds[0]);
    if (daemon < 0 || n <= 0) return std::fprintf(stderr, "automation: dbus-daemon did not start\n"), 1;
    address[strcspn(address, "\n")] = '\0';
    setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);

    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLatin1(address), "bench");
    const std::vector<double> activation = MeasureActivation(bus, 10);

    const pid_t standAlone = bench::Spawn({tarvik});
    const bool opened = AwaitBytes({display.master, merge.master}, 6, 20000);  // its first mouse packet
    const QDBusMessage created =
        opened ? Call(bus, "Tarvik.TarvikObject", "/Tarvik", "Tarvik.ClassFactory", "CreateInstance") : QDBusMessage();
    const QString server = created.service(), path = created.arguments().value(0).value<QDBusObjectPath>().path();
    SendFigures sends;
    std::vector<double> events;
    if (created.type() == QDBusMessage::ReplyMessage) {
        sends = MeasureSends(bus, server, path, display, merge, calls);
        events = MeasureEvents(bus, server, path, display, 20);
        Call(bus, server, path, "Tarvik.ITarvikObject", "Release");
    } else {
        std::fprintf(stderr, "automation: the stand-alone run did not come up\n");
    }
    waitpid(standAlone, nullptr, 0);
    bench::stop(daemon);
    bench::RemoveRig(rig);

    std::printf("| %-44s | %5s | %9s | %9s | %9s |\n", "measurement", "n", "p50", "p99", "max");
    std::printf("|----------------------------------------------|-------|-----------|-----------|-----------|\n");
    Row("cold activation until CreateInstance returns", "ms", Summarise(activation));
    Row("SendRawByte until the byte is on both lines", "us", Summarise(sends.latencyUs));
    Row("InstrumentChanged at all of 100 sinks", "ms", Summarise(events));
    std::printf("\nSendRawByte calls a second: %.0f one after another, %.0f pipelined\n", sends.sequentialRate,
                sends.pipelinedRate);
    return 0;
}
