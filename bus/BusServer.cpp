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

QString Name(const char* name) { return QString::fromLatin1(name); }

QString ObjectPath(uint32_t id) { return Name(bus::kObjectPathPrefix) + QString::number(id); }

// TARVIK_TEST_IDLE_EXIT_MS shortens the wait for a client, so tests need not wait half a minute.
int IdleExitMs() {
    const char* value = std::getenv("TARVIK_TEST_IDLE_EXIT_MS");
    const long ms = value ? std::strtol(value, nullptr, 10) : 0;
    return ms > 0 && ms <= CBusServer::kIdleExitMs ? static_cast<int>(ms) : CBusServer::kIdleExitMs;
}

void Report(const std::string& text) {
    std::fprintf(stderr, "tarvik: %s\n", text.c_str());
    std::fflush(stderr);
}

// What a registration run did, one file a line, for the user or the installer that ran it.
void PrintFiles(const char* verb, const std::vector<std::filesystem::path>& files) {
    for (const std::filesystem::path& file : files) std::printf("%s %s\n", verb, file.c_str());
    std::fflush(stdout);
}

constexpr char kNameHasNoOwner[] = "org.freedesktop.DBus.Error.NameHasNoOwner";

}  // namespace

CBusServer::CBusServer(CTarvikModule& module, std::function<QDBusConnection()> connect)
    : module_(module),
      connect_(std::move(connect)),
      server_(module, *this) {}

CBusServer::~CBusServer() { RevokeClassObjects(); }

bool CBusServer::Connect() {
    if (triedBus_) return connected_;
    triedBus_ = true;
    connection_ = connect_();
    if (!connection_->isConnected()) {
        // Keys, macros and the lines work without a bus; only automation clients are left out.
        Report("no session bus (" + connection_->lastError().message().toStdString() +
               "): automation clients cannot reach this run");
        connection_.reset();
        return false;
    }
    connected_ = true;
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(*connection_);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &CBusServer::OnConnectionGone);
    connection_->connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                         QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                         SLOT(OnBusLost()));
    return true;
}

bool CBusServer::RegisterClassObjects() {
    if (!Connect()) return true;
    factory_ = std::make_unique<CBusClassFactory>(*this);
    new ClassFactoryAdaptor(factory_.get());
    if (!connection_->registerObject(Name(bus::kClassFactoryPath), factory_.get())) {
        Report("cannot offer the class object at /Tarvik on the session bus");
        return false;
    }
    // Queued behind another run that offers the class object, as several servers may: whoever owns
    // the name serves the next client, and the next in line takes over when it lets go. Nothing
    // waits for the answer, which only a refusal makes worth a word: the bus takes the name before
    // it reads anything this connection sends later.
    constexpr uint kQueueAndKeep = 0;  // RequestName flags: queue; let no one take the name over
    auto* pending = new QDBusPendingCallWatcher(
        connection_->interface()->asyncCall(QStringLiteral("RequestName"), Name(bus::kServiceName), kQueueAndKeep),
        this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isError())
            Report("the session bus refused the name Tarvik.TarvikObject: " + reply.error().message().toStdString());
        call->deleteLater();
    });
    return true;
}

void CBusServer::RevokeClassObjects() {
    if (!connected_) return;
    connected_ = false;
    UnregisterObjects(server_.ReleaseAll());
    if (control_) connection_->unregisterObject(Name(bus::kControlPath));
    if (ownsControlName_) connection_->unregisterService(Name(bus::kControlName));
    connection_->unregisterObject(Name(bus::kClassFactoryPath));
    if (!serviceNameGiven_) connection_->unregisterService(Name(bus::kServiceName));
    serviceNameGiven_ = true;
    // Torn down here, while the application object still exists: the process is ending.
    qDeleteAll(findChildren<CBusTarvikObject*>());
    delete watcher_;
    watcher_ = nullptr;
    watched_.clear();
    factory_.reset();
    if (host_ && control_) host_->SetInstrumentListener(nullptr);
    monitor_.reset();
    control_.reset();
    connection_.reset();
}

void CBusServer::SetMainWindow(IAutomationHost* window) {
    host_ = window;
    server_.SetHost(window);
    if (window && control_ && ownsControlName_) window->SetInstrumentListener(control_.get());
    if (monitor_) monitor_->Subscribers().SetSource(window ? window->Traffic() : nullptr);
}

void CBusServer::BeginRun(bool standAlone) {
    standAlone_ = standAlone;
    if (standAlone) return;
    // A run started for a client that no client reaches in time (none may ever, without a bus)
    // would otherwise stay hidden for ever.
    QTimer::singleShot(IdleExitMs(), this, &CBusServer::OnIdleTimeout);
}

void CBusServer::OnIdleTimeout() {
    if (module_.GetLockCount() > 0) return;
    // The close is posted, and calls already on their way are answered before it is handled: they
    // are refused, and the name goes now, so the client's next call starts a run that stays.
    ending_ = true;
    if (connected_) GiveUpServiceName();
    if (IMessagePoster* window = module_.GetMainWindow()) window->Post(WM_CLOSE, 0, 0);
}

void CBusServer::OnBusLost() {
    if (!connected_) return;
    Report("the session bus has gone: automation clients can no longer reach this run");
    // A run that exists only for its clients has no reason left to live.
    if (!standAlone_) OnIdleTimeout();
}

InstanceClaim CBusServer::ClaimStandAlone() {
    // With nobody to ask, the run goes on as it always has.
    if (!Connect()) return InstanceClaim::Mine;
    control_ = std::make_unique<CBusControl>(*this, server_.Control());
    new ControlAdaptor(control_.get());
    new MonitorAdaptor(control_.get());
    // Offered before the name, so the first call the name brings finds it.
    connection_->registerObject(Name(bus::kControlPath), control_.get());
    // The bus grants the name to one of any number of simultaneous starts; the others ask that
    // one. An owner that ends between the refusal and the call leaves the name free: ask again.
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        const auto reply = connection_->interface()->registerService(Name(bus::kControlName),
                                                                     QDBusConnectionInterface::DontQueueService,
                                                                     QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid()) {
            Report("the session bus refused the name Tarvik.Control (" + reply.error().message().toStdString() +
                   "): tarvikctl cannot reach this run");
            DropControl();
            return InstanceClaim::Mine;
        }
        if (reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            ownsControlName_ = true;
            monitor_ = std::make_unique<CBusMonitor>(*connection_);
            monitor_->Subscribers().SetSource(host_ ? host_->Traffic() : nullptr);
            return InstanceClaim::Mine;
        }
        const QDBusMessage answer = AskOwnerToShow();
        if (answer.type() == QDBusMessage::ReplyMessage) {
            DropControl();
            std::printf("Tarvik is already running; its window was shown.\n");
            std::fflush(stdout);
            return InstanceClaim::OtherShown;
        }
        const QDBusError error(answer);
        if (error.type() != QDBusError::ServiceUnknown && error.name() != QLatin1String(kNameHasNoOwner)) {
            DropControl();
            Report("another Tarvik owns Tarvik.Control but did not show its window (" + error.message().toStdString() +
                   "); this one ends too");
            return InstanceClaim::OtherUnreachable;
        }
    }
    DropControl();
    Report("Tarvik.Control kept changing hands; this run ends");
    return InstanceClaim::OtherUnreachable;
}

QDBusMessage CBusServer::AskOwnerToShow() {
    QDBusMessage call = QDBusMessage::createMethodCall(Name(bus::kControlName), Name(bus::kControlPath),
                                                       Name(bus::kControlInterface), QStringLiteral("Show"));
    call.setAutoStartService(false);
    return connection_->call(call, QDBus::Block, kShowWaitMs);
}

void CBusServer::DropControl() {
    connection_->unregisterObject(Name(bus::kControlPath));
    control_.reset();
}

bool CBusServer::RegisterServer() {
    std::vector<std::filesystem::path> written;
    std::string error;
    const bool done = WriteRegistration(UserDataFolder(), CurrentExecutable().string(), InterfaceXml(), written, error);
    PrintFiles("wrote", written);
    if (!done) Report(error);
    return done;
}

bool CBusServer::UnregisterServer() {
    std::vector<std::filesystem::path> removed;
    std::string error;
    const bool done = RemoveRegistration(UserDataFolder(), InterfaceXml(), removed, error);
    PrintFiles("removed", removed);
    if (!done) Report(error);
    return done;
}

QString CBusServer::CreateInstance(const QString& caller, CallStatus& status) {
    const uint32_t id = server_.CreateInstance(caller.toStdString(), status);
    if (status != CallStatus::Ok) return {};
    auto* object = new CBusTarvikObject(*this, id);
    new ITarvikObjectAdaptor(object);
    new IConnectionPointAdaptor(object);
    objects_[id] = object;
    connection_->registerObject(ObjectPath(id), object);
    UpdateWatch(caller);
    GiveUpServiceName();
    return ObjectPath(id);
}

void CBusServer::GiveUpServiceName() {
    if (serviceNameGiven_) return;
    serviceNameGiven_ = true;
    // Released before the caller's reply goes out, so its next activation already starts a new
    // process.
    connection_->unregisterService(Name(bus::kServiceName));
}

CallStatus CBusServer::Release(const QString& caller, uint32_t id) {
    const CallStatus status = server_.Release(caller.toStdString(), id);
    if (status == CallStatus::Ok) UnregisterObjects({id});
    UpdateWatch(caller);
    return status;
}

CallStatus CBusServer::LockServer(const QString& caller, bool lock) {
    const CallStatus status = server_.LockServer(caller.toStdString(), lock);
    UpdateWatch(caller);
    return status;
}

CallStatus CBusServer::Advise(const QString& caller, uint32_t id, const QString& sinkPath, uint32_t& cookie) {
    const CallStatus status = server_.Advise(caller.toStdString(), id, sinkPath.toStdString(), cookie);
    UpdateWatch(caller);
    return status;
}

CallStatus CBusServer::Unadvise(const QString& caller, uint32_t id, uint32_t cookie) {
    const CallStatus status = server_.Unadvise(caller.toStdString(), id, cookie);
    UpdateWatch(caller);
    return status;
}

void CBusServer::UnregisterObjects(const std::vector<uint32_t>& ids) {
    for (uint32_t id : ids) {
        auto it = objects_.find(id);
        if (it == objects_.end()) continue;
        connection_->unregisterObject(ObjectPath(id));
        // Possibly inside one of its own slots (Release): it goes once the call has returned.
        it->second->deleteLater();
        objects_.erase(it);
    }
}

void CBusServer::UpdateWatch(const QString& connection) {
    if (!watcher_ || connection.isEmpty()) return;
    const bool holds = server_.Holds(connection.toStdString()) ||
                       (monitor_ && monitor_->Subscribers().Holds(connection.toStdString()));
    const bool watched = watched_.count(connection) != 0;
    if (holds == watched) return;
    if (!holds) {
        watched_.erase(connection);
        watcher_->removeWatchedService(connection);
        return;
    }
    watched_.insert(connection);
    watcher_->addWatchedService(connection);
    // The client may have gone before the watch existed; asked after it, the bus's answer
    // covers that gap.
    auto* pending = new QDBusPendingCallWatcher(
        connection_->interface()->asyncCall(QStringLiteral("NameHasOwner"), connection), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, connection](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<bool> reply = *call;
        if (reply.isValid() && !reply.value()) OnConnectionGone(connection);
        call->deleteLater();
    });
}

void CBusServer::OnConnectionGone(const QString& connection) {
    if (watched_.erase(connection) == 0) return;
    watcher_->removeWatchedService(connection);
    if (monitor_) monitor_->Subscribers().Unsubscribe(connection.toStdString());
    UnregisterObjects(server_.ConnectionClosed(connection.toStdString()));
}

void CBusServer::SubscribeTraffic(const QString& caller, bool subscribe) {
    if (!monitor_ || caller.isEmpty()) return;
    if (subscribe) monitor_->Subscribers().Subscribe(caller.toStdString());
    else monitor_->Subscribers().Unsubscribe(caller.toStdString());
    UpdateWatch(caller);
}

uint CBusServer::TrafficSubscriberCount() const {
    return monitor_ ? static_cast<uint>(monitor_->Subscribers().Count()) : 0;
}

void CBusServer::SendInstrumentChanged(const SinkRef& sink, const std::string& name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromStdString(sink.connection), QString::fromStdString(sink.path),
                                       Name(bus::kEventsInterface), Name(bus::kInstrumentChanged));
    call << QString::fromStdString(name);
    call.setAutoStartService(false);
    // Sent without waiting for a reply: a client that hangs or has vanished never stalls the window.
    connection_->send(call);
}

void CBusServer::NotifyPropertyChanged(const QString& path, const QString& interface, const QString& property,
                                       const QVariant& value) {
    QDBusMessage signal = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << QVariantMap{{property, value}} << QStringList();
    connection_->send(signal);
}

}  // namespace tarvik
