// The automation server as clients meet it: the real executable on a private bus, activated
// through the service file that /RegServer wrote, with the simulator at the far ends of its lines.
#include <QDBusObjectPath>
#include <QDBusVariant>

#include "tests/integration/automation/BusFixture.h"

namespace tarvik::test {
namespace {

using Lines = std::vector<std::string>;
const QString kObject = "Tarvik.ITarvikObject";
const QString kPoint = "Tarvik.IConnectionPoint";

QString PathOf(const QDBusMessage& reply) { return reply.arguments().value(0).value<QDBusObjectPath>().path(); }

TEST_F(BusFixture, ObjectSendsReachBothLinesBadCallsChangeNothingAndReleaseEndsTheRun) {
    StartStandAlone();
    QDBusConnection a = Client("a"), b = Client("b");
    const QDBusMessage created = createInstance(a);
    ASSERT_EQ(created.type(), QDBusMessage::ReplyMessage) << created.errorMessage().toStdString();
    const QString server = created.service(), path = PathOf(created);
    EXPECT_EQ(Pid(server), static_cast<uint32_t>(tarvik->Pid())) << "the running stand-alone run serves the client";
    EXPECT_EQ(path, "/Tarvik/TarvikObject/1");

    const size_t from = LogLines(0).size();
    const auto call = [&](const QString& method, const QVariantList& args) {
        return Call(a, server, path, kObject, method, args);
    };
    call("SendString", {QString::fromUtf8("\xC3\xA9!")});
    call("SendRawByte", {0x141});
    call("SetMousePosition", {QVariant::fromValue<short>(1024), QVariant::fromValue<short>(5)});
    call("SetMouseActive", {true});
    call("SetMouseButton", {true});
    call("SetMouseButton", {false});
    const QDBusMessage tooLong = call("SendString", {QString(5000, 'a')});
    const QDBusMessage wrongType = call("SendRawByte", {QString("x")});
    const QDBusMessage foreign = Call(b, server, path, kObject, "Release");
    const QDBusMessage unlock = Call(b, server, "/Tarvik", "Tarvik.ClassFactory", "LockServer", {false});
    call("SendRawByte", {'Z'});

    EXPECT_EQ(tooLong.errorName(), "org.freedesktop.DBus.Error.LimitsExceeded");
    EXPECT_EQ(wrongType.type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(foreign.errorName(), "org.freedesktop.DBus.Error.AccessDenied");
    EXPECT_EQ(unlock.errorName(), "org.freedesktop.DBus.Error.AccessDenied") << "b holds no lock to release";
    ASSERT_TRUE(WaitForLog("key 0x5a 'Z'"));
    const Lines expected{"key 0xe9",
                         "key 0x21 '!'",
                         "key 0x41 'A'",
                         "packet x=0 y=5",
                         "packet x=0 y=5 active",
                         "packet x=0 y=5 active button",
                         "packet x=0 y=5 active",
                         "key 0x5a 'Z'"};
    // The simulator logs the Display Port's copy first: the Merge Port's may still be on its way.
    WaitUntil([&] { return LogLines(from) == expected; });
    EXPECT_EQ(LogLines(from), expected) << "one packet per mouse call, nothing of the refused text";
    EXPECT_TRUE(WaitUntil([&] { return LogLines(from, true) == expected; })) << "the display line gets the same";

    // The one client lets go: the run the user started ends, as a last client leaving ends it.
    EXPECT_EQ(Call(a, server, path, kObject, "Release").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(tarvik->wait(), 0);
}

TEST_F(BusFixture, EverySinkHearsEachNewNameOnceInSlotOrder) {
    StartStandAlone();
    QDBusConnection a = Client("a");
    SinkRecorder sinks;
    ASSERT_TRUE(a.registerVirtualObject("/sinks", &sinks, QDBusConnection::SubPath));
    const QDBusMessage created = createInstance(a);
    const QString server = created.service(), path = PathOf(created);
    const auto advise = [&](const char* sink) {
        return Call(a, server, path, kPoint, "Advise", {QVariant::fromValue(QDBusObjectPath(sink))})
            .arguments()
            .value(0);
    };
    const QVariant first = advise("/sinks/first");
    advise("/sinks/second");
    const auto heard = [&](size_t count) { return WaitWithEvents([&] { return sinks.Events().size() >= count; }); };

    sim->write("name Instrument 1\n");
    ASSERT_TRUE(heard(2));
    sim->write("name Instrument 1\nname Sys Config\n");  // the repeat is no change
    ASSERT_TRUE(heard(4));
    // The first sink leaves; the next one to connect takes its slot and is called first.
    EXPECT_EQ(Call(a, server, path, kPoint, "Unadvise", {first}).type(), QDBusMessage::ReplyMessage);
    advise("/sinks/third");
    sim->write("name Directory\n");
    ASSERT_TRUE(heard(6));
    EXPECT_EQ(sinks.Events(),
              (Lines{"/sinks/first Instrument 1", "/sinks/second Instrument 1", "/sinks/first Sys Config  ",
                     "/sinks/second Sys Config  ", "/sinks/third Directory   ", "/sinks/second Directory   "}));
}

TEST_F(BusFixture, EachClientGetsAProcessOfItsOwnWhichEndsWhenTheClientIsKilled) {
    QDBusConnection a = Client("a");
    const QDBusMessage first = createInstance(a);
    ASSERT_EQ(first.type(), QDBusMessage::ReplyMessage) << first.errorMessage().toStdString();

    // A second client, in a process the test can kill outright.
    auto client = run({"/usr/bin/python3", "-c",
                       "import dbus, os, time\n"
                       "bus = dbus.bus.BusConnection(os.environ['DBUS_SESSION_BUS_ADDRESS'])\n"
                       "factory = bus.get_object('Tarvik.TarvikObject', '/Tarvik')\n"
                       "factory.CreateInstance(dbus_interface='Tarvik.ClassFactory')\n"
                       "print(factory.bus_name, flush=True)\n"
                       "time.sleep(3600)\n"},
                      "client");
    ASSERT_TRUE(WaitUntil([&] { return client->Output().find('\n') != std::string::npos || !client->running(); }))
        << client->Errors();
    const QString second = QString::fromStdString(client->Output()).trimmed();
    ASSERT_TRUE(second.startsWith(':')) << client->Errors();
    EXPECT_NE(second, first.service());
    EXPECT_NE(Pid(second), Pid(first.service())) << "single use: the second client started a process of its own";

    client->Signal(SIGKILL);
    EXPECT_TRUE(WaitUntil([&] { return !HasOwner(second); }))
        << "its server ends once the killed client's lock is gone";
    EXPECT_TRUE(HasOwner(first.service()));
}

class IdleBusFixture : public BusFixture {
protected:
    std::vector<std::string> BusEnvironment() override { return {"TARVIK_TEST_IDLE_EXIT_MS=1500"}; }
};

TEST_F(IdleBusFixture, AnUnreachedRunEndsItselfAndAServerLockKeepsOneAlive) {
    QDBusConnection a = Client("a");
    const QString factory = "Tarvik.ClassFactory";
    // A run slower to start than its time-out (a loaded machine) ends, and says so to a call that
    // reaches it meanwhile; calling again starts a new one, as the error tells a client to.
    QDBusMessage locked;
    for (int attempt = 0; attempt < 5; ++attempt) {
        locked = Call(a, "Tarvik.TarvikObject", "/Tarvik", factory, "LockServer", {true});
        if (!locked.errorMessage().startsWith("Tarvik is ending")) break;
    }
    ASSERT_EQ(locked.type(), QDBusMessage::ReplyMessage) << locked.errorMessage().toStdString();
    const QString held = locked.service();
    const QDBusMessage created = createInstance(a);  // the name is given up: the next start is a new run
    ASSERT_EQ(created.service(), held);
    // What keeps the run now is one server lock and no object.
    EXPECT_EQ(Call(a, held, PathOf(created), kObject, "Release").type(), QDBusMessage::ReplyMessage);

    const QDBusMessage started = Call(a, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "StartServiceByName", {"Tarvik.TarvikObject", 0u});
    ASSERT_EQ(started.type(), QDBusMessage::ReplyMessage) << started.errorMessage().toStdString();
    const QString idle = Probe().serviceOwner("Tarvik.TarvikObject").value();
    ASSERT_TRUE(idle.startsWith(':'));
    EXPECT_TRUE(WaitUntil([&] { return !HasOwner(idle); })) << "nobody reached it: it ends after its time-out";

    // The locked run started earlier, so its time-out has passed too: it still answers until its
    // lock is released.
    const QDBusMessage again = Call(a, held, "/Tarvik", factory, "LockServer", {true});
    EXPECT_EQ(again.type(), QDBusMessage::ReplyMessage) << "its time-out found the lock: it is not ending";
    EXPECT_EQ(Call(a, held, "/Tarvik", factory, "LockServer", {false}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(Call(a, held, "/Tarvik", factory, "LockServer", {false}).type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(WaitUntil([&] { return !HasOwner(held); }));
}

}  // namespace
}  // namespace tarvik::test
