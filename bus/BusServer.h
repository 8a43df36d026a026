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

class CBusClassFactory;
class CBusControl;
class CBusMonitor;
class CBusTarvikObject;

class CBusServer : public QObject, public IClassObjects, public IEventSender {
    Q_OBJECT
public:
    // How long a run started by a client waits for one before it ends itself.
    static constexpr int kIdleExitMs = 30000;
    // How long a stand-alone start waits for the run that owns the control name to show its
    // window: that run answers once its own start-up is over.
    static constexpr int kShowWaitMs = 30000;
    static constexpr int kClaimAttempts = 3;

    // `connect` gives the bus when the class object is first offered: the session bus in the
    // program, a private bus in tests.
    explicit CBusServer(CTarvikModule& module, std::function<QDBusConnection()> connect = &QDBusConnection::sessionBus);
    ~CBusServer() override;

    InstanceClaim ClaimStandAlone() override;
    bool RegisterClassObjects() override;
    void RevokeClassObjects() override;
    void SetMainWindow(IAutomationHost* window) override;
    void BeginRun(bool standAlone) override;
    // True once a client run has decided to end: it grants no new object or lock, as they would
    // vanish with the process a moment after the client was told yes.
    bool Ending() const { return ending_; }
    bool RegisterServer() override;
    bool UnregisterServer() override;

    void SendInstrumentChanged(const SinkRef& sink, const std::string& name) override;

    // The bus objects' calls, on behalf of the connection `caller`.
    CAutomationServer& Server() { return server_; }
    QString CreateInstance(const QString& caller, CallStatus& status);
    CallStatus Release(const QString& caller, uint32_t id);
    CallStatus LockServer(const QString& caller, bool lock);
    CallStatus Advise(const QString& caller, uint32_t id, const QString& sinkPath, uint32_t& cookie);
    CallStatus Unadvise(const QString& caller, uint32_t id, uint32_t cookie);
    void NotifyPropertyChanged(const QString& path, const QString& interface, const QString& property,
                               const QVariant& value);
    // Tarvik.Monitor: a connection's subscription to the lines' traffic, watched like what it holds.
    void SubscribeTraffic(const QString& caller, bool subscribe);
    uint TrafficSubscriberCount() const;

private Q_SLOTS:
    void OnConnectionGone(const QString& connection);
    void OnIdleTimeout();
    void OnBusLost();

private:
    // The bus connection, made once; false without a bus.
    bool Connect();
    QDBusMessage AskOwnerToShow();
    void DropControl();
    void GiveUpServiceName();
    void UnregisterObjects(const std::vector<uint32_t>& ids);
    // Watches a connection while it holds something, so its end releases it at once.
    void UpdateWatch(const QString& connection);

    CTarvikModule& module_;
    std::function<QDBusConnection()> connect_;
    std::optional<QDBusConnection> connection_;  // none until the class object is offered
    CAutomationServer server_;
    IAutomationHost* host_ = nullptr;
    std::unique_ptr<CBusClassFactory> factory_;
    std::unique_ptr<CBusControl> control_;
    std::unique_ptr<CBusMonitor> monitor_;           // with control_, once the control name is ours
    std::map<uint32_t, CBusTarvikObject*> objects_;  // children of this object
    QDBusServiceWatcher* watcher_ = nullptr;         // a child of this object
    std::set<QString> watched_;
    bool triedBus_ = false;
    bool connected_ = false;
    bool ownsControlName_ = false;
    bool serviceNameGiven_ = false;
    bool ending_ = false;  // the run has decided to end; what it would grant now dies with it
    bool standAlone_ = true;
};

}  // namespace tarvik
