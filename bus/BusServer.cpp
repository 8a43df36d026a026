#include "bus/BusServer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QVariantMap>

#include "automation/BusNames.h"
#include "automation/InterfaceXml.h"
#include "automation/Registration.h"
#include "bus/BusMonitor.h"
#include "bus/BusObjects.h"
#include "tarvikadaptors.h"

namespace tarvik {
namespace {

QString latin1(const char* name) { return QString::fromLatin1(name); }

QString objectPath(uint32_t id) { return latin1(bus::ObjectPathPrefix) + QString::number(id); }

// TARVIK_TEST_IDLE_EXIT_MS shortens the wait for a client, so tests need not wait half a minute.
int idleExitMs() {
    const char* value = std::getenv("TARVIK_TEST_IDLE_EXIT_MS");
    const long ms = value ? std::strtol(value, nullptr, 10) : 0;
    return ms > 0 && ms <= BusServer::DefaultIdleExitMs ? static_cast<int>(ms) : BusServer::DefaultIdleExitMs;
}

void report(const std::string& text) {
    std::fprintf(stderr, "tarvik: %s\n", text.c_str());
    std::fflush(stderr);
}

// What a registration run did, one file a line, for the user or the installer that ran it.
void printFiles(const char* verb, const std::vector<std::filesystem::path>& files) {
    for (const std::filesystem::path& file : files) std::printf("%s %s\n", verb, file.c_str());
    std::fflush(stdout);
}

constexpr char NameHasNoOwner[] = "org.freedesktop.DBus.Error.NameHasNoOwner";

}  // namespace

BusServer::BusServer(TarvikModule& module, std::function<QDBusConnection()> connect)
    : m_module(module),
      m_connect(std::move(connect)),
      m_server(module, *this) {}

BusServer::~BusServer() { revokeClassObjects(); }

bool BusServer::connectToBus() {
    if (m_triedBus) return m_connected;
    m_triedBus = true;
    m_connection = m_connect();
    if (!m_connection->isConnected()) {
        // Keys, macros and the lines work without a bus; only automation clients are left out.
        report("no session bus (" + m_connection->lastError().message().toStdString() +
               "): automation clients cannot reach this run");
        m_connection.reset();
        return false;
    }
    m_connected = true;
    m_watcher = new QDBusServiceWatcher(this);
    m_watcher->setConnection(*m_connection);
    m_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &BusServer::onConnectionGone);
    m_connection->connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                          QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                          SLOT(onBusLost()));
    return true;
}

bool BusServer::registerClassObjects() {
    if (!connectToBus()) return true;
    m_factory = std::make_unique<BusClassFactory>(*this);
    new ClassFactoryAdaptor(m_factory.get());
    if (!m_connection->registerObject(latin1(bus::ClassFactoryPath), m_factory.get())) {
        report("cannot offer the class object at /Tarvik on the session bus");
        return false;
    }
    // Queued behind another run that offers the class object, as several servers may: whoever owns
    // the name serves the next client, and the next in line takes over when it lets go. Nothing
    // waits for the answer, which only a refusal makes worth a word: the bus takes the name before
    // it reads anything this connection sends later.
    constexpr uint QueueAndKeep = 0;  // RequestName flags: queue; let no one take the name over
    auto* pending = new QDBusPendingCallWatcher(
        m_connection->interface()->asyncCall(QStringLiteral("RequestName"), latin1(bus::ServiceName), QueueAndKeep),
        this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError())
            report("the session bus refused the name Tarvik.TarvikObject: " + reply.error().message().toStdString());
        call->deleteLater();
    });
    return true;
}

void BusServer::revokeClassObjects() {
    if (!m_connected) return;
    m_connected = false;
    unregisterObjects(m_server.releaseAll());
    if (m_control) m_connection->unregisterObject(latin1(bus::ControlPath));
    if (m_ownsControlName) m_connection->unregisterService(latin1(bus::ControlBusName));
    m_connection->unregisterObject(latin1(bus::ClassFactoryPath));
    if (!m_serviceNameGiven) m_connection->unregisterService(latin1(bus::ServiceName));
    m_serviceNameGiven = true;
    // Torn down here, while the application object still exists: the process is ending.
    qDeleteAll(findChildren<BusTarvikObject*>());
    delete m_watcher;
    m_watcher = nullptr;
    m_watched.clear();
    m_factory.reset();
    if (m_host && m_control) m_host->setInstrumentListener(nullptr);
    m_monitor.reset();
    m_control.reset();
    m_connection.reset();
}

void BusServer::setMainWindow(AutomationHost* window) {
    m_host = window;
    m_server.setHost(window);
    if (window && m_control && m_ownsControlName) window->setInstrumentListener(m_control.get());
    if (m_monitor) m_monitor->subscribers().setSource(window ? window->traffic() : nullptr);
}

void BusServer::beginRun(bool standAlone) {
    m_standAlone = standAlone;
    if (standAlone) return;
    // A run started for a client that no client reaches in time (none may ever, without a bus)
    // would otherwise stay hidden for ever.
    QTimer::singleShot(idleExitMs(), this, &BusServer::onIdleTimeout);
}

void BusServer::onIdleTimeout() {
    if (m_module.getLockCount() > 0) return;
    // The close is posted, and calls already on their way are answered before it is handled: they
    // are refused, and the name goes now, so the client's next call starts a run that stays.
    m_ending = true;
    if (m_connected) giveUpServiceName();
    if (CloseTarget* window = m_module.getMainWindow()) window->requestClose();
}

void BusServer::onBusLost() {
    if (!m_connected) return;
    report("the session bus has gone: automation clients can no longer reach this run");
    // A run that exists only for its clients has no reason left to live.
    if (!m_standAlone) onIdleTimeout();
}

InstanceClaim BusServer::claimStandAlone() {
    // With nobody to ask, the run goes on as it always has.
    if (!connectToBus()) return InstanceClaim::Mine;
    m_control = std::make_unique<BusControl>(*this, m_server.control());
    new ControlAdaptor(m_control.get());
    new MonitorAdaptor(m_control.get());
    // Offered before the name, so the first call the name brings finds it.
    m_connection->registerObject(latin1(bus::ControlPath), m_control.get());
    // The bus grants the name to one of any number of simultaneous starts; the others ask that
    // one. An owner that ends between the refusal and the call leaves the name free: ask again.
    for (int attempt = 0; attempt < ClaimAttempts; ++attempt) {
        const auto reply = m_connection->interface()->registerService(latin1(bus::ControlBusName),
                                                                      QDBusConnectionInterface::DontQueueService,
                                                                      QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            report("the session bus refused the name Tarvik.Control (" + reply.error().message().toStdString() +
                   "): tarvikctl cannot reach this run");
            dropControl();
            return InstanceClaim::Mine;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_ownsControlName = true;
            m_monitor = std::make_unique<BusMonitor>(*m_connection);
            m_monitor->subscribers().setSource(m_host ? m_host->traffic() : nullptr);
            return InstanceClaim::Mine;
        }
        const QDBusMessage answer = askOwnerToShow();
        if (answer.type() == QDBusMessage::ReplyMessage) {
            dropControl();
            std::printf("Tarvik is already running; its window was shown.\n");
            std::fflush(stdout);
            return InstanceClaim::OtherShown;
        }
        const QDBusError error(answer);
        if (error.type() != QDBusError::ServiceUnknown && error.name() != QLatin1String(NameHasNoOwner)) {
            dropControl();
            report("another Tarvik owns Tarvik.Control but did not show its window (" + error.message().toStdString() +
                   "); this one ends too");
            return InstanceClaim::OtherUnreachable;
        }
    }
    dropControl();
    report("Tarvik.Control kept changing hands; this run ends");
    return InstanceClaim::OtherUnreachable;
}

QDBusMessage BusServer::askOwnerToShow() {
    QDBusMessage call = QDBusMessage::createMethodCall(latin1(bus::ControlBusName), latin1(bus::ControlPath),
                                                       latin1(bus::ControlInterface), QStringLiteral("Show"));
    call.setAutoStartService(false);
    return m_connection->call(call, QDBus::Block, ShowWaitMs);
}

void BusServer::dropControl() {
    m_connection->unregisterObject(latin1(bus::ControlPath));
    m_control.reset();
}

bool BusServer::registerServer() {
    std::vector<std::filesystem::path> written;
    std::string error;
    const bool done = writeRegistration(userDataFolder(), currentExecutable().string(), interfaceXml(), written, error);
    printFiles("wrote", written);
    if (!done) report(error);
    return done;
}

bool BusServer::unregisterServer() {
    std::vector<std::filesystem::path> removed;
    std::string error;
    const bool done = removeRegistration(userDataFolder(), interfaceXml(), removed, error);
    printFiles("removed", removed);
    if (!done) report(error);
    return done;
}

QString BusServer::createInstance(const QString& caller, CallStatus& status) {
    const uint32_t id = m_server.createInstance(caller.toStdString(), status);
    if (status != CallStatus::Ok) return {};
    auto* object = new BusTarvikObject(*this, id);
    new ITarvikObjectAdaptor(object);
    new IConnectionPointAdaptor(object);
    m_objects[id] = object;
    m_connection->registerObject(objectPath(id), object);
    updateWatch(caller);
    giveUpServiceName();
    return objectPath(id);
}

void BusServer::giveUpServiceName() {
    if (m_serviceNameGiven) return;
    m_serviceNameGiven = true;
    // Released before the caller's reply goes out, so its next activation already starts a new
    // process.
    m_connection->unregisterService(latin1(bus::ServiceName));
}

CallStatus BusServer::release(const QString& caller, uint32_t id) {
    const CallStatus status = m_server.release(caller.toStdString(), id);
    if (status == CallStatus::Ok) unregisterObjects({id});
    updateWatch(caller);
    return status;
}

CallStatus BusServer::lockServer(const QString& caller, bool lock) {
    const CallStatus status = m_server.lockServer(caller.toStdString(), lock);
    updateWatch(caller);
    return status;
}

CallStatus BusServer::advise(const QString& caller, uint32_t id, const QString& sinkPath, uint32_t& cookie) {
    const CallStatus status = m_server.advise(caller.toStdString(), id, sinkPath.toStdString(), cookie);
    updateWatch(caller);
    return status;
}

CallStatus BusServer::unadvise(const QString& caller, uint32_t id, uint32_t cookie) {
    const CallStatus status = m_server.unadvise(caller.toStdString(), id, cookie);
    updateWatch(caller);
    return status;
}

void BusServer::unregisterObjects(const std::vector<uint32_t>& ids) {
    for (uint32_t id : ids) {
        auto it = m_objects.find(id);
        if (it == m_objects.end()) continue;
        m_connection->unregisterObject(objectPath(id));
        // Possibly inside one of its own slots (Release): it goes once the call has returned.
        it->second->deleteLater();
        m_objects.erase(it);
    }
}

void BusServer::updateWatch(const QString& connection) {
    if (!m_watcher || connection.isEmpty()) return;
    const bool holds = m_server.holds(connection.toStdString()) ||
                       (m_monitor && m_monitor->subscribers().holds(connection.toStdString()));
    const bool watched = m_watched.count(connection) != 0;
    if (holds == watched) return;
    if (!holds) {
        m_watched.erase(connection);
        m_watcher->removeWatchedService(connection);
        return;
    }
    m_watched.insert(connection);
    m_watcher->addWatchedService(connection);
    // The client may have gone before the watch existed; asked after it, the bus's answer
    // covers that gap.
    auto* pending = new QDBusPendingCallWatcher(
        m_connection->interface()->asyncCall(QStringLiteral("NameHasOwner"), connection), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, connection](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<bool> reply = *call;
        if (reply.isValid() && !reply.value()) onConnectionGone(connection);
        call->deleteLater();
    });
}

void BusServer::onConnectionGone(const QString& connection) {
    if (m_watched.erase(connection) == 0) return;
    m_watcher->removeWatchedService(connection);
    if (m_monitor) m_monitor->subscribers().unsubscribe(connection.toStdString());
    unregisterObjects(m_server.connectionClosed(connection.toStdString()));
}

void BusServer::subscribeTraffic(const QString& caller, bool subscribe) {
    if (!m_monitor || caller.isEmpty()) return;
    if (subscribe) m_monitor->subscribers().subscribe(caller.toStdString());
    else m_monitor->subscribers().unsubscribe(caller.toStdString());
    updateWatch(caller);
}

uint BusServer::trafficSubscriberCount() const {
    return m_monitor ? static_cast<uint>(m_monitor->subscribers().count()) : 0;
}

void BusServer::sendInstrumentChanged(const SinkRef& sink, const std::string& name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromStdString(sink.connection), QString::fromStdString(sink.path),
                                       latin1(bus::EventsInterface), latin1(bus::InstrumentChanged));
    call << QString::fromStdString(name);
    call.setAutoStartService(false);
    // Sent without waiting for a reply: a client that hangs or has vanished never stalls the window.
    m_connection->send(call);
}

void BusServer::notifyPropertyChanged(const QString& path, const QString& interface, const QString& property,
                                      const QVariant& value) {
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << QVariantMap{{property, value}} << QStringList();
    m_connection->send(signal);
}

}  // namespace tarvik
