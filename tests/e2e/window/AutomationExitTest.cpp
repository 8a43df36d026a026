// The window's exit checks with a real client on a private bus: a client's object or lock counts
// as a connected client, "Exit" is refused and a close request asks while one is connected, and the
// last client's release closes the window.
#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>

#include "bus/BusServer.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

class AutomationExit : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Ok()) << bus.Errors();
        ASSERT_TRUE(harness.start());
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(tag + "client"); }

    // The server answers from this thread's event loop, so the client waits with it running.
    template <typename... Out>
    QDBusPendingReply<Out...> Call(const QString& path, const QString& interface, const QString& method,
                                   const QVariantList& args = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall("Tarvik.TarvikObject", path, interface, method);
        message.setArguments(args);
        QDBusPendingReply<Out...> reply = client.asyncCall(message);
        WaitUntil([&] {
            QCoreApplication::processEvents();
            return reply.isFinished();
        });
        return reply;
    }
    // `tarvikctl quit`, with this process's event loop running until it has ended.
    int quit(const char* name) {
        ChildProcess ctl({TARVIKCTL_EXE, "quit"}, (sandbox.Dir() / name).string(),
                         {"DBUS_SESSION_BUS_ADDRESS=" + bus.Address()});
        WaitUntil([&] {
            QCoreApplication::processEvents();
            harness.Pump();
            // Tarvik leaves the bus, as it does once its event loop has ended, when the window has gone.
            if (harness.destroyed) harness.app.exitInstance();
            return !ctl.running();
        });
        errors = ctl.Errors();
        return ctl.wait(std::chrono::milliseconds(0)).value_or(-1);
    }

    TestSandbox sandbox;
    PrivateBus bus{sandbox.Dir(), sandbox.Dir() / "services"};
    const QString address = QString::fromStdString(bus.Address());
    // Connections are named per test: a name is the connection for the whole process.
    const QString tag = QString::fromStdString(sandbox.Dir().filename().string());
    FakeSettings settings;
    Harness harness{settings, {"tarvik"}, /*mouseCapture=*/true, [this](TarvikModule& module) {
                        return std::make_unique<BusServer>(
                            module, [this] { return QDBusConnection::connectToBus(address, tag + "window"); });
                    }};
    QDBusConnection client = QDBusConnection::connectToBus(address, tag + "client");
    std::string errors;
};

TEST_F(AutomationExit, ABusClientRefusesExitAndItsReleaseClosesTheWindow) {
    const auto created = Call<QDBusObjectPath>("/Tarvik", "Tarvik.ClassFactory", "CreateInstance");
    ASSERT_TRUE(created.isValid()) << created.error().message().toStdString();
    EXPECT_EQ(harness.module.getLockCount(), 1);

    harness.window->onCommand(CommandMenuExit);
    EXPECT_EQ(harness.window->getDisplayText(), "Can't Exit: 1 Client ");
    EXPECT_FALSE(harness.destroyed);

    // Released by its owner: the last client is gone and the window closes without a question.
    const QString owner = created.reply().service();
    QDBusPendingCall released = client.asyncCall(
        QDBusMessage::createMethodCall(owner, created.value().path(), "Tarvik.ITarvikObject", "Release"));
    EXPECT_TRUE(WaitUntil([&] {
        QCoreApplication::processEvents();
        harness.Pump();
        return harness.destroyed;
    }));
    EXPECT_TRUE(harness.box.shown.empty());
}

TEST_F(AutomationExit, ACloseRequestAsksWhileAClientIsConnectedAndNoKeepsEverything) {
    ASSERT_FALSE(Call("/Tarvik", "Tarvik.ClassFactory", "LockServer", {true}).isError());
    ASSERT_EQ(harness.module.getLockCount(), 1);

    harness.box.answer = IDNO;
    EXPECT_EQ(quit("no"), 1) << "refused";
    EXPECT_NE(errors.find("Tarvik.Error.Refused"), std::string::npos) << errors;
    ASSERT_EQ(harness.box.shown.size(), 1u);
    EXPECT_EQ(harness.box.shown[0].text, "Warning: 1 Client connected\nExit Application?");
    EXPECT_EQ(harness.box.shown[0].flags, MB_YESNO | MB_ICONHAND | MB_DEFBUTTON2);

    // The session's end: not asked where the session allows no question, cancelled by a No.
    EXPECT_TRUE(harness.window->onSessionEnd([] { return false; }));
    EXPECT_EQ(harness.box.shown.size(), 1u);
    EXPECT_FALSE(harness.window->onSessionEnd([] { return true; }));
    EXPECT_EQ(harness.box.shown.size(), 2u);
    EXPECT_FALSE(harness.destroyed);
    EXPECT_EQ(harness.module.getLockCount(), 1);

    // Yes ends Tarvik with its shutdown work, and tarvikctl returns once it has left the bus.
    harness.box.answer = IDYES;
    EXPECT_EQ(quit("yes"), 0) << errors;
    EXPECT_EQ(harness.box.shown.size(), 3u);
    EXPECT_TRUE(harness.destroyed);
    EXPECT_EQ(harness.shutdowns, 1);
}

}  // namespace
}  // namespace tarvik::test
