#pragma once
// The automation server on the session bus: the class object at /Tarvik under the name
// Tarvik.TarvikObject (given up after its first object: single use), an object per
// CreateInstance, events to the clients' sinks, the control object of a stand-alone run, the
// watch that releases whatever a vanished client held, and the registration files.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>

#include "automation/AutomationServer.h"
#include "automation/ClassObjects.h"

class QDBusServiceWatcher;
class QTimer;

namespace tarvik {

class BusClassFactory;
class BusControl;
class BusMonitor;
class BusTarvikObject;

class BusServer : public QObject, public ClassObjects, public EventSender {
    Q_OBJECT
public:
    // How long a run started by a client waits for one before it ends itself.
    static constexpr int DefaultIdleExitMs = 30000;
    // How long a stand-alone start waits for the run that owns the control name to show its
    // window: that run answers once its own start-up is over.
    static constexpr int ShowWaitMs = 30000;
    static constexpr int ClaimAttempts = 3;

    // `connect` gives the bus when the class object is first offered: the session bus in the
    // program, a private bus in tests.
    explicit BusServer(TarvikModule& module, std::function<QDBusConnection()> connect = &QDBusConnection::sessionBus);
    ~BusServer() override;

    InstanceClaim claimStandAlone() override;
    bool registerClassObjects() override;
    void revokeClassObjects() override;
    void setMainWindow(AutomationHost* window) override;
    void beginRun(bool standAlone) override;
    // True once a client run has decided to end: it grants no new object or lock, as they would
    // vanish with the process a moment after the client was told yes.
    bool ending() const { return m_ending; }
    bool registerServer() override;
    bool unregisterServer() override;

    void sendInstrumentChanged(const SinkRef& sink, const std::string& name) override;

    // The bus objects' calls, on behalf of the connection `caller`.
    AutomationServer& server() { return m_server; }
    QString createInstance(const QString& caller, CallStatus& status);
    CallStatus release(const QString& caller, uint32_t id);
    CallStatus lockServer(const QString& caller, bool lock);
    CallStatus advise(const QString& caller, uint32_t id, const QString& sinkPath, uint32_t& cookie);
    CallStatus unadvise(const QString& caller, uint32_t id, uint32_t cookie);
    void notifyPropertyChanged(const QString& path, const QString& interface, const QString& property,
                               const QVariant& value);
    // Tarvik.Monitor: a connection's subscription to the lines' traffic, watched like what it holds.
    void subscribeTraffic(const QString& caller, bool subscribe);
    uint trafficSubscriberCount() const;

private Q_SLOTS:
    void onConnectionGone(const QString& connection);
    void onIdleTimeout();
    void onBusLost();

private:
    // The bus connection, made once; false without a bus.
    bool connectToBus();
    QDBusMessage askOwnerToShow();
    void dropControl();
    void giveUpServiceName();
    void unregisterObjects(const std::vector<uint32_t>& ids);
    // Watches a connection while it holds something, so its end releases it at once.
    void updateWatch(const QString& connection);

    TarvikModule& m_module;
    std::function<QDBusConnection()> m_connect;
    std::optional<QDBusConnection> m_connection;  // none until the class object is offered
    AutomationServer m_server;
    AutomationHost* m_host = nullptr;
    std::unique_ptr<BusClassFactory> m_factory;
    std::unique_ptr<BusControl> m_control;
    std::unique_ptr<BusMonitor> m_monitor;           // with m_control, once the control name is ours
    std::map<uint32_t, BusTarvikObject*> m_objects;  // children of this object
    QDBusServiceWatcher* m_watcher = nullptr;        // a child of this object
    std::set<QString> m_watched;
    bool m_triedBus = false;
    bool m_connected = false;
    bool m_ownsControlName = false;
    bool m_serviceNameGiven = false;
    bool m_ending = false;  // the run has decided to end; what it would grant now dies with it
    bool m_standAlone = true;
};

}  // namespace tarvik
