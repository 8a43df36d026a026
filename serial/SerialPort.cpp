#include "serial/SerialPort.h"

#include <chrono>
#include <cstring>
#include <utility>

#include "common/Win32Codes.h"

namespace tarvik {

using namespace comm;

const uint32_t g_nDefaultComMsg = RegisteredMessageNumber("CSerialWnd_DefaultComMsg");

// ---- CSerialPort -------------------------------------------------------------------------------

CSerialPort::CSerialPort(ICommApi& api) : m_api(api) {}

CSerialPort::~CSerialPort() {
    if (m_handle) CSerialPort::Close();
}

uint32_t CSerialPort::Open(const std::string& device, uint32_t inQueue, uint32_t outQueue) {
    m_lastError = 0;
    if (m_handle) return Fail(ERROR_ALREADY_INITIALIZED);
    std::unique_ptr<ICommDevice> opened;
    const uint32_t result = m_api.Open(device, opened, m_openReport);
    if (result != 0 || !opened) return Fail(result != 0 ? result : ERROR_GEN_FAILURE);
    m_handle = std::move(opened);
    if (inQueue != 0 || outQueue != 0) {
        const uint32_t setup = m_handle->SetupComm(inQueue, outQueue);
        if (setup != 0) {
            Close();
            return Fail(setup);
        }
    }
    // A failure of either step leaves the port open, but is reported: a line without its event
    // mask would stay silent.
    const uint32_t maskResult = SetEventMask(EV_RXCHAR | EV_BREAK | EV_ERR);
    const uint32_t readModeResult = SetReadMode(ReadReturnImmediately);
    m_handle->ApplyDefaultConfig();
    return m_lastError = maskResult != 0 ? maskResult : readModeResult;
}

uint32_t CSerialPort::Close() {
    m_lastError = 0;
    m_handle.reset();
    return 0;
}

uint32_t CSerialPort::Configure(uint32_t baudRate, uint8_t dataBits, uint8_t parity, uint8_t stopBits) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    Dcb dcb;
    if (const uint32_t r = m_handle->GetCommState(dcb)) return Fail(r);
    dcb.BaudRate = baudRate;
    dcb.ByteSize = dataBits;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.fParity = parity != NOPARITY;
    return Fail(m_handle->SetCommState(dcb));
}

uint32_t CSerialPort::SetEventCharacter(char character, bool adjustMask) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    Dcb dcb;
    if (const uint32_t r = m_handle->GetCommState(dcb)) return Fail(r);
    dcb.EvtChar = character;
    uint32_t maskResult = 0;
    if (adjustMask) maskResult = SetEventMask(GetEventMask() | EV_RXFLAG);
    const uint32_t stateResult = m_handle->SetCommState(dcb);
    return Fail(maskResult != 0 ? maskResult : stateResult);
}

uint32_t CSerialPort::SetEventMask(uint32_t mask) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    if (const uint32_t r = m_handle->SetCommMask(mask)) return Fail(r);
    m_eventMask = mask;
    return 0;
}

uint32_t CSerialPort::WaitForEvent(uint32_t timeoutMs) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    uint32_t events = 0;
    const uint32_t result = m_handle->WaitCommEvent(events, timeoutMs);
    if (result != 0) return Fail(result);
    m_receivedEvents = events;
    return 0;
}

uint32_t CSerialPort::SetHandshake(int32_t mode) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    Dcb dcb;
    if (const uint32_t r = m_handle->GetCommState(dcb)) return Fail(r);
    // The flags each mode sets, row by row as the line settings name them.
    struct FlowFlags {
        bool ctsDsrFlow;
        uint8_t dtrControl;
        uint8_t rtsControl;
        bool xonXoff;
    };
    static constexpr FlowFlags kModes[] = {
        /* FlowNone     */ {false, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, false},
        /* FlowHardware */ {true, DTR_CONTROL_HANDSHAKE, RTS_CONTROL_HANDSHAKE, false},
        /* FlowXonXoff  */ {false, DTR_CONTROL_DISABLE, RTS_CONTROL_DISABLE, true},
    };
    if (mode < FlowNone || mode > FlowXonXoff) return Fail(E_INVALIDARG);
    const FlowFlags& flags = kModes[mode];
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = flags.ctsDsrFlow;
    dcb.fDtrControl = flags.dtrControl;
    dcb.fRtsControl = flags.rtsControl;
    dcb.fOutX = dcb.fInX = flags.xonXoff;
    return Fail(m_handle->SetCommState(dcb));
}

uint32_t CSerialPort::SetReadMode(int32_t mode) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    CommTimeouts timeouts;
    if (const uint32_t r = m_handle->GetCommTimeouts(timeouts)) return Fail(r);
    if (mode == ReadReturnImmediately) timeouts.ReadIntervalTimeout = MAXDWORD;
    else if (mode == ReadWaitForAll) timeouts.ReadIntervalTimeout = 0;
    else return Fail(E_INVALIDARG);
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    return Fail(m_handle->SetCommTimeouts(timeouts));
}

namespace {

// Reads the line settings for a getter: -1 in `value` when that is impossible.
bool ReadState(ICommDevice* device, std::atomic<uint32_t>& lastError, Dcb& dcb) {
    lastError = 0;
    if (!device) {
        lastError = ERROR_INVALID_HANDLE;
        return false;
    }
    const uint32_t r = device->GetCommState(dcb);
    lastError = r;
    return r == 0;
}

}  // namespace

int32_t CSerialPort::GetBaudRate() {
    Dcb dcb;
    return ReadState(Device(), m_lastError, dcb) ? static_cast<int32_t>(dcb.BaudRate) : -1;
}

int32_t CSerialPort::GetDataBits() {
    Dcb dcb;
    return ReadState(Device(), m_lastError, dcb) ? dcb.ByteSize : -1;
}

int32_t CSerialPort::GetParity() {
    Dcb dcb;
    if (!ReadState(Device(), m_lastError, dcb)) return -1;
    return dcb.fParity ? dcb.Parity : NOPARITY;
}

int32_t CSerialPort::GetStopBits() {
    Dcb dcb;
    return ReadState(Device(), m_lastError, dcb) ? dcb.StopBits : -1;
}

int32_t CSerialPort::GetHandshake() {
    Dcb dcb;
    if (!ReadState(Device(), m_lastError, dcb)) return -1;
    if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) return FlowHardware;
    if (dcb.fOutX && dcb.fInX) return FlowXonXoff;
    return FlowNone;
}

uint32_t CSerialPort::GetEventMask() {
    m_lastError = 0;
    if (!m_handle) {
        Fail(ERROR_INVALID_HANDLE);
        return 0;
    }
    return m_eventMask;
}

char CSerialPort::GetEventCharacter() {
    Dcb dcb;
    return ReadState(Device(), m_lastError, dcb) ? dcb.EvtChar : '\0';
}

uint32_t CSerialPort::WriteText(const char* text, size_t* count, uint32_t timeoutMs) {
    if (!text) {
        if (count) *count = 0;
        m_lastError = 0;
        return Fail(ERROR_INVALID_PARAMETER);
    }
    return Write(text, std::strlen(text), count, timeoutMs);
}

uint32_t CSerialPort::Write(const void* buffer, size_t length, size_t* count, uint32_t timeoutMs) {
    size_t internal = 0;
    size_t& moved = count ? *count : internal;
    moved = 0;
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    if (!buffer && length != 0) return Fail(ERROR_INVALID_PARAMETER);
    return Fail(m_handle->Write(static_cast<const uint8_t*>(buffer), length, moved, timeoutMs));
}

uint32_t CSerialPort::Read(void* buffer, size_t size, size_t* count, uint32_t timeoutMs) {
    size_t internal = 0;
    size_t& moved = count ? *count : internal;
    moved = 0;
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    if (!buffer && size != 0) return Fail(ERROR_INVALID_PARAMETER);
    return Fail(m_handle->Read(static_cast<uint8_t*>(buffer), size, moved, timeoutMs));
}

uint32_t CSerialPort::EscapeCommFunction(uint32_t function) {
    m_lastError = 0;
    if (!m_handle) return Fail(ERROR_INVALID_HANDLE);
    return Fail(m_handle->EscapeCommFunction(function));
}

uint32_t CSerialPort::TakeEvents() { return m_receivedEvents.exchange(0) & m_eventMask; }

// ---- CSerialThread -----------------------------------------------------------------------------

CSerialThread::~CSerialThread() {
    if (HasListener()) CSerialThread::Close();
}

uint32_t CSerialThread::Open(const std::string& device, uint32_t inQueue, uint32_t outQueue) {
    const uint32_t result = CSerialPort::Open(device, inQueue, outQueue);
    if (IsOpen()) m_stopEvent = false;
    return result;
}

uint32_t CSerialThread::StartListening() {
    m_lastError = 0;
    if (m_listenerThread.joinable()) return 0;
    if (!IsOpen()) return Fail(ERROR_INVALID_HANDLE);
    // A listener that missed its deadline to stop was told to stop; let it finish first so that
    // two listeners never wait on one line.
    JoinAbandoned();
    m_stopEvent = false;
    {
        std::lock_guard<std::mutex> lock(m_doneMutex);
        m_listenerDone = false;
    }
    try {
        m_listenerThread = std::thread(&CSerialThread::ListenerMain, this);
    } catch (const std::system_error&) { return Fail(ERROR_NOT_ENOUGH_MEMORY); }
    return 0;
}

uint32_t CSerialThread::StopListening(uint32_t timeoutMs) {
    m_lastError = 0;
    if (!m_listenerThread.joinable()) return 0;
    m_stopEvent = true;
    if (ICommDevice* device = Device()) device->Interrupt();
    bool ended = true;
    {
        std::unique_lock<std::mutex> lock(m_doneMutex);
        auto done = [this] { return m_listenerDone; };
        if (timeoutMs == INFINITE) m_doneCv.wait(lock, done);
        else ended = m_doneCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), done);
    }
    if (ended) m_listenerThread.join();
    else m_abandoned.push_back(std::move(m_listenerThread));
    return 0;
}

void CSerialThread::JoinAbandoned() {
    for (std::thread& thread : m_abandoned) {
        if (ICommDevice* device = Device()) device->Interrupt();
        thread.join();
    }
    m_abandoned.clear();
}

uint32_t CSerialThread::Close() {
    StopListening(INFINITE);
    JoinAbandoned();
    return CSerialPort::Close();
}

void CSerialThread::ListenerMain() {
    while (!m_stopEvent) {
        const uint32_t result = WaitForEvent(INFINITE);
        if (m_stopEvent || result != 0) break;
        const uint32_t events = TakeEvents();
        uint32_t errors = 0;
        if (const uint32_t r = Device()->ClearCommError(errors)) {
            m_lastError = r;
            errors = 0;
        }
        // An event word of 0 comes from a mask change and is nobody's news.
        if (events != 0) OnSerialEvent(events, errors);
    }
    std::lock_guard<std::mutex> lock(m_doneMutex);
    m_listenerDone = true;
    m_doneCv.notify_all();
}

// ---- CSerialWnd --------------------------------------------------------------------------------

CSerialWnd::~CSerialWnd() {
    if (HasListener()) CSerialWnd::Close();
}

uint32_t CSerialWnd::Open(const std::string& device, IMessagePoster* window, uint32_t message, int64_t param,
                          uint32_t inQueue, uint32_t outQueue) {
    const uint32_t result = CSerialThread::Open(device, inQueue, outQueue);
    if (result != 0) {
        // A line whose events could not be set up would stay silent: never leave it half open.
        if (IsOpen()) CSerialThread::Close();
        return Fail(result);
    }
    m_targetWindow = window;
    m_notifyMessage = message != 0 ? message : g_nDefaultComMsg;
    m_notifyParam = param;
    if (const uint32_t started = StartListening()) {
        Close();
        return Fail(started);
    }
    return m_lastError = 0;
}

uint32_t CSerialWnd::Close() {
    m_targetWindow = nullptr;
    m_notifyMessage = 0;
    return CSerialThread::Close();
}

void CSerialWnd::OnSerialEvent(uint32_t events, uint32_t errors) {
    IMessagePoster* window = m_targetWindow;
    if (!window) return;
    const uint64_t wParam = (events & 0xFFFFu) | (static_cast<uint64_t>(errors & 0xFFFFu) << 16);
    window->Post(m_notifyMessage, wParam, m_notifyParam);
}

// ---- CSerialWindowPort -------------------------------------------------------------------------

uint32_t CSerialWindowPort::Open(const std::string& device, IMessagePoster* window, uint32_t message, int64_t param,
                                 uint32_t inQueue, uint32_t outQueue) {
    return CSerialWnd::Open(device, window, message, param, inQueue, outQueue);
}

}  // namespace tarvik
