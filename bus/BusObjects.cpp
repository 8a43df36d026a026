#include "bus/BusObjects.h"

#include <functional>

#include <QDBusConnection>
#include <QDBusMessage>

#include "automation/BusNames.h"
#include "bus/BusServer.h"

namespace tarvik {
namespace {

// A refused call gets the bus error for its kind; `why` is the message the client reads.
void Answer(const QDBusContext& context, CallStatus status, const QString& why) {
    if (!context.calledFromDBus()) return;
    switch (status) {
        case CallStatus::Ok: return;
        case CallStatus::AccessDenied: context.sendErrorReply(QDBusError::AccessDenied, why); return;
        case CallStatus::LimitsExceeded: context.sendErrorReply(QDBusError::LimitsExceeded, why); return;
        case CallStatus::NoConnection: context.sendErrorReply(QDBusError::InvalidArgs, why); return;
        case CallStatus::NoObject:
            context.sendErrorReply(QDBusError::UnknownObject, QStringLiteral("the object has been released"));
            return;
    }
}

QString Caller(const QDBusContext& context) {
    return context.calledFromDBus() ? context.message().service() : QString();
}

QString TooLong() {
    return QStringLiteral("SendString takes at most %1 bytes of text at once; nothing was sent")
        .arg(kMaxSendStringBytes);
}

// A run that is ending says so rather than grant what its end would take away again.
bool RefuseWhileEnding(const CBusServer& server, const QDBusContext& context) {
    if (!server.Ending() || !context.calledFromDBus()) return false;
    context.sendErrorReply(QDBusError::Failed, QStringLiteral("Tarvik is ending; call again to start a new run"));
    return true;
}

}  // namespace

CBusClassFactory::CBusClassFactory(CBusServer& server) : server_(server) {}

QDBusObjectPath CBusClassFactory::CreateInstance() {
    if (RefuseWhileEnding(server_, *this)) return QDBusObjectPath(QStringLiteral("/"));
    CallStatus status = CallStatus::Ok;
    const QString path = server_.CreateInstance(Caller(*this), status);
    Answer(*this, status,
           QStringLiteral("too many objects: at most %1 live at once").arg(CAutomationServer::kMaxObjects));
    return QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
}

void CBusClassFactory::LockServer(bool lock) {
    if (lock && RefuseWhileEnding(server_, *this)) return;
    const CallStatus status = server_.LockServer(Caller(*this), lock);
    Answer(*this, status,
           lock ? QStringLiteral("too many server locks on this connection")
                : QStringLiteral("this connection holds no server lock to release"));
}

CBusTarvikObject::CBusTarvikObject(CBusServer& server, uint32_t id) : QObject(&server), server_(server), id_(id) {}

CInstrumentSends* CBusTarvikObject::Sends() {
    CTarvikObject* object = server_.Server().Find(id_);
    if (!object) Answer(*this, CallStatus::NoObject, {});
    return object;
}

void CBusTarvikObject::SendString(const QString& text) {
    if (CInstrumentSends* sends = Sends()) Answer(*this, sends->SendString(text.toUtf8().toStdString()), TooLong());
}

void CBusTarvikObject::SendRawByte(int value) {
    if (CInstrumentSends* sends = Sends()) sends->SendRawByte(value);
}

void CBusTarvikObject::SetMousePosition(short x, short y) {
    if (CInstrumentSends* sends = Sends()) sends->SetMousePosition(x, y);
}

void CBusTarvikObject::SetMouseActive(bool active) {
    if (CInstrumentSends* sends = Sends()) sends->SetMouseActive(active);
}

void CBusTarvikObject::SetMouseButton(bool down) {
    if (CInstrumentSends* sends = Sends()) sends->SetMouseButton(down);
}

void CBusTarvikObject::Release() {
    Answer(*this, server_.Release(Caller(*this), id_),
           QStringLiteral("object %1 belongs to the connection that created it").arg(id_));
}

uint CBusTarvikObject::Advise(const QDBusObjectPath& sink) {
    uint32_t cookie = 0;
    Answer(*this, server_.Advise(Caller(*this), id_, sink.path(), cookie),
           QStringLiteral("no more sinks can connect to this object"));
    return cookie;
}

void CBusTarvikObject::Unadvise(uint cookie) {
    const CallStatus status = server_.Unadvise(Caller(*this), id_, cookie);
    Answer(*this, status,
           status == CallStatus::AccessDenied
               ? QStringLiteral("cookie %1 was advised by another connection").arg(cookie)
               : QStringLiteral("no sink is connected with cookie %1").arg(cookie));
}

CBusControl::CBusControl(CBusServer& server, CInstrumentSends& sends) : server_(server), sends_(sends) {}

QString CBusControl::InstrumentName() const {
    IAutomationHost* host = sends_.Host();
    return host ? QString::fromStdString(BusText(host->InstrumentName())) : QString();
}

void CBusControl::FireInstrumentChanged(const std::string& name) {
    const QString text = QString::fromStdString(BusText(name));
    emit InstrumentChanged(text);
    server_.NotifyPropertyChanged(QString::fromLatin1(bus::kControlPath), QString::fromLatin1(bus::kControlInterface),
                                  QStringLiteral("InstrumentName"), text);
}

void CBusControl::SendString(const QString& text) {
    Answer(*this, sends_.SendString(text.toUtf8().toStdString()), TooLong());
}

void CBusControl::SendRawByte(int value) { sends_.SendRawByte(value); }
void CBusControl::SetMousePosition(short x, short y) { sends_.SetMousePosition(x, y); }
void CBusControl::SetMouseActive(bool active) { sends_.SetMouseActive(active); }
void CBusControl::SetMouseButton(bool down) { sends_.SetMouseButton(down); }

void CBusControl::Show() { ShowWindow(true); }
void CBusControl::Hide() { ShowWindow(false); }

void CBusControl::ShowWindow(bool show) {
    IAutomationHost* host = sends_.Host();
    // The window goes before the name does; a start that asked meanwhile must not think it shown.
    if (host == nullptr) {
        if (calledFromDBus()) sendErrorReply(QDBusError::Failed, QStringLiteral("Tarvik is ending"));
        return;
    }
    host->ShowFromClient(show);
}

void CBusControl::Quit() {
    IAutomationHost* host = sends_.Host();
    // Without a window Tarvik is ending already, as the caller asked.
    if (host == nullptr) return;
    std::function<void(bool)> answer = [](bool) {};
    if (calledFromDBus()) {
        // Answered once the user has: the window asks from its event loop, not inside this call.
        // The reply to an exit reaches the caller: the run's end gives up its names by calls that
        // wait for the bus, which has passed the reply on by then.
        setDelayedReply(true);
        answer = [call = message(), bus = connection()](bool ends) {
            bus.send(
                ends ? call.createReply()
                     : call.createErrorReply(QString::fromLatin1(bus::kRefusedError),
                                             QStringLiteral("the user chose to keep Tarvik running for its clients")));
        };
    }
    host->CloseFromClient(std::move(answer));
}

uint CBusControl::Subscribers() const { return server_.TrafficSubscriberCount(); }
void CBusControl::Subscribe() { server_.SubscribeTraffic(Caller(*this), true); }
void CBusControl::Unsubscribe() { server_.SubscribeTraffic(Caller(*this), false); }

}  // namespace tarvik
