#include "bus/BusMonitor.h"

#include <QByteArray>
#include <QDBusMessage>

#include "automation/BusNames.h"

namespace tarvik {
namespace {

QByteArray Bytes(const std::string& bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

}  // namespace

void CBusMonitor::OnTraffic(const TrafficItem& item) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(bus::kControlPath), QString::fromLatin1(bus::kMonitorInterface),
                                   QString::fromLatin1(bus::kTraffic));
    signal << qulonglong(item.sequence) << qlonglong(item.timeUs) << QString::fromLatin1(LineName(item.line))
           << QString::fromLatin1(DirectionName(item.direction)) << QString::fromLatin1(KindName(item.kind))
           << Bytes(item.bytes) << Bytes(item.text) << QString::fromStdString(item.decoded);
    // Queued, never waited for: a slow subscriber does not hold up the lines.
    connection_.send(signal);
}

}  // namespace tarvik
