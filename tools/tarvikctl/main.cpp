// tarvikctl: a command-line client of a running Tarvik on its control interface. It never
// activates Tarvik and holds no lock; each outcome has its own exit status (see --help).
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include "automation/BusNames.h"
#include "tarvikproxy.h"
#include "tools/tarvikctl/CtlCommand.h"
#include "tools/tarvikctl/CtlSession.h"
#include "tools/tarvikctl/Monitor.h"

namespace {

using namespace tarvik;
using namespace tarvik::ctl;
using ControlProxy = ::TarvikControlInterface;

template <typename Reply>
int finish(Reply reply) {
    reply.waitForFinished();
    return reply.isError() ? callFailed(reply.error()) : Ok;
}

int instrumentSends(const Command& c, ControlProxy& control) {
    switch (c.verb) {
        case Verb::Send: return finish(control.SendString(QString::fromLocal8Bit(c.text.c_str())));
        case Verb::Byte: return finish(control.SendRawByte(c.value));
        case Verb::Show: return finish(control.Show());
        case Verb::Hide: return finish(control.Hide());
        case Verb::Quit: {
            // Tarvik answers once its user has, however long that takes.
            control.setTimeout(std::numeric_limits<int>::max());
            const int status = finish(control.Quit());
            return status == Ok ? waitUntilGone(control.connection(), control.service()) : status;
        }
        case Verb::Click:
            if (int status = finish(control.SetMouseButton(true)); status != Ok) return status;
            return finish(control.SetMouseButton(false));
        case Verb::Mouse:
            if (int status = finish(control.SetMousePosition(short(c.x), short(c.y))); status != Ok) return status;
            if (c.active) {
                if (int status = finish(control.SetMouseActive(*c.active)); status != Ok) return status;
            }
            return c.buttonDown ? finish(control.SetMouseButton(*c.buttonDown)) : Ok;
        default: return Usage;
    }
}

int printName(ControlProxy& control) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        control.service(), control.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << control.interface() << QStringLiteral("InstrumentName");
    const QDBusMessage reply = control.connection().call(call);
    if (reply.type() == QDBusMessage::ErrorMessage) return callFailed(QDBusError(reply));
    const QString name = reply.arguments().value(0).value<QDBusVariant>().variant().toString();
    std::printf("%s\n", name.toUtf8().constData());
    return Ok;
}

void printChange(const QString& name, bool json) {
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    QByteArray line;
    if (json) line = QJsonDocument(QJsonObject{{"time", time}, {"name", name}}).toJson(QJsonDocument::Compact);
    else line = (time + QLatin1Char(' ') + name).toUtf8();
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

// Until SIGINT or SIGTERM (status 0) or until Tarvik ends (status 3).
int watch(ControlProxy& control, bool json) {
    QObject::connect(&control, &ControlProxy::InstrumentChanged,
                     [json](const QString& name) { printChange(name, json); });
    return runUntilEnded(control.connection(), control.service());
}

}  // namespace

int main(int argc, char** argv) {
    Command command;
    std::string error;
    if (!parseCommand(std::vector<std::string>(argv + 1, argv + argc), command, error)) {
        return fail(Usage, error + " (tarvikctl --help tells more)");
    }
    if (command.verb == Verb::Help) return std::fputs(manualText(), stdout), Ok;
    if (command.verb == Verb::Version) return std::printf("tarvikctl %s\n", TARVIK_VERSION), Ok;

    std::string why;
    const std::string address = sessionBusAddress(why);
    if (address.empty()) return fail(NoBus, "no session bus: " + why);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return fail(NoBus, "no session bus: " + bus.lastError().message().toStdString());
    const QString service = QString::fromLatin1(bus::ControlBusName);
    // Asked first, so that tarvikctl never has anything started on its behalf.
    if (!bus.interface()->isServiceRegistered(service).value()) {
        return fail(NotRunning, "Tarvik is not running (nobody owns Tarvik.Control on the session bus)");
    }
    ControlProxy control(service, QString::fromLatin1(bus::ControlPath), bus);
    if (command.verb == Verb::Name) return printName(control);
    if (command.verb == Verb::Watch) return watch(control, command.json);
    if (command.verb == Verb::Monitor) return monitorTraffic(bus, command.json);
    return instrumentSends(command, control);
}
