#include "tools/tarvikctl/Monitor.h"

#include <cstdio>
#include <string>

#include "automation/BusNames.h"
#include "common/Traffic.h"
#include "serial/TrafficMonitor.h"
#include "tarvikproxy.h"
#include "tools/tarvikctl/CtlCommand.h"
#include "tools/tarvikctl/CtlSession.h"

namespace tarvik::ctl {
namespace {

void print(const TrafficItem& item, bool json) {
    const std::string line = json ? formatTrafficJson(item) : formatTrafficLine(item);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}  // namespace

int monitorTraffic(const QDBusConnection& bus, bool json) {
    const QString service = QString::fromLatin1(bus::ControlBusName);
    ::TarvikMonitorInterface monitor(service, QString::fromLatin1(bus::ControlPath), bus);
    // Connected before subscribing, so the first item already finds the match rule in place.
    QObject::connect(
        &monitor, &::TarvikMonitorInterface::Traffic,
        [json](qulonglong sequence, qlonglong time, const QString& line, const QString& direction, const QString& kind,
               const QByteArray& bytes, const QByteArray& text, const QString& decoded) {
            TrafficItem item;
            if (!parseTrafficItemParts(line.toStdString(), direction.toStdString(), kind.toStdString(), item)) {
                // From a newer Tarvik: said, and the stream goes on.
                std::fprintf(stderr, "tarvikctl: an item of a kind unknown here: %s\n", decoded.toUtf8().constData());
                return;
            }
            item.sequence = sequence;
            item.timeUs = time;
            item.bytes = bytes.toStdString();
            item.text = text.toStdString();
            item.decoded = decoded.toStdString();
            print(item, json);
        });
    QDBusPendingReply<> subscribed = monitor.Subscribe();
    subscribed.waitForFinished();
    if (subscribed.isError()) return callFailed(subscribed.error());
    // The subscription ends with this process's connection, however it ends.
    return runUntilEnded(bus, service);
}

}  // namespace tarvik::ctl
