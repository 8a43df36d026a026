#pragma once
// The serial class family: a line with a last-error convention (CSerialPort), a listener thread
// that waits for the line's events (CSerialThread), events turned into posted window messages
// (CSerialWnd), and the window named by its object (CSerialWindowPort).
//
// Every operation sets the last error to 0, stores a failure's code there and returns it; nothing
// throws and nothing is shown. Codes of the family itself: 6 closed port, 1247 already open,
// 1460 time-out, E_INVALIDARG a mode outside its range.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "platform/comm/CommApi.h"

namespace tarvik {

// The number a window message name is given in the registered range 0xC000..0xFFFF. The same name
// gives the same number in every process of the program.
constexpr uint32_t RegisteredMessageNumber(std::string_view name) {
    uint32_t hash = 2166136261u;
    for (char c : name) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 16777619u;
    }
    return 0xC000u + (hash % 0x4000u);
}

// "CSerialWnd_DefaultComMsg": what CSerialWnd posts when it is opened with message 0.
extern const uint32_t g_nDefaultComMsg;

class CSerialPort {
public:
    enum EHandshake : int32_t { FlowNone = 0, FlowHardware = 1, FlowXonXoff = 2 };
    enum EReadMode : int32_t { ReadReturnImmediately = 0, ReadWaitForAll = 1 };

    explicit CSerialPort(comm::ICommApi& api = comm::RealCommApi());
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    virtual uint32_t Open(const std::string& device, uint32_t inQueue = 0, uint32_t outQueue = 0);
    virtual uint32_t Close();
    virtual uint32_t Configure(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits);
    virtual uint32_t SetEventCharacter(char character, bool adjustMask = true);
    virtual uint32_t SetEventMask(uint32_t mask);
    // Blocks until an event of the mask arrives (it is kept for TakeEvents) or timeoutMs passes.
    virtual uint32_t WaitForEvent(uint32_t timeoutMs = comm::INFINITE);
    virtual uint32_t SetHandshake(int32_t mode);
    virtual uint32_t SetReadMode(int32_t mode);
    // -1 on a closed port or when the line settings cannot be read.
    virtual int32_t GetBaudRate();
    virtual int32_t GetDataBits();
    virtual int32_t GetParity();
    virtual int32_t GetStopBits();
    virtual int32_t GetHandshake();
    virtual uint32_t GetEventMask();
    virtual char GetEventCharacter();
    // `count` (optional) receives the bytes moved, also on failure. timeoutMs bounds the call; on
    // time-out the result is 1460 (see comm::ICommDevice::Write for what happens to the bytes).
    virtual uint32_t WriteText(const char* text, size_t* count = nullptr, uint32_t timeoutMs = comm::INFINITE);
    virtual uint32_t Write(const void* buffer, size_t length, size_t* count = nullptr,
                           uint32_t timeoutMs = comm::INFINITE);
    virtual uint32_t Read(void* buffer, size_t size, size_t* count = nullptr, uint32_t timeoutMs = comm::INFINITE);

    // DTR, RTS, break and XON/XOFF by their EscapeCommFunction codes (SETDTR 5, SETRTS 3, ...).
    uint32_t EscapeCommFunction(uint32_t function);
    // The events of the last wait, masked by the event mask; clears them. Leaves the last error.
    uint32_t TakeEvents();
    uint32_t LastError() const { return m_lastError; }
    // Where the last Open found the line bound and, if it failed there, the system's reason.
    const comm::OpenReport& LastOpenReport() const { return m_openReport; }
    bool IsOpen() const { return m_handle != nullptr; }
    // While held, reads do not yet send the listener back to watching for data (see
    // comm::ICommDevice::HoldRearm); releasing does.
    void HoldListener(bool hold) {
        if (m_handle) m_handle->HoldRearm(hold);
    }

protected:
    comm::ICommDevice* Device() const { return m_handle.get(); }
    uint32_t Fail(uint32_t code) { return m_lastError = code; }

    std::atomic<uint32_t> m_lastError{0};

private:
    comm::ICommApi& m_api;
    std::unique_ptr<comm::ICommDevice> m_handle;
    comm::OpenReport m_openReport;  // owner's thread only
    std::atomic<uint32_t> m_receivedEvents{0};
    std::atomic<uint32_t> m_eventMask{0};
};

class CSerialThread : public CSerialPort {
public:
    using CSerialPort::CSerialPort;
    ~CSerialThread() override;

    uint32_t Open(const std::string& device, uint32_t inQueue = 0, uint32_t outQueue = 0) override;
    uint32_t Close() override;
    virtual uint32_t StartListening();
    // Asks the listener to end and waits up to timeoutMs. Always 0. A listener that has not ended
    // in time is still joined before the port closes, so it never outlives the object.
    virtual uint32_t StopListening(uint32_t timeoutMs = comm::INFINITE);
    bool IsListening() const { return m_listenerThread.joinable(); }

protected:
    // Runs on the listener thread.
    virtual void OnSerialEvent(uint32_t events, uint32_t errors) = 0;
    // A listener runs, or one that did not stop in time has not been joined yet.
    bool HasListener() const { return m_listenerThread.joinable() || !m_abandoned.empty(); }

private:
    void ListenerMain();
    void JoinAbandoned();

    std::thread m_listenerThread;
    std::atomic<bool> m_stopEvent{false};
    std::mutex m_doneMutex;
    std::condition_variable m_doneCv;
    bool m_listenerDone = false;
    std::vector<std::thread> m_abandoned;
};

class CSerialWnd : public CSerialThread {
public:
    using CSerialThread::CSerialThread;
    using CSerialThread::Open;
    ~CSerialWnd() override;

    // Opens the line and starts posting `message` (g_nDefaultComMsg when 0) to `window` for every
    // event: wParam low word the events, high word the line errors; lParam `param`.
    virtual uint32_t Open(const std::string& device, IMessagePoster* window, uint32_t message, int64_t param,
                          uint32_t inQueue = 0, uint32_t outQueue = 0);
    uint32_t Close() override;

protected:
    void OnSerialEvent(uint32_t events, uint32_t errors) override;

private:
    std::atomic<IMessagePoster*> m_targetWindow{nullptr};
    std::atomic<uint32_t> m_notifyMessage{0};
    std::atomic<int64_t> m_notifyParam{0};
};

class CSerialWindowPort : public CSerialWnd {
public:
    using CSerialWnd::CSerialWnd;
    using CSerialWnd::Open;

    // The window object receives the notifications; with none given, nobody does.
    uint32_t Open(const std::string& device, IMessagePoster* window, uint32_t message, int64_t param,
                  uint32_t inQueue = 0, uint32_t outQueue = 0) override;
};

}  // namespace tarvik
