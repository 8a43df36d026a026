#include "platform/comm/TermiosDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>
#include <utility>

#include "common/Win32Codes.h"
#include "platform/comm/PortsFolder.h"

namespace tarvik::comm {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::pair<uint32_t, speed_t> kSpeeds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedFor(uint32_t baud, speed_t& speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (rate == baud) {
            speed = code;
            return true;
        }
    }
    return false;
}

uint32_t BaudFor(speed_t speed) {
    for (const auto& [rate, code] : kSpeeds) {
        if (code == speed) return rate;
    }
    return 9600;
}

// Milliseconds left until `deadline`, as poll wants them: -1 waits without limit.
int PollTimeout(bool bounded, Clock::time_point deadline) {
    if (!bounded) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return 0;
    return left.count() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left.count());
}

uint32_t LastErrno() { return Win32FromErrno(errno); }

}  // namespace

uint32_t TermiosDevice::Open(const std::string& path, std::unique_ptr<ICommDevice>& device, std::string& reason) {
    // The system's words for the failure, kept with its code: the user is told the first, callers
    // decide on the second.
    auto failed = [&reason](int error) {
        reason = std::generic_category().message(error);
        return Win32FromErrno(error);
    };
    auto notTerminal = [&reason] {
        reason = kNotATerminal;
        return ERROR_INVALID_FUNCTION;
    };
    reason.clear();
    // Check the kind before opening: opening a FIFO or some other special file has side effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failed(errno);
    if (S_ISDIR(st.st_mode)) return failed(EISDIR);
    if (!S_ISCHR(st.st_mode)) return notTerminal();

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    auto fail = [fd](uint32_t code) {
        ::close(fd);
        return code;
    };
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) return fail(notTerminal());
    // TIOCEXCL keeps ordinary users out but not root; the lock keeps out every other opener that
    // plays by the same rules, root included. Its EWOULDBLOCK would read "Resource temporarily
    // unavailable"; the line is busy, as an open refused by TIOCEXCL says.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(failed(errno == EWOULDBLOCK ? EBUSY : errno));
    ::ioctl(fd, TIOCEXCL);
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        const int error = errno;
        ::ioctl(fd, TIOCNXCL);
        return fail(failed(error));
    }
    std::unique_ptr<TermiosDevice> opened(new TermiosDevice(fd, wakeFd));
    opened->LoadStateFromTermios();
    device = std::move(opened);
    return ERROR_SUCCESS;
}

TermiosDevice::TermiosDevice(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {
    // Bytes should reach us as they arrive, not when the driver's timer next runs; ptys and
    // some adapters do not support this, which is fine.
    serial_struct serial{};
    if (::ioctl(fd_, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd_, TIOCSSERIAL, &serial);
    }
    haveCounters_ = ::ioctl(fd_, TIOCGICOUNT, &counters_) == 0;
}

TermiosDevice::~TermiosDevice() {
    // Exclusivity is a property of the tty, not of our descriptor: give it back.
    ::ioctl(fd_, TIOCNXCL);
    // A line that stopped taking bytes would hold close() for the driver's closing wait (often
    // 30 s) and then drop its queue anyway; drop it now so the window does not freeze.
    if (stalled_) ::tcflush(fd_, TCOFLUSH);
    ::close(wakeFd_);
    ::close(fd_);
}

void TermiosDevice::LoadStateFromTermios() {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return;
    dcb_.BaudRate = BaudFor(::cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
        case CS5: dcb_.ByteSize = 5; break;
        case CS6: dcb_.ByteSize = 6; break;
        case CS7: dcb_.ByteSize = 7; break;
        default: dcb_.ByteSize = 8; break;
    }
    if (!(t.c_cflag & PARENB)) dcb_.Parity = NOPARITY;
    else if (t.c_cflag & CMSPAR) dcb_.Parity = (t.c_cflag & PARODD) ? MARKPARITY : SPACEPARITY;
    else dcb_.Parity = (t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY;
    dcb_.fParity = (t.c_iflag & INPCK) != 0;
    dcb_.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
    dcb_.fOutxCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    dcb_.fRtsControl = dcb_.fOutxCtsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb_.fOutX = (t.c_iflag & IXON) != 0;
    dcb_.fInX = (t.c_iflag & IXOFF) != 0;
}

uint32_t TermiosDevice::ApplyToTermios(const Dcb& dcb) {
    speed_t speed = B9600;
    if (!SpeedFor(dcb.BaudRate, speed) || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS) {
        return ERROR_INVALID_PARAMETER;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return LastErrno();
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
        case ODDPARITY: t.c_cflag |= PARENB | PARODD; break;
        case EVENPARITY: t.c_cflag |= PARENB; break;
        case MARKPARITY: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    if (dcb.fParity) t.c_iflag |= INPCK;
    if (dcb.StopBits != ONESTOPBIT) t.c_cflag |= CSTOPB;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) t.c_cflag |= CRTSCTS;
    if (dcb.fOutX) t.c_iflag |= IXON;
    if (dcb.fInX) t.c_iflag |= IXOFF;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return LastErrno();
    // The modem lines follow the control modes where the driver has them (ptys do not).
    int lines = 0;
    if (dcb.fDtrControl != DTR_CONTROL_HANDSHAKE) lines |= TIOCM_DTR;
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE || dcb.fRtsControl == RTS_CONTROL_DISABLE) lines |= TIOCM_RTS;
    int raise = 0;
    if (dcb.fDtrControl == DTR_CONTROL_ENABLE) raise |= TIOCM_DTR;
    if (dcb.fRtsControl == RTS_CONTROL_ENABLE) raise |= TIOCM_RTS;
    const int lower = lines & ~raise;
    if (raise) ::ioctl(fd_, TIOCMBIS, &raise);
    if (lower) ::ioctl(fd_, TIOCMBIC, &lower);
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::SetupComm(uint32_t, uint32_t) {
    // The kernel sizes its own queues; the request is accepted as a hint.
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::ApplyDefaultConfig() {
    Dcb defaults;
    const uint32_t result = ApplyToTermios(defaults);
    if (result == ERROR_SUCCESS) dcb_ = defaults;
    return result;
}

uint32_t TermiosDevice::GetCommState(Dcb& dcb) {
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return LastErrno();
    dcb = dcb_;
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::SetCommState(const Dcb& dcb) {
    const uint32_t result = ApplyToTermios(dcb);
    if (result == ERROR_SUCCESS) dcb_ = dcb;
    return result;
}

uint32_t TermiosDevice::GetCommTimeouts(CommTimeouts& timeouts) {
    timeouts = timeouts_;
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::SetCommTimeouts(const CommTimeouts& timeouts) {
    timeouts_ = timeouts;
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::SetCommMask(uint32_t mask) {
    mask_ = mask;
    Interrupt();
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::EscapeCommFunction(uint32_t function) {
    int bits = 0;
    int result = 0;
    switch (function) {
        case SETDTR:
            bits = TIOCM_DTR;
            result = ::ioctl(fd_, TIOCMBIS, &bits);
            break;
        case CLRDTR:
            bits = TIOCM_DTR;
            result = ::ioctl(fd_, TIOCMBIC, &bits);
            break;
        case SETRTS:
            bits = TIOCM_RTS;
            result = ::ioctl(fd_, TIOCMBIS, &bits);
            break;
        case CLRRTS:
            bits = TIOCM_RTS;
            result = ::ioctl(fd_, TIOCMBIC, &bits);
            break;
        case SETBREAK: result = ::ioctl(fd_, TIOCSBRK); break;
        case CLRBREAK: result = ::ioctl(fd_, TIOCCBRK); break;
        case SETXOFF: result = ::tcflow(fd_, TCOOFF); break;
        case SETXON: result = ::tcflow(fd_, TCOON); break;
        default: return ERROR_INVALID_PARAMETER;
    }
    return result == 0 ? ERROR_SUCCESS : LastErrno();
}

void TermiosDevice::Wake() {
    const uint64_t one = 1;
    // A full counter already means "wake up"; nothing is lost when this write fails.
    [[maybe_unused]] ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void TermiosDevice::DrainWake() {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t got = ::read(wakeFd_, &value, sizeof value);
}

void TermiosDevice::Interrupt() {
    interrupt_ = true;
    Wake();
}

Arrival ArrivalFromCounters(const serial_icounter_struct& before, const serial_icounter_struct& now) {
    Arrival arrival{EV_RXCHAR, 0};
    if (now.frame != before.frame) arrival.errors |= CE_FRAME;
    if (now.overrun != before.overrun) arrival.errors |= CE_OVERRUN;
    if (now.parity != before.parity) arrival.errors |= CE_RXPARITY;
    if (now.buf_overrun != before.buf_overrun) arrival.errors |= CE_RXOVER;
    if (now.brk != before.brk) {
        arrival.errors |= CE_BREAK;
        arrival.events |= EV_BREAK;
    }
    return arrival;
}

uint32_t TermiosDevice::DataArrived() {
    Arrival arrival{EV_RXCHAR, 0};
    serial_icounter_struct now{};
    if (haveCounters_ && ::ioctl(fd_, TIOCGICOUNT, &now) == 0) {
        arrival = ArrivalFromCounters(counters_, now);
        counters_ = now;
    }
    pendingErrors_ |= arrival.errors;
    return arrival.events;
}

uint32_t TermiosDevice::WaitCommEvent(uint32_t& events, uint32_t timeoutMs) {
    events = 0;
    const bool bounded = timeoutMs != INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
    for (;;) {
        if (interrupt_.exchange(false)) return ERROR_SUCCESS;
        pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, 0, 0}};
        nfds_t count = 1;
        // After a hang-up the device is left alone: it would report POLLHUP on every poll.
        if (!hungUp_) {
            if ((mask_ & EV_RXCHAR) && rxArmed_) fds[1].events = POLLIN;
            count = 2;
        }
        const int ready = ::poll(fds, count, PollTimeout(bounded, deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return LastErrno();
        }
        if (ready == 0) return ERROR_TIMEOUT;
        if (fds[0].revents) DrainWake();
        if (count < 2 || fds[1].revents == 0) continue;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp_ = true;
            pendingErrors_ |= CE_IOE;
            events = EV_ERR;
            return ERROR_SUCCESS;
        }
        rxArmed_ = false;
        events = DataArrived() & mask_;
        return ERROR_SUCCESS;
    }
}

uint32_t TermiosDevice::ClearCommError(uint32_t& errors) {
    errors = pendingErrors_.exchange(0);
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::ReadImmediate(uint8_t* buffer, size_t size, size_t& count) {
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, size);
        if (got >= 0) {
            count = static_cast<size_t>(got);
            return ERROR_SUCCESS;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN) return ERROR_SUCCESS;
        return LastErrno();
    }
}

uint32_t TermiosDevice::ReadTimed(uint8_t* buffer, size_t size, size_t& count, uint32_t timeoutMs) {
    // The line's own total time-out ends the read successfully with what came; the caller's
    // time-out is a failure.
    const uint64_t total =
        static_cast<uint64_t>(timeouts_.ReadTotalTimeoutMultiplier) * size + timeouts_.ReadTotalTimeoutConstant;
    const bool anyByteEnds = timeouts_.ReadIntervalTimeout == MAXDWORD;
    const auto now = Clock::now();
    const bool lineBounded = total != 0;
    const bool callerBounded = timeoutMs != INFINITE;
    const auto lineDeadline = now + std::chrono::milliseconds(total);
    const auto callerDeadline = now + std::chrono::milliseconds(callerBounded ? timeoutMs : 0);
    while (count < size) {
        size_t got = 0;
        const uint32_t result = ReadImmediate(buffer + count, size - count, got);
        if (result != ERROR_SUCCESS) return result;
        count += got;
        if (count == size || (anyByteEnds && count > 0)) break;
        const bool lineFirst = lineBounded && (!callerBounded || lineDeadline <= callerDeadline);
        pollfd fd{fd_, POLLIN, 0};
        const int ready =
            ::poll(&fd, 1, PollTimeout(lineBounded || callerBounded, lineFirst ? lineDeadline : callerDeadline));
        if (ready < 0 && errno != EINTR) return LastErrno();
        if (ready == 0) return lineFirst ? ERROR_SUCCESS : ERROR_TIMEOUT;
        if (ready > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fd.revents & POLLIN)) {
            return ERROR_GEN_FAILURE;
        }
    }
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::Read(uint8_t* buffer, size_t size, size_t& count, uint32_t timeoutMs) {
    count = 0;
    const bool immediate = timeouts_.ReadIntervalTimeout == MAXDWORD && timeouts_.ReadTotalTimeoutMultiplier == 0 &&
                           timeouts_.ReadTotalTimeoutConstant == 0;
    const uint32_t result = size == 0   ? ERROR_SUCCESS
                            : immediate ? ReadImmediate(buffer, size, count)
                                        : ReadTimed(buffer, size, count, timeoutMs);
    // The owner has looked at the line: data that is still there, or comes now, is news again.
    if (rearmHeld_) {
        rearmPending_ = true;
    } else {
        rxArmed_ = true;
        Wake();
    }
    return result;
}

void TermiosDevice::HoldRearm(bool hold) {
    rearmHeld_ = hold;
    if (hold || !rearmPending_) return;
    rearmPending_ = false;
    rxArmed_ = true;
    Wake();
}

uint32_t TermiosDevice::Put(const uint8_t* bytes, size_t length, size_t& count, bool bounded,
                            Clock::time_point deadline) {
    count = 0;
    while (count < length) {
        const ssize_t put = ::write(fd_, bytes + count, length - count);
        if (put > 0) {
            count += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return LastErrno();
        pollfd fd{fd_, POLLOUT, 0};
        const int ready = ::poll(&fd, 1, PollTimeout(bounded, deadline));
        if (ready < 0 && errno != EINTR) return LastErrno();
        if (ready == 0) return ERROR_TIMEOUT;
        if (ready > 0 && (fd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(fd.revents & POLLOUT)) {
            return ERROR_GEN_FAILURE;
        }
    }
    return ERROR_SUCCESS;
}

uint32_t TermiosDevice::Write(const uint8_t* buffer, size_t length, size_t& count, uint32_t timeoutMs) {
    count = 0;
    const bool bounded = timeoutMs != INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
    // Bytes the driver has taken cannot be taken back without throwing away earlier writes too,
    // so a write the line stopped taking in the middle is finished before anything else is sent:
    // the far end never sees a packet cut short by the next one.
    if (!unsent_.empty()) {
        size_t done = 0;
        const uint32_t result = Put(unsent_.data(), unsent_.size(), done, bounded, deadline);
        unsent_.erase(unsent_.begin(), unsent_.begin() + static_cast<std::ptrdiff_t>(done));
        if (result != ERROR_SUCCESS) {
            stalled_ = result == ERROR_TIMEOUT;
            return result;
        }
    }
    const uint32_t result = Put(buffer, length, count, bounded, deadline);
    if (result == ERROR_TIMEOUT && count > 0) unsent_.assign(buffer + count, buffer + length);
    stalled_ = result == ERROR_TIMEOUT;
    return result;
}

}  // namespace tarvik::comm
