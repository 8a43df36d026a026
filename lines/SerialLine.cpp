#include "lines/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include <QPointer>
#include <QSocketNotifier>

#include "common/Win32Codes.h"
#include "lines/PortsFolder.h"

namespace tarvik::comm {
namespace {

using Clock = std::chrono::steady_clock;

speed_t speedFor(uint32_t baudRate) {
    static constexpr std::pair<uint32_t, speed_t> Speeds[] = {
        {1200, B1200},   {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
        {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
    };
    for (const auto& [rate, code] : Speeds) {
        if (rate == baudRate) return code;
    }
    return B9600;
}

// Milliseconds left until `deadline`, as poll wants them.
int msUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

uint32_t lastErrno() { return win32FromErrno(errno); }

constexpr short Gone = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

bool countersShowErrors(const serial_icounter_struct& before, const serial_icounter_struct& now) {
    return now.frame != before.frame || now.overrun != before.overrun || now.parity != before.parity ||
           now.buf_overrun != before.buf_overrun || now.brk != before.brk;
}

std::unique_ptr<SerialLine> SerialLine::open(const std::string& path, uint32_t baudRate, LineError& error) {
    // The system's words for the failure, kept with its code: the user is told the first, callers
    // decide on the second.
    auto failed = [&error](int number) {
        error = {win32FromErrno(number), std::generic_category().message(number)};
        return nullptr;
    };
    auto notTerminal = [&error] {
        error = {ERROR_INVALID_FUNCTION, NotATerminal};
        return nullptr;
    };
    error = {};
    // The kind is checked before opening: opening a FIFO or some other special file has effects.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failed(errno);
    if (S_ISDIR(st.st_mode)) return failed(EISDIR);
    if (!S_ISCHR(st.st_mode)) return notTerminal();

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode) || !::isatty(fd)) {
        ::close(fd);
        return notTerminal();
    }
    // TIOCEXCL keeps ordinary users out but not root; the lock keeps out every other opener that
    // plays by the same rules, root included. Its EWOULDBLOCK would read "Resource temporarily
    // unavailable"; the line is busy, as an open refused by TIOCEXCL says.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int number = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return failed(number);
    }
    ::ioctl(fd, TIOCEXCL);
    std::unique_ptr<SerialLine> line(new SerialLine(fd, baudRate));
    line->configure();
    return line;
}

SerialLine::SerialLine(int fd, uint32_t baudRate)
    : m_fd(fd),
      m_baudRate(baudRate),
      m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SerialLine::onActivated);
}

SerialLine::~SerialLine() { close(); }

void SerialLine::configure() {
    // Bytes should reach us as they arrive, not when the driver's timer next runs; ptys and some
    // adapters do not support this, which is fine.
    serial_struct serial{};
    if (::ioctl(m_fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(m_fd, TIOCSSERIAL, &serial);
    }
    m_haveCounters = ::ioctl(m_fd, TIOCGICOUNT, &m_counters) == 0;
    // A line whose settings cannot be changed is still used as it is.
    termios t{};
    if (::tcgetattr(m_fd, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        t.c_cflag |= CS8 | CLOCAL | CREAD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::cfsetispeed(&t, speedFor(m_baudRate));
        ::cfsetospeed(&t, speedFor(m_baudRate));
        ::tcsetattr(m_fd, TCSANOW, &t);
    }
    const int raise = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIS, &raise);
}

void SerialLine::onActivated() {
    pollfd ready{m_fd, POLLIN, 0};
    if (::poll(&ready, 1, 0) <= 0) return;
    // A hung-up descriptor is readable forever: stop watching it, or the loop would spin.
    if (ready.revents & Gone) {
        m_hungUp = true;
        m_notifier->setEnabled(false);
        emit lost({ERROR_DEVICE_NOT_CONNECTED, "hung up"});
        return;
    }
    serial_icounter_struct now{};
    if (m_haveCounters && ::ioctl(m_fd, TIOCGICOUNT, &now) == 0 && countersShowErrors(m_counters, now)) {
        m_counters = now;
        emit lineError();
    }
    const QPointer<SerialLine> alive(this);
    const uint64_t reads = m_reads;
    emit readyRead();
    // Data nobody reads would wake the loop again at once; it is news again after the next read.
    if (alive && m_reads == reads && m_fd >= 0) m_notifier->setEnabled(false);
}

uint32_t SerialLine::read(uint8_t* buffer, size_t size, size_t& count) {
    count = 0;
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    ++m_reads;
    if (!m_hungUp && !m_notifier->isEnabled()) m_notifier->setEnabled(true);
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, size);
        if (got >= 0) {
            count = static_cast<size_t>(got);
            return ERROR_SUCCESS;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN ? ERROR_SUCCESS : lastErrno();
    }
}

uint32_t SerialLine::put(const uint8_t* bytes, size_t length, size_t& count, Clock::time_point deadline) {
    count = 0;
    while (count < length) {
        const ssize_t put = ::write(m_fd, bytes + count, length - count);
        if (put > 0) {
            count += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && errno != EAGAIN) return lastErrno();
        pollfd ready{m_fd, POLLOUT, 0};
        const int result = ::poll(&ready, 1, msUntil(deadline));
        if (result < 0 && errno != EINTR) return lastErrno();
        if (result == 0) return ERROR_TIMEOUT;
        if (result > 0 && (ready.revents & Gone) && !(ready.revents & POLLOUT)) return ERROR_GEN_FAILURE;
    }
    return ERROR_SUCCESS;
}

uint32_t SerialLine::write(const uint8_t* bytes, size_t length, size_t& count) {
    count = 0;
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    const auto deadline = Clock::now() + writeTimeout(length, m_baudRate);
    // Bytes the driver has taken cannot be taken back without throwing away earlier writes too,
    // so a write the line stopped taking in the middle is finished before anything else is sent:
    // the far end never sees a packet cut short by the next one.
    if (!m_unsent.empty()) {
        size_t done = 0;
        const uint32_t result = put(m_unsent.data(), m_unsent.size(), done, deadline);
        m_unsent.erase(m_unsent.begin(), m_unsent.begin() + static_cast<std::ptrdiff_t>(done));
        if (result != ERROR_SUCCESS) {
            m_stalled = result == ERROR_TIMEOUT;
            return result;
        }
    }
    const uint32_t result = put(bytes, length, count, deadline);
    if (result == ERROR_TIMEOUT && count > 0) m_unsent.assign(bytes + count, bytes + length);
    m_stalled = result == ERROR_TIMEOUT;
    return result;
}

void SerialLine::close() {
    if (m_fd < 0) return;
    m_notifier->setEnabled(false);
    // Exclusivity is a property of the tty, not of our descriptor: give it back.
    ::ioctl(m_fd, TIOCNXCL);
    // A line that stopped taking bytes would hold close() for the driver's closing wait (often
    // 30 s) and then drop its queue anyway; drop it now so the window does not freeze.
    if (m_stalled) ::tcflush(m_fd, TCOFLUSH);
    ::close(m_fd);
    m_fd = -1;
    m_unsent.clear();
}

std::unique_ptr<Line> SerialLineOpener::open(const std::string& name, OpenReport& report) {
    report = {};
    std::string path;
    if (const uint32_t result = resolvePortName(name, path)) {
        report.error = {result, parsePortName(name) == 0 ? "not a port name" : "no ports folder"};
        return nullptr;
    }
    // The link as the user made it (what the preferences show), not the resolved chain.
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    report.target = error ? path : target.string();
    return SerialLine::open(path, m_baudRate, report.error);
}

LineOpener& serialLines() {
    static SerialLineOpener opener;
    return opener;
}

}  // namespace tarvik::comm
