#include "tools/ondrix-sim/PtyLine.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvik::sim {
namespace {

std::string failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyLine::~PtyLine() { close(); }

void PtyLine::close() {
    unplug();
    releaseOldNumber();
}

void PtyLine::unplug() {
    // The master goes first: that is the hang-up, and it takes the device node away.
    if (m_master >= 0) ::close(m_master);
    releaseOldNumber();
    m_oldNumber = m_spareSlave;
    m_spareSlave = m_master = -1;
    m_slavePath.clear();
    m_queue.clear();
}

void PtyLine::releaseOldNumber() {
    if (m_oldNumber >= 0) ::close(m_oldNumber);
    m_oldNumber = -1;
}

bool PtyLine::open(std::string& error) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        error = failure("posix_openpt");
        return false;
    }
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        error = failure("grantpt/unlockpt");
        return false;
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        error = failure("ptsname");
        return false;
    }
    m_slavePath = name;
    m_spareSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_spareSlave < 0) {
        error = failure("open pty slave");
        return false;
    }
    // Raw from the start: with echo on, what we send would come straight back as if the program
    // had sent it, and canonical mode would hold bytes back until a newline.
    termios tio{};
    if (::tcgetattr(m_spareSlave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(m_spareSlave, TCSANOW, &tio);
    }
    const int flags = ::fcntl(m_master, F_GETFL);
    if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = failure("fcntl O_NONBLOCK");
        return false;
    }
    return true;
}

size_t PtyLine::send(std::string_view bytes) {
    const size_t room = m_queue.size() < MaxQueued ? MaxQueued - m_queue.size() : 0;
    const size_t taken = bytes.size() < room ? bytes.size() : room;
    m_queue.append(bytes.substr(0, taken));
    std::string ignored;
    flush(ignored);
    return bytes.size() - taken;
}

bool PtyLine::flush(std::string& error) {
    while (!m_queue.empty()) {
        const ssize_t n = ::write(m_master, m_queue.data(), m_queue.size());
        if (n > 0) {
            m_queue.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        error = failure("write");
        return false;
    }
    return true;
}

ssize_t PtyLine::read(uint8_t* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

}  // namespace tarvik::sim
