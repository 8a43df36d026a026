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
int Finish(Reply reply) {
    reply.waitForFinished();
    return reply.isError() ? CallFailed(reply.error()) : kOk;
}

int Sends(const Command& c, ControlProxy& control) {
    switch (c.verb) {
        case Verb::Send: return Finish(control.SendString(QString::fromLocal8Bit(c.text.c_str())));
        case Verb::Byte: return Finish(control.SendRawByte(c.value));
        case Verb::Show: return Finish(control.Show());
        case Verb::Hide: return Finish(control.Hide());
        case Verb::Quit: {
            // Tarvik answers once its user has, however long that takes.
            control.setTimeout(std::numeric_limits<int>::max());
            const int status = Finish(control.Quit());
            return status == kOk ? WaitUntilGone(control.connection(), control.service()) : status;
        }
        case Verb::Click:
            if (int status = Finish(control.SetMouseButton(true)); status != kOk) return status;
            return Finish(control.SetMouseButton(false));
        case Verb::Mouse:
            if (int status = Finish(control.SetMousePosition(short(c.x), short(c.y))); status != kOk) return status;
            if (c.active) {
                if (int status = Finish(control.SetMouseActive(*c.active)); status != kOk) return status;
            }
            return c.buttonDown ? Finish(control.SetMouseButton(*c.buttonDown)) : kOk;
        default: return kUsage;
    }
}

int PrintName(ControlProxy& control) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        control.service(), control.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << control.interface() << QStringLiteral("InstrumentName");
    const QDBusMessage reply = control.connection().call(call);
    if (reply.type() == QDBusMessage::ErrorMessage) return CallFailed(QDBusError(reply));
    const QString name = reply.arguments().value(0).value<QDBusVariant>().variant().toString();
    std::printf("%s\n", name.toUtf8().constData());
    return kOk;
}

void PrintChange(const QString& name, bool json) {
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    QByteArray line;
    if (json) line = QJsonDocument(QJsonObject{{"time", time}, {"name", name}}).toJson(QJsonDocument::Compact);
    else line = (time + QLatin1Char(' ') + name).toUtf8();
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

// Until SIGINT or SIGTERM (status 0) or until Tarvik ends (status 3).
int Watch(ControlProxy& control, bool json) {
    QObject::connect(&control, &ControlProxy::InstrumentChanged,
                     [json](const QString& name) { PrintChange(name, json); });
    return RunUntilEnded(control.connection(), control.service());
}

}  // namespace

int main(int argc, char** argv) {
    Command command;
    std::string error;
    if (!ParseCommand(std::vector<std::string>(argv + 1, argv + argc), command, error)) {
        return Fail(kUsage, error + " (tarvikctl --help tells more)");
    }
    if (command.verb == Verb::Help) return std::fputs(ManualText(), stdout), kOk;
    if (command.verb == Verb::Version) return std::printf("tarvikctl %s\n", TARVIK_VERSION), kOk;

    std::string why;
    const std::string address = SessionBusAddress(why);
    if (address.empty()) return Fail(kNoBus, "no session bus: " + why);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return Fail(kNoBus, "no session bus: " + bus.lastError().message().toStdString());
    const QString service = QString::fromLatin1(bus::kControlName);
    // Asked first, so that tarvikctl never has anything started on its behalf.
    if (!bus.interface()->isServiceRegistered(service).value()) {
        return Fail(kNotRunning, "Tarvik is not running (nobody owns Tarvik.Control on the session bus)");
    }
    ControlProxy control(service, QString::fromLatin1(bus::kControlPath), bus);
    if (command.verb == Verb::Name) return PrintName(control);
    if (command.verb == Verb::Watch) return Watch(control, command.json);
    if (command.verb == Verb::Monitor) return MonitorTraffic(bus, command.json);
    return Sends(command, control);
}
