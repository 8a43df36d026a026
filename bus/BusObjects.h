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

class CBusServer;

// /Tarvik: Tarvik.ClassFactory.
class CBusClassFactory : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit CBusClassFactory(CBusServer& server);

public Q_SLOTS:
    QDBusObjectPath CreateInstance();
    void LockServer(bool lock);

private:
    CBusServer& server_;
};

// /Tarvik/TarvikObject/N: Tarvik.ITarvikObject and Tarvik.IConnectionPoint.
class CBusTarvikObject : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    CBusTarvikObject(CBusServer& server, uint32_t id);
    uint32_t Id() const { return id_; }

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
    CInstrumentSends* Sends();
    CBusServer& server_;
    uint32_t id_;
};

// /Tarvik/Control: Tarvik.Control and Tarvik.Monitor. Holds no lock; hears of every name the
// instrument reports.
class CBusControl : public QObject, protected QDBusContext, public IInstrumentEvents {
    Q_OBJECT
    Q_PROPERTY(QString InstrumentName READ InstrumentName)
    Q_PROPERTY(uint Subscribers READ Subscribers)
public:
    CBusControl(CBusServer& server, CInstrumentSends& sends);
    QString InstrumentName() const;
    uint Subscribers() const;
    void FireInstrumentChanged(const std::string& name) override;

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
    void ShowWindow(bool show);
    CBusServer& server_;
    CInstrumentSends& sends_;
};

}  // namespace tarvik
