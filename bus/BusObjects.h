#pragma once
// The objects clients see on the bus. Each is a thin QObject whose slots the generated adaptors
// call; the caller's identity and any refusal go through QDBusContext, and the work is done by
// the server's standard C++ bookkeeping.
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>

#include "automation/InstrumentEvents.h"
#include "automation/TarvikObject.h"

namespace tarvik {

class BusServer;

// /Tarvik: Tarvik.ClassFactory.
class BusClassFactory : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit BusClassFactory(BusServer& server);

public Q_SLOTS:
    QDBusObjectPath CreateInstance();
    void LockServer(bool lock);

private:
    BusServer& m_server;
};

// /Tarvik/TarvikObject/N: Tarvik.ITarvikObject and Tarvik.IConnectionPoint.
class BusTarvikObject : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    BusTarvikObject(BusServer& server, uint32_t id);
    uint32_t id() const { return m_id; }

public Q_SLOTS:
    void SendString(const QString& text);
    void SendRawByte(int value);
    void SetMousePosition(short x, short y);
    void SetMouseActive(bool active);
    void SetMouseButton(bool down);
    void Release();
    uint Advise(const QDBusObjectPath& sink);
    void Unadvise(uint cookie);

private:
    InstrumentSends* instrumentSends();
    BusServer& m_server;
    uint32_t m_id;
};

// /Tarvik/Control: Tarvik.Control and Tarvik.Monitor. Holds no lock; hears of every name the
// instrument reports.
class BusControl : public QObject, protected QDBusContext, public InstrumentEvents {
    Q_OBJECT
    Q_PROPERTY(QString InstrumentName READ instrumentName)
    Q_PROPERTY(uint Subscribers READ subscribers)
public:
    BusControl(BusServer& server, InstrumentSends& sends);
    QString instrumentName() const;
    uint subscribers() const;
    void fireInstrumentChanged(const std::string& name) override;

public Q_SLOTS:
    void SendString(const QString& text);
    void SendRawByte(int value);
    void SetMousePosition(short x, short y);
    void SetMouseActive(bool active);
    void SetMouseButton(bool down);
    void Show();
    void Hide();
    void Quit();

Q_SIGNALS:
    void InstrumentChanged(const QString& name);

public Q_SLOTS:  // Tarvik.Monitor
    void Subscribe();
    void Unsubscribe();

private:
    void showWindow(bool show);
    BusServer& m_server;
    InstrumentSends& m_sends;
};

}  // namespace tarvik
