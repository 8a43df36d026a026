// tarvikctl against a running Tarvik and where there is no bus, and registration of an executable
// wherever it lies.
#include <algorithm>

#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/integration/automation/BusFixture.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

Lines splitLines(const std::string& text) {
    Lines lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// dbus-monitor's log: the member of every signal and call, in the order the bus passed them.
Lines Members(const std::string& log) {
    Lines members;
    for (const std::string& line : splitLines(log)) {
        const size_t at = line.find("member=");
        if (at != std::string::npos && (line.rfind("signal ", 0) == 0 || line.rfind("method call ", 0) == 0))
            members.push_back(line.substr(at + 7));
    }
    return members;
}

class Tools : public BusFixture {
protected:
    // tarvikctl's exit status and output, within 15 s.
    std::pair<int, std::string> Ctl(std::vector<std::string> args, std::vector<std::string> env = {}) {
        args.insert(args.begin(), TARVIKCTL_EXE);
        auto ctl = run(std::move(args), "ctl" + std::to_string(++m_runs), std::move(env));
        const std::optional<int> status = ctl->wait();
        return {status.value_or(-999), ctl->Output() + ctl->Errors()};
    }
    int m_runs = 0;
};

TEST_F(Tools, TarvikctlDrivesTheRunningTarvikWithoutHoldingIt) {
    StartStandAlone();
    auto watch = run({TARVIKCTL_EXE, "watch"}, "watch");
    auto json = run({TARVIKCTL_EXE, "watch", "--json"}, "watch-json");
    // The watchers listen once their match rules are in place, which cannot be seen from outside:
    // the instrument announces names until both have printed one.
    int polls = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (polls++ % 15 == 0) sim->write("name Probe " + std::to_string(polls) + "\n");
        return watch->Output().find(" Probe ") != std::string::npos &&
               json->Output().find("Probe") != std::string::npos;
    }));

    EXPECT_EQ(Ctl({"send", "\fi1\r"}).first, 0);
    ASSERT_TRUE(WaitUntil([&] { return json->Output().find("\"name\":\"Instrument 1\"") != std::string::npos; }))
        << json->Output() << json->Errors();
    ASSERT_TRUE(WaitUntil([&] { return watch->Output().find(" Instrument 1\n") != std::string::npos; }));
    EXPECT_EQ(Ctl({"name"}), (std::pair<int, std::string>{0, "Instrument 1\n"}));
    EXPECT_EQ(Ctl({"byte", "0x1b"}).first, 0);
    EXPECT_EQ(Ctl({"mouse", "10", "20", "--active"}).first, 0);
    EXPECT_EQ(Ctl({"click"}).first, 0);
    // Both lines' copies, the Merge Port's logged after the Display Port's.
    const std::vector<std::string> sent{"key 0x1b ESC", "packet x=10 y=20", "packet x=10 y=20 active",
                                        "packet x=10 y=20 active button", "packet x=10 y=20 active"};
    const auto lastFive = [this] { return LogLines(std::max<size_t>(LogLines(0).size(), 5) - 5); };
    WaitUntil([&] { return lastFive() == sent; });
    EXPECT_EQ(lastFive(), sent);

    EXPECT_EQ(Ctl({"send", std::string(5000, 'a')}).first, 1) << "refused";
    EXPECT_EQ(Ctl({"byte", "256"}).first, 2) << "bad command line";
    watch->Signal(SIGINT);
    EXPECT_EQ(watch->wait(), 0);
    EXPECT_TRUE(tarvik->running());

    // None of that held a lock: one client of the specified model creating and releasing its
    // object is the last client, and ends the run.
    QDBusConnection a = Client("a");
    const QDBusMessage created = createInstance(a);
    Call(a, created.service(), created.arguments().value(0).value<QDBusObjectPath>().path(), "Tarvik.ITarvikObject",
         "Release");
    EXPECT_EQ(tarvik->wait(), 0);
    // On standard error: each line's state once per change, the first opening included, and why
    // the run ended.
    Lines said;
    for (const std::string& line : splitLines(tarvik->Errors())) {
        const bool state = line.rfind("tarvik: Display: COM1 ", 0) == 0 || line.rfind("tarvik: Merge: COM2 ", 0) == 0;
        if (state) said.push_back(line.substr(8, line.find(':', 8) - 8) + line.substr(line.rfind(',') + 1));
        if (line.find("last automation client") != std::string::npos) said.push_back(line);
    }
    EXPECT_EQ(said, (Lines{"Display open", "Merge open",
                           "tarvik: the last automation client has let go, so this run ends (clients of "
                           "Tarvik.Control hold no lock and end nothing)",
                           "Display closed", "Merge closed"}))
        << tarvik->Errors();
    EXPECT_EQ(json->wait(), 3) << "the watch ends with Tarvik";
    EXPECT_EQ(Ctl({"name"}).first, 3) << "not running; nothing is activated for tarvikctl";
    EXPECT_FALSE(HasOwner("Tarvik.TarvikObject"));
    EXPECT_EQ(Ctl({"name"}, {"DBUS_SESSION_BUS_ADDRESS=disabled:"}).first, 4) << "no bus";
}

TEST_F(Tools, MonitorPrintsTheTrafficExactlyAndTheBusCarriesItOnlyWhileSomeoneIsSubscribed) {
    StartStandAlone();
    QDBusConnection probe = Client("probe-monitor");
    const auto call = [&](const QString& interface, const QString& method, const QVariantList& args = {}) {
        return Call(probe, "Tarvik.Control", "/Tarvik/Control", interface, method, args);
    };
    const auto subscribers = [&] {
        return call("org.freedesktop.DBus.Properties", "Get", {"Tarvik.Monitor", "Subscribers"})
            .arguments()
            .value(0)
            .value<QDBusVariant>()
            .variant()
            .toUInt();
    };
    // Everything that passes on the bus, whoever it is meant for; a ping marks a moment in it.
    auto spy = run({"/usr/bin/dbus-monitor", "--address", bus->Address()}, "spy");
    const auto ping = [&] { call("org.freedesktop.DBus.Peer", "Ping"); };
    const auto seen = [&](const std::string& member) {
        const Lines m = Members(spy->Output());
        return std::count(m.begin(), m.end(), member);
    };
    ASSERT_TRUE(WaitUntil([&] { return ping(), seen("Ping") > 0; })) << spy->Errors();

    // Nobody subscribed: a key goes out and a name comes in.
    EXPECT_EQ(Ctl({"send", "q"}).first, 0);
    sim->write("name Quiet\n");
    ASSERT_TRUE(WaitUntil([&] { return seen("InstrumentChanged") == 1; }));

    auto json = run({TARVIKCTL_EXE, "monitor", "--json"}, "monitor-json");
    auto text = run({TARVIKCTL_EXE, "monitor"}, "monitor");
    ASSERT_TRUE(WaitUntil([&] { return subscribers() == 2; })) << json->Errors() << text->Errors();
    const auto printed = [&](size_t count) {
        return WaitUntil(
            [&] { return splitLines(json->Output()).size() >= count && splitLines(text->Output()).size() >= count; });
    };
    EXPECT_EQ(Ctl({"send", "a"}).first, 0);
    EXPECT_EQ(Ctl({"mouse", "10", "20"}).first, 0);
    // One line at a time: the two lines' listeners are not ordered against each other.
    sim->write("key F1\n");
    ASSERT_TRUE(printed(7));
    sim->write("name Probe\n");
    ASSERT_TRUE(printed(8));

    Lines shown;
    for (const std::string& line : splitLines(text->Output())) shown.push_back(line.substr(13));  // after the time
    EXPECT_EQ(shown, (Lines{"display out  61  key 0x61 'a'", "merge   out  61  key 0x61 'a'",
                            "display out  80 E0 EA E0 EB FF  packet x=10 y=20",
                            "merge   out  80 E0 EA E0 EB FF  packet x=10 y=20", "merge   in   81  key 0x81 F1",
                            "display out  81  key 0x81 F1", "merge   out  81  key 0x81 F1",
                            "display in   0C 50 72 6F 62 65 20 20 20 20 20 20 20  name \"Probe       \""}));
    const Lines objects = splitLines(json->Output());
    ASSERT_EQ(objects.size(), shown.size());
    const auto parsed = [&](size_t i) {
        return QJsonDocument::fromJson(QByteArray::fromStdString(objects[i])).object();
    };
    for (size_t i = 0; i < objects.size(); ++i) {
        const QJsonObject item = parsed(i);
        EXPECT_EQ(item["seq"].toInteger(), parsed(0)["seq"].toInteger() + qint64(i)) << "in order, none left out";
        EXPECT_TRUE(shown[i].ends_with("  " + item["decoded"].toString().toStdString())) << objects[i];
    }
    EXPECT_NE(objects[2].find(R"("x":10,"y":20,"flags":[])"), std::string::npos) << objects[2];
    EXPECT_NE(objects[4].find(R"("key":129,"name":"F1")"), std::string::npos) << objects[4];
    EXPECT_NE(objects[7].find(R"("text":"Probe       ")"), std::string::npos) << objects[7];

    // A subscription is one per connection; it ends by Unsubscribe or with the connection.
    QDBusConnection other = Client("subscriber");
    for (const char* method : {"Subscribe", "Subscribe"})
        Call(other, "Tarvik.Control", "/Tarvik/Control", "Tarvik.Monitor", method);
    EXPECT_EQ(subscribers(), 3u);
    Call(other, "Tarvik.Control", "/Tarvik/Control", "Tarvik.Monitor", "Unsubscribe");
    EXPECT_EQ(subscribers(), 2u);
    text->Signal(SIGTERM);
    EXPECT_EQ(text->wait(), 0);
    json->Signal(SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return subscribers() == 0; })) << "the killed subscriber is let go";
    ping();
    EXPECT_EQ(Ctl({"send", "z"}).first, 0);
    sim->write("name Gone\n");
    ASSERT_TRUE(WaitUntil([&] { return seen("InstrumentChanged") == 3; }));

    const Lines m = Members(spy->Output());
    const auto subscribed = std::find(m.begin(), m.end(), "Subscribe");
    const auto lastPing = std::find(m.rbegin(), m.rend(), "Ping").base();
    EXPECT_EQ(std::count(m.begin(), subscribed, "Traffic"), 0) << "nothing on the bus before anyone subscribed";
    EXPECT_EQ(std::count(subscribed, lastPing, "Traffic"), 8);
    EXPECT_EQ(std::count(lastPing, m.end(), "Traffic"), 0) << "nothing on the bus once nobody is subscribed";

    // With no client connected quit asks nothing, and tarvikctl returns once Tarvik has gone.
    EXPECT_EQ(Ctl({"quit"}).first, 0);
    EXPECT_FALSE(HasOwner("Tarvik.Control"));
    EXPECT_EQ(tarvik->wait(), 0);
}

// The processes whose environment holds `mark` (NAME=value), that is, whatever was started on
// behalf of a program given it.
std::vector<pid_t> Marked(const std::string& mark) {
    std::vector<pid_t> found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        std::stringstream env(ReadWhole((entry.path() / "environ").string()));
        for (std::string item; std::getline(env, item, '\0');) {
            if (item == mark) found.push_back(std::stoi(pid));
        }
    }
    return found;
}

// Without a bus address tarvikctl goes to the user's bus in the runtime folder, and where there is
// none it says so: it never has a bus started, which the bus library does on an X display.
TEST_F(Tools, TarvikctlFindsTheUsersBusAndNeverStartsOne) {
    const fs::path runtime = sandbox.Dir() / "runtime";
    fs::create_directories(runtime);
    const std::string noAddress = "DBUS_SESSION_BUS_ADDRESS=";
    {
        PrivateBus user(runtime, sandbox.Dir() / "no-services", {}, "unix:path=" + (runtime / "bus").string());
        ASSERT_TRUE(user.Ok()) << user.Errors();
        const auto [status, said] = Ctl({"name"}, {noAddress, "XDG_RUNTIME_DIR=" + runtime.string()});
        EXPECT_EQ(status, 3) << said;
        EXPECT_NE(said.find("Tarvik is not running"), std::string::npos) << said;
    }

    if (!fs::exists("/usr/bin/Xvfb")) GTEST_SKIP() << "no Xvfb for the display the bus library would use";
    auto xvfb = run({"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp"}, "xvfb");
    ASSERT_TRUE(WaitUntil([&] { return xvfb->Output().find('\n') != std::string::npos || !xvfb->running(); }));
    ASSERT_TRUE(xvfb->running()) << xvfb->Errors();
    const std::string display = "DISPLAY=:" + xvfb->Output().substr(0, xvfb->Output().find('\n'));
    const std::string mark = "TARVIK_TEST_MARK=" + std::to_string(::getpid());
    const std::string empty = "XDG_RUNTIME_DIR=" + (sandbox.Dir() / "no-services").string();
    for (const std::string& address : {noAddress, noAddress + "autolaunch:"}) {
        const auto [status, said] = Ctl({"name"}, {address, empty, display, mark});
        EXPECT_EQ(status, 4) << address << ": " << said;
        EXPECT_EQ(said.rfind("tarvikctl: no session bus: ", 0), 0u) << said;
        const std::vector<pid_t> started = Marked(mark);
        EXPECT_TRUE(started.empty()) << address << ": a bus was started for tarvikctl";
        for (const pid_t pid : started) ::kill(pid, SIGKILL);
    }
    xvfb->Signal(SIGTERM);
    xvfb->wait();
}

TEST_F(Tools, RegistrationWorksWhereverTheExecutableLies) {
    // Beside the build's own executable, so that a hard link will do.
    const fs::path dir = fs::path(std::getenv("HOME")) / ("it's a \"quoted\" $dir " + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path exe = dir / "tarvik";
    std::error_code ec;
    fs::create_hard_link(TARVIK_EXE, exe, ec);
    if (ec) fs::copy_file(TARVIK_EXE, exe);
    const fs::path data = sandbox.Dir() / "elsewhere";
    const std::vector<std::string> env{"XDG_DATA_HOME=" + data.string()};

    auto reg = run({exe.string(), "/RegServer"}, "reg", env);
    EXPECT_EQ(reg->wait(), 0) << reg->Errors();
    EXPECT_EQ(std::distance(fs::directory_iterator(data / "dbus-1/interfaces"), fs::directory_iterator()), 6);

    // A bus that knows only that service folder starts exactly that file.
    PrivateBus other(sandbox.Dir() / "elsewhere", data / "dbus-1/services", {"TARVIK_TEST_IDLE_EXIT_MS=1000"});
    ASSERT_TRUE(other.Ok());
    QDBusConnection c = QDBusConnection::connectToBus(QString::fromStdString(other.Address()), "other");
    const auto started = c.interface()->startService("Tarvik.TarvikObject");
    EXPECT_TRUE(started.isValid()) << started.error().message().toStdString();
    const uint32_t pid = c.interface()->servicePid("Tarvik.TarvikObject").value();
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/exe"), exe);
    QDBusConnection::disconnectFromBus("other");

    auto unreg = run({exe.string(), "-UnregServer"}, "unreg", env);
    EXPECT_EQ(unreg->wait(), 0) << unreg->Errors();
    EXPECT_FALSE(fs::exists(data / "dbus-1/services/Tarvik.TarvikObject.service"));
    EXPECT_TRUE(fs::is_empty(data / "dbus-1/interfaces"));

    // A folder that cannot be made is a failure, said so, and not a silent 0.
    auto failed = run({exe.string(), "/RegServer"}, "failed", {"XDG_DATA_HOME=/proc/tarvik-cannot-exist"});
    EXPECT_EQ(failed->wait(), 1);
    EXPECT_NE(failed->Errors().find("tarvik: cannot create /proc/tarvik-cannot-exist"), std::string::npos)
        << failed->Errors();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvik::test
