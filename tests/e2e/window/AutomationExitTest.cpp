// The window's exit checks with a real client on a private bus: a client's object counts as a
// connected client, and its release closes the window.
#include <gtest/gtest.h>

#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>

#include "automation/dbus/BusServer.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/FakeSettings.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

TEST(AutomationExit, ABusClientRefusesExitAndItsReleaseClosesTheWindow) {
    TestSandbox sandbox;
    PrivateBus bus(sandbox.Dir(), sandbox.Dir() / "services");
    ASSERT_TRUE(bus.Ok()) << bus.Errors();
    const QString address = QString::fromStdString(bus.Address());
    FakeSettings settings;
    Harness harness(settings, {"tarvik"}, /*mouseCapture=*/true, [&](CTarvikModule& module) {
        return std::make_unique<CBusServer>(module,
                                            [address] { return QDBusConnection::connectToBus(address, "window"); });
    });
    ASSERT_TRUE(harness.Start());

    QDBusConnection client = QDBusConnection::connectToBus(address, "client");
    // The server answers from this thread's event loop, so the client waits with it running.
    const auto call = [&](const QString& path, const QString& interface, const QString& method) {
        QDBusPendingReply<QDBusObjectPath> reply =
            client.asyncCall(QDBusMessage::createMethodCall("Tarvik.TarvikObject", path, interface, method));
        WaitUntil([&] {
            QCoreApplication::processEvents();
            return reply.isFinished();
        });
        return reply;
    };
    const auto created = call("/Tarvik", "Tarvik.ClassFactory", "CreateInstance");
    ASSERT_TRUE(created.isValid()) << created.error().message().toStdString();
    EXPECT_EQ(harness.module.GetLockCount(), 1);

    harness.window->OnCommand(ID_MENU_EXIT);
    EXPECT_EQ(harness.window->GetDisplayText(), "Can't Exit: 1 Client ");
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
    QDBusConnection::disconnectFromBus("client");
}

}  // namespace
}  // namespace tarvik::test
