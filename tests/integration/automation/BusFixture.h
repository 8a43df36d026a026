#pragma once
// A private bus with Tarvik registered on it (its service folder is the one /RegServer writes),
// the simulator on the two lines, Tarvik as the user starts it, and clients inside the test
// process, each on a connection of its own.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QVariant>

#include "tests/support/ChildProcess.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {

// Event sinks under one path prefix: every call they receive, in order of arrival.
class SinkRecorder : public QDBusVirtualObject {
public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection&) override;
    QString introspect(const QString&) const override { return {}; }
    std::vector<std::string> Events();  // "path name"

private:
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

class BusFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Extra environment for the bus and so for the runs it activates.
    virtual std::vector<std::string> BusEnvironment() { return {}; }

    QDBusConnection Client(const QString& name);
    // A blocking call; the reply or error, within 10 s.
    static QDBusMessage Call(const QDBusConnection& client, const QString& service, const QString& path,
                             const QString& interface, const QString& method, const QVariantList& args = {});
    static QDBusMessage createInstance(const QDBusConnection& client, const QString& service = "Tarvik.TarvikObject");
    QDBusConnectionInterface& Probe();
    bool HasOwner(const QString& name);
    uint32_t Pid(const QString& name);

    // The simulator on the two lines, then Tarvik as the user starts it, until it owns
    // Tarvik.Control and has opened its lines.
    void StartStandAlone();
    // Lines of the simulator's log from `from` on (keyboard line only, or display line only).
    std::vector<std::string> LogLines(size_t from, bool display = false);
    bool WaitForLog(const std::string& line);
    // Waits while letting this process's own bus objects (sinks) receive.
    static bool WaitWithEvents(const std::function<bool()>& done);

    std::unique_ptr<ChildProcess> run(std::vector<std::string> argv, const std::string& name,
                                      std::vector<std::string> env = {});

    TestSandbox sandbox;
    std::filesystem::path dataDir;
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<ChildProcess> sim, tarvik;
    std::vector<QString> clients;
};

}  // namespace tarvik::test
