#pragma once
// The communications calls the serial class family is written against: open a named line, set and
// read its state, wait for its events, read and write it. Every call returns a Win32 error code
// (0 for success) so the family above keeps the numbers its callers know.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarvik::comm {

// Event bits of the event mask and of the event word.
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_RXFLAG = 0x0002;
inline constexpr uint32_t EV_TXEMPTY = 0x0004;
inline constexpr uint32_t EV_CTS = 0x0008;
inline constexpr uint32_t EV_DSR = 0x0010;
inline constexpr uint32_t EV_RLSD = 0x0020;
inline constexpr uint32_t EV_BREAK = 0x0040;
inline constexpr uint32_t EV_ERR = 0x0080;

// Line error flags, as ClearCommError returns them.
inline constexpr uint32_t CE_RXOVER = 0x0001;
inline constexpr uint32_t CE_OVERRUN = 0x0002;
inline constexpr uint32_t CE_RXPARITY = 0x0004;
inline constexpr uint32_t CE_FRAME = 0x0008;
inline constexpr uint32_t CE_BREAK = 0x0010;
inline constexpr uint32_t CE_IOE = 0x0400;  // the device went away under us (hang-up)

// Line codes.
inline constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
inline constexpr uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;
inline constexpr uint8_t DTR_CONTROL_DISABLE = 0, DTR_CONTROL_ENABLE = 1, DTR_CONTROL_HANDSHAKE = 2;
inline constexpr uint8_t RTS_CONTROL_DISABLE = 0, RTS_CONTROL_ENABLE = 1, RTS_CONTROL_HANDSHAKE = 2,
                         RTS_CONTROL_TOGGLE = 3;

// EscapeCommFunction codes.
inline constexpr uint32_t SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6, SETBREAK = 8,
                          CLRBREAK = 9;

inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;
inline constexpr uint32_t MAXDWORD = 0xFFFFFFFFu;

// Errors the layer reports besides those in Win32Codes.h.
inline constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
inline constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr uint32_t ERROR_CANT_RESOLVE_FILENAME = 1921;

// The line settings. Fields that termios has no place for (the DTR/RTS control modes, DSR flow,
// the event character, the parity-check flag) are kept by the layer, so what is set reads back.
struct Dcb {
    uint32_t BaudRate = 9600;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = DTR_CONTROL_ENABLE;
    bool fDsrSensitivity = false;
    bool fOutX = false;
    bool fInX = false;
    uint8_t fRtsControl = RTS_CONTROL_ENABLE;
    uint8_t ByteSize = 8;
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char EvtChar = 0;
};

struct CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// One open line. The owner's thread configures, reads and writes; one listener thread may sit in
// WaitCommEvent and call ClearCommError at the same time.
class ICommDevice {
public:
    virtual ~ICommDevice() = default;

    virtual uint32_t SetupComm(uint32_t inQueue, uint32_t outQueue) = 0;
    // The port's own default configuration: raw 8N1 at 9600 baud without flow control.
    virtual uint32_t ApplyDefaultConfig() = 0;
    virtual uint32_t GetCommState(Dcb& dcb) = 0;
    virtual uint32_t SetCommState(const Dcb& dcb) = 0;
    virtual uint32_t GetCommTimeouts(CommTimeouts& timeouts) = 0;
    virtual uint32_t SetCommTimeouts(const CommTimeouts& timeouts) = 0;
    // Changing the mask ends a wait in progress with an event word of 0.
    virtual uint32_t SetCommMask(uint32_t mask) = 0;
    virtual uint32_t EscapeCommFunction(uint32_t function) = 0;

    // Blocks until an event of the mask occurs (events set, result 0), Interrupt is called
    // (events 0, result 0), or timeoutMs runs out (ERROR_TIMEOUT). Received data is reported once:
    // after EV_RXCHAR the line is not watched for data again until the next Read.
    virtual uint32_t WaitCommEvent(uint32_t& events, uint32_t timeoutMs) = 0;
    // Ends the wait in progress, or the next one if none is waiting, with an event word of 0.
    virtual void Interrupt() = 0;
    // Returns and clears the line errors gathered since the last call.
    virtual uint32_t ClearCommError(uint32_t& errors) = 0;

    // Both give in `count` the bytes moved, also when they fail. timeoutMs bounds the whole call;
    // when it runs out the result is ERROR_TIMEOUT. Bytes a write counted are never thrown away;
    // if the line took only part of a write, its rest goes out first on the next write, so the
    // far end never sees one write's bytes cut by another's. Other bytes of a failed write are
    // dropped.
    virtual uint32_t Read(uint8_t* buffer, size_t size, size_t& count, uint32_t timeoutMs) = 0;
    virtual uint32_t Write(const uint8_t* buffer, size_t length, size_t& count, uint32_t timeoutMs) = 0;

    // While held, a Read does not yet tell the listener to watch for data again; releasing the
    // hold does, if a Read happened meanwhile. The owner holds it while it handles what it read,
    // so the listener does not wake and compete with the owner's writes. Owner's thread only.
    virtual void HoldRearm(bool hold) { (void)hold; }
};

// Why a line that is no terminal (a plain file, /dev/null) does not open; errno has no word for it.
inline constexpr const char* kNotATerminal = "not a terminal";

// What an Open found, for telling the user where a line leads and, when it did not open, why.
struct OpenReport {
    std::string target;  // where the name is bound: the link's target, else the entry itself
    std::string reason;  // the system's words for the failure ("not a terminal"); empty on success
};

class ICommApi {
public:
    virtual ~ICommApi() = default;
    // Opens `name` ("COMn") for exclusive use. On failure `device` stays empty.
    virtual uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device, OpenReport& report) = 0;
    uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device) {
        OpenReport report;
        return Open(name, device, report);
    }
};

// The real lines: termios, poll and ioctl on the device bound to the name in the ports folder.
ICommApi& RealCommApi();

}  // namespace tarvik::comm
