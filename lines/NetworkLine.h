#pragma once
// A line to the instrument over the network: RFC 2217 (the far end's serial line set as a local
// line's would be) or raw TCP, either optionally inside TLS, on libgensio. Everything runs on the
// thread's Qt event loop: the name is looked up on a worker, the rest is gensio driven by
// QtGensio, so nothing here blocks and nothing wakes the process while the line is idle.
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lines/Line.h"
#include "lines/NetAddress.h"
#include "lines/SendQueue.h"

namespace tarvik::net {

class PendingLookup;
struct Resolved;
struct Session;

// What an RFC 2217 line asks of the far end's serial line, as a local line is set: 8 data bits,
// no parity, one stop bit, and these.
struct LineSettings {
    uint32_t baud = 9600;
    bool dtr = true;
    bool rts = true;
    // Opening (lookup, connection, TLS, telnet) that takes longer than this fails.
    std::chrono::milliseconds openTimeout{15000};
};

// Connections gensio still holds, also those of lines gone and being closed.
size_t liveSessions();

class NetworkLine final : public comm::Line {
    Q_OBJECT
public:
    NetworkLine(NetAddress address, LineSettings settings = {}, QObject* parent = nullptr);
    ~NetworkLine() override;

    // Starts opening a closed (or lost) line. `opened` or `openFailed` follows from the event
    // loop, never from inside this call. Slots must not delete the line (deleteLater does).
    void open();
    bool isOpening() const { return m_state >= State::Resolving && m_state <= State::Negotiating; }

    // Open, or lost and not yet closed by its owner.
    bool isOpen() const override { return m_state == State::Open || m_state == State::Lost; }
    uint32_t read(uint8_t* buffer, size_t size, size_t& count) override;
    // Takes all of `bytes` (count = length) and sends them as fast as the connection takes them,
    // or none with ERROR_TIMEOUT while what was taken before has outstayed its time: see
    // SendQueue. Lost: the loss's code; closed: 6.
    uint32_t write(const uint8_t* bytes, size_t length, size_t& count) override;
    void close() override;

    const NetAddress& address() const { return m_address; }
    // Bytes queued and not yet taken by the connection.
    size_t pending() const { return m_output.pending(); }
    // Whether RFC 2217 requests of the opening are still unanswered. gensio checks them once a
    // second until the server answers or 5 s have passed; a server that leaves some unanswered
    // (ser2net in front of a pseudo-terminal, which has no DTR or RTS) costs those wake-ups.
    bool awaitingServer() const;

private:
    enum class State { Closed, Resolving, Connecting, Negotiating, Open, Lost };
    friend struct Session;

    void onResolved(const Resolved& result);
    void onTransportOpen(int error);
    void onTelnetOpen(int error);
    void setFarLine();
    void ready();
    void fail(comm::LineError why);
    void onData(const unsigned char* data, size_t& length);
    void onBroken(int error);
    void announce();
    void flush();
    void disconnectTransport();

    NetAddress m_address;
    LineSettings m_settings;
    State m_state = State::Closed;
    std::unique_ptr<PendingLookup> m_lookup;
    Session* m_session = nullptr;  // gensio's side; outlives the line while gensio closes it
    uint64_t m_connection = 0;     // counts connections let go, so a late call can tell it is stale
    QTimer m_openTimer;
    comm::LineError m_loss;
    std::vector<uint8_t> m_input;
    bool m_readArmed = true;
    int m_settingTries = 0;
    SendQueue m_output;
};

}  // namespace tarvik::net
