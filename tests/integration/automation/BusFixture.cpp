#include "tests/integration/automation/BusFixture.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>

namespace tarvik::test {
namespace {

QCoreApplication& EnsureCoreApplication() {
    static int argc = 1;
    static char name[] = "tarvik-bus-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

bool IsLineOf(const std::string& line, bool display) {
    const bool fromDisplay = line.rfind("display ", 0) == 0;
    const std::string item = fromDisplay ? line.substr(8) : line;
    return fromDisplay == display && (item.rfind("key ", 0) == 0 || item.rfind("packet ", 0) == 0);
}

}  // namespace

bool SinkRecorder::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(message.path().toStdString() + " " + message.arguments().value(0).toString().toStdString());
    return true;
}

std::vector<std::string> SinkRecorder::Events() {
    std::lock_guard lock(m_mutex);
    return m_events;
}

void BusFixture::SetUp() {
    EnsureCoreApplication();
    dataDir = sandbox.Dir() / "data";
    auto reg = run({TARVIK_EXE, "/RegServer"}, "register", {"XDG_DATA_HOME=" + dataDir.string()});
    ASSERT_EQ(reg->wait(), 0) << reg->Errors();
    std::vector<std::string> env = BusEnvironment();
    env.push_back("XDG_DATA_HOME=" + dataDir.string());
    bus = std::make_unique<PrivateBus>(sandbox.Dir(), dataDir / "dbus-1/services", env);
    ASSERT_TRUE(bus->Ok()) << bus->Errors();
}

void BusFixture::TearDown() {
    // Runs the bus started are not the test's children: end them by their process ids.
    if (bus && bus->Ok()) {
        for (const QString& name : Probe().registeredServiceNames().value()) {
            const uint32_t pid = name.startsWith(':') ? Pid(name) : 0;
            if (pid != 0 && pid != static_cast<uint32_t>(::getpid())) ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
    clients.push_back("probe");
    for (const QString& name : clients) QDBusConnection::disconnectFromBus(name);
}

QDBusConnection BusFixture::Client(const QString& name) {
    clients.push_back(name);
    return QDBusConnection::connectToBus(QString::fromStdString(bus->Address()), name);
}

QDBusMessage BusFixture::Call(const QDBusConnection& client, const QString& service, const QString& path,
                              const QString& interface, const QString& method, const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    return client.call(call, QDBus::Block, 10000);
}

QDBusMessage BusFixture::createInstance(const QDBusConnection& client, const QString& service) {
    return Call(client, service, "/Tarvik", "Tarvik.ClassFactory", "CreateInstance");
}

QDBusConnectionInterface& BusFixture::Probe() {
    return *QDBusConnection::connectToBus(QString::fromStdString(bus->Address()), "probe").interface();
}

bool BusFixture::HasOwner(const QString& name) { return Probe().isServiceRegistered(name).value(); }

uint32_t BusFixture::Pid(const QString& name) { return Probe().servicePid(name).value(); }

std::unique_ptr<ChildProcess> BusFixture::run(std::vector<std::string> argv, const std::string& name,
                                              std::vector<std::string> env) {
    // First, so that the caller's own entries win.
    if (bus) env.insert(env.begin(), "DBUS_SESSION_BUS_ADDRESS=" + bus->Address());
    return std::make_unique<ChildProcess>(std::move(argv), (sandbox.Dir() / name).string(), std::move(env));
}

void BusFixture::StartStandAlone() {
    const std::string ready = (sandbox.Dir() / "sim.ready").string();
    sim = run({ONDRIX_SIM_EXE, "--ports-dir", sandbox.PortsDir(), "--machine-hive", sandbox.MachineHive(), "--log",
               (sandbox.Dir() / "sim.log").string(), "--show-display", "--quiet", "--once-ready", ready},
              "sim");
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(ready); })) << sim->Errors();
    tarvik = run({TARVIK_EXE}, "tarvik");
    ASSERT_TRUE(WaitUntil([&] { return HasOwner("Tarvik.Control") || !tarvik->running(); })) << tarvik->Errors();
    ASSERT_TRUE(tarvik->running()) << tarvik->Errors();
    // Its lines are open once its first mouse packet has arrived.
    ASSERT_TRUE(WaitUntil([&] { return !LogLines(0).empty(); }));
}

std::vector<std::string> BusFixture::LogLines(size_t from, bool display) {
    std::stringstream log(ReadWhole((sandbox.Dir() / "sim.log").string()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) {
        if (IsLineOf(line, display)) lines.push_back(display ? line.substr(8) : line);
    }
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())));
    return lines;
}

bool BusFixture::WaitForLog(const std::string& line) {
    return WaitUntil([&] { return ReadWhole((sandbox.Dir() / "sim.log").string()).find(line) != std::string::npos; });
}

bool BusFixture::WaitWithEvents(const std::function<bool()>& done) {
    return WaitUntil([&] {
        QCoreApplication::processEvents();
        return done();
    });
}

}  // namespace tarvik::test
