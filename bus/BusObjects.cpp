#include "bus/BusObjects.h"

#include <functional>

#include <QDBusConnection>
#include <QDBusMessage>

#include "automation/BusNames.h"
#include "bus/BusServer.h"

namespace tarvik {
namespace {

// A refused call gets the bus error for its kind; `why` is the message the client reads.
void answer(const QDBusContext& context, CallStatus status, const QString& why) {
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

QString caller(const QDBusContext& context) {
    return context.calledFromDBus() ? context.message().service() : QString();
}

QString tooLong() {
    return QStringLiteral("SendString takes at most %1 bytes of text at once; nothing was sent")
        .arg(MaxSendStringBytes);
}

// A run that is ending says so rather than grant what its end would take away again.
bool refuseWhileEnding(const BusServer& server, const QDBusContext& context) {
    if (!server.ending() || !context.calledFromDBus()) return false;
    context.sendErrorReply(QDBusError::Failed, QStringLiteral("Tarvik is ending; call again to start a new run"));
    return true;
}

}  // namespace

BusClassFactory::BusClassFactory(BusServer& server) : m_server(server) {}

QDBusObjectPath BusClassFactory::CreateInstance() {
    if (refuseWhileEnding(m_server, *this)) return QDBusObjectPath(QStringLiteral("/"));
    CallStatus status = CallStatus::Ok;
    const QString path = m_server.createInstance(caller(*this), status);
    answer(*this, status,
           QStringLiteral("too many objects: at most %1 live at once").arg(AutomationServer::MaxObjects));
    return QDBusObjectPath(path.isEmpty() ? QStringLiteral("/") : path);
}

void BusClassFactory::LockServer(bool lock) {
    if (lock && refuseWhileEnding(m_server, *this)) return;
    const CallStatus status = m_server.lockServer(caller(*this), lock);
    answer(*this, status,
           lock ? QStringLiteral("too many server locks on this connection")
                : QStringLiteral("this connection holds no server lock to release"));
}

BusTarvikObject::BusTarvikObject(BusServer& server, uint32_t id) : QObject(&server), m_server(server), m_id(id) {}

InstrumentSends* BusTarvikObject::instrumentSends() {
    TarvikObject* object = m_server.server().find(m_id);
    if (!object) answer(*this, CallStatus::NoObject, {});
    return object;
}

void BusTarvikObject::SendString(const QString& text) {
    if (InstrumentSends* sends = instrumentSends())
        answer(*this, sends->sendString(text.toUtf8().toStdString()), tooLong());
}

void BusTarvikObject::SendRawByte(int value) {
    if (InstrumentSends* sends = instrumentSends()) sends->sendRawByte(value);
}

void BusTarvikObject::SetMousePosition(short x, short y) {
    if (InstrumentSends* sends = instrumentSends()) sends->setMousePosition(x, y);
}

void BusTarvikObject::SetMouseActive(bool active) {
    if (InstrumentSends* sends = instrumentSends()) sends->setMouseActive(active);
}

void BusTarvikObject::SetMouseButton(bool down) {
    if (InstrumentSends* sends = instrumentSends()) sends->setMouseButton(down);
}

void BusTarvikObject::Release() {
    answer(*this, m_server.release(caller(*this), m_id),
           QStringLiteral("object %1 belongs to the connection that created it").arg(m_id));
}

uint BusTarvikObject::Advise(const QDBusObjectPath& sink) {
    uint32_t cookie = 0;
    answer(*this, m_server.advise(caller(*this), m_id, sink.path(), cookie),
           QStringLiteral("no more sinks can connect to this object"));
    return cookie;
}

void BusTarvikObject::Unadvise(uint cookie) {
    const CallStatus status = m_server.unadvise(caller(*this), m_id, cookie);
    answer(*this, status,
           status == CallStatus::AccessDenied
               ? QStringLiteral("cookie %1 was advised by another connection").arg(cookie)
               : QStringLiteral("no sink is connected with cookie %1").arg(cookie));
}

BusControl::BusControl(BusServer& server, InstrumentSends& sends) : m_server(server), m_sends(sends) {}

QString BusControl::instrumentName() const {
    AutomationHost* host = m_sends.host();
    return host ? QString::fromStdString(busText(host->instrumentName())) : QString();
}

void BusControl::fireInstrumentChanged(const std::string& name) {
    const QString text = QString::fromStdString(busText(name));
    emit InstrumentChanged(text);
    m_server.notifyPropertyChanged(QString::fromLatin1(bus::ControlPath), QString::fromLatin1(bus::ControlInterface),
                                   QStringLiteral("InstrumentName"), text);
}

void BusControl::SendString(const QString& text) {
    answer(*this, m_sends.sendString(text.toUtf8().toStdString()), tooLong());
}

void BusControl::SendRawByte(int value) { m_sends.sendRawByte(value); }
void BusControl::SetMousePosition(short x, short y) { m_sends.setMousePosition(x, y); }
void BusControl::SetMouseActive(bool active) { m_sends.setMouseActive(active); }
void BusControl::SetMouseButton(bool down) { m_sends.setMouseButton(down); }

void BusControl::Show() { showWindow(true); }
void BusControl::Hide() { showWindow(false); }

void BusControl::showWindow(bool show) {
    AutomationHost* host = m_sends.host();
    // The window goes before the name does; a start that asked meanwhile must not think it shown.
    if (host == nullptr) {
        if (calledFromDBus()) sendErrorReply(QDBusError::Failed, QStringLiteral("Tarvik is ending"));
        return;
    }
    host->showFromClient(show);
}

void BusControl::Quit() {
    AutomationHost* host = m_sends.host();
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
                     : call.createErrorReply(QString::fromLatin1(bus::RefusedError),
                                             QStringLiteral("the user chose to keep Tarvik running for its clients")));
        };
    }
    host->closeFromClient(std::move(answer));
}

uint BusControl::subscribers() const { return m_server.trafficSubscriberCount(); }
void BusControl::Subscribe() { m_server.subscribeTraffic(caller(*this), true); }
void BusControl::Unsubscribe() { m_server.subscribeTraffic(caller(*this), false); }

}  // namespace tarvik
