#include "bus/BusMonitor.h"

#include <QByteArray>
#include <QDBusMessage>

#include "automation/BusNames.h"

namespace tarvik {
namespace {

QByteArray bytes(const std::string& bytes) { return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())); }

}  // namespace

void BusMonitor::onTraffic(const TrafficItem& item) {
    QDBusMessage signal =
        QDBusMessage::createSignal(QString::fromLatin1(bus::ControlPath), QString::fromLatin1(bus::MonitorInterface),
                                   QString::fromLatin1(bus::Traffic));
    signal << qulonglong(item.sequence) << qlonglong(item.timeUs) << QString::fromLatin1(lineName(item.line))
           << QString::fromLatin1(directionName(item.direction)) << QString::fromLatin1(kindName(item.kind))
           << bytes(item.bytes) << bytes(item.text) << QString::fromStdString(item.decoded);
    // Queued, never waited for: a slow subscriber does not hold up the lines.
    m_connection.send(signal);
}

}  // namespace tarvik
