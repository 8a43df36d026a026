// tarvikctl against a running Tarvik, and registration of an executable wherever it lies.
#include <QDBusObjectPath>

#include "tests/integration/automation/BusFixture.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;

class Tools : public BusFixture {
protected:
    // tarvikctl's exit status and output, within 15 s.
    std::pair<int, std::string> Ctl(std::vector<std::string> args, std::vector<std::string> env = {}) {
        args.insert(args.begin(), TARVIKCTL_EXE);
        auto ctl = Run(std::move(args), "ctl" + std::to_string(++runs_), std::move(env));
        const std::optional<int> status = ctl->Wait();
        return {status.value_or(-999), ctl->Output() + ctl->Errors()};
    }
    int runs_ = 0;
};

TEST_F(Tools, TarvikctlDrivesTheRunningTarvikWithoutHoldingIt) {
    StartStandAlone();
    auto watch = Run({TARVIKCTL_EXE, "watch"}, "watch");
    auto json = Run({TARVIKCTL_EXE, "watch", "--json"}, "watch-json");
    // The watchers listen once their match rules are in place, which cannot be seen from outside:
    // the instrument announces names until both have printed one.
    int polls = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (polls++ % 15 == 0) sim->Write("name Probe " + std::to_string(polls) + "\n");
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
    ASSERT_TRUE(WaitForLog("packet x=10 y=20 active button"));
    EXPECT_EQ(LogLines(LogLines(0).size() - 5),
              (std::vector<std::string>{"key 0x1b ESC", "packet x=10 y=20", "packet x=10 y=20 active",
                                        "packet x=10 y=20 active button", "packet x=10 y=20 active"}));

    EXPECT_EQ(Ctl({"send", std::string(5000, 'a')}).first, 1) << "refused";
    EXPECT_EQ(Ctl({"byte", "256"}).first, 2) << "bad command line";
    watch->Signal(SIGINT);
    EXPECT_EQ(watch->Wait(), 0);
    EXPECT_TRUE(tarvik->Running());

    // None of that held a lock: one client of the specified model creating and releasing its
    // object is the last client, and ends the run.
    QDBusConnection a = Client("a");
    const QDBusMessage created = CreateInstance(a);
    Call(a, created.service(), created.arguments().value(0).value<QDBusObjectPath>().path(), "Tarvik.ITarvikObject",
         "Release");
    EXPECT_EQ(tarvik->Wait(), 0);
    EXPECT_EQ(json->Wait(), 3) << "the watch ends with Tarvik";
    EXPECT_EQ(Ctl({"name"}).first, 3) << "not running; nothing is activated for tarvikctl";
    EXPECT_FALSE(HasOwner("Tarvik.TarvikObject"));
    EXPECT_EQ(Ctl({"name"}, {"DBUS_SESSION_BUS_ADDRESS=disabled:"}).first, 4) << "no bus";
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

    auto reg = Run({exe.string(), "/RegServer"}, "reg", env);
    EXPECT_EQ(reg->Wait(), 0) << reg->Errors();
    EXPECT_EQ(std::distance(fs::directory_iterator(data / "dbus-1/interfaces"), fs::directory_iterator()), 5);

    // A bus that knows only that service folder starts exactly that file.
    PrivateBus other(sandbox.Dir() / "elsewhere", data / "dbus-1/services", {"TARVIK_TEST_IDLE_EXIT_MS=1000"});
    ASSERT_TRUE(other.Ok());
    QDBusConnection c = QDBusConnection::connectToBus(QString::fromStdString(other.Address()), "other");
    const auto started = c.interface()->startService("Tarvik.TarvikObject");
    EXPECT_TRUE(started.isValid()) << started.error().message().toStdString();
    const uint32_t pid = c.interface()->servicePid("Tarvik.TarvikObject").value();
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/exe"), exe);
    QDBusConnection::disconnectFromBus("other");

    auto unreg = Run({exe.string(), "-UnregServer"}, "unreg", env);
    EXPECT_EQ(unreg->Wait(), 0) << unreg->Errors();
    EXPECT_FALSE(fs::exists(data / "dbus-1/services/Tarvik.TarvikObject.service"));
    EXPECT_TRUE(fs::is_empty(data / "dbus-1/interfaces"));

    // A folder that cannot be made is a failure, said so, and not a silent 0.
    auto failed = Run({exe.string(), "/RegServer"}, "failed", {"XDG_DATA_HOME=/proc/tarvik-cannot-exist"});
    EXPECT_EQ(failed->Wait(), 1);
    EXPECT_NE(failed->Errors().find("tarvik: cannot create /proc/tarvik-cannot-exist"), std::string::npos)
        << failed->Errors();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tarvik::test
