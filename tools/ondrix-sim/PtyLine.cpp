#include "tools/ondrix-sim/PtyLine.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tarvik::sim {
namespace {

std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

PtyLine::~PtyLine() { Close(); }

void PtyLine::Close() {
    Unplug();
    ReleaseOldNumber();
}

void PtyLine::Unplug() {
    // The master goes first: that is the hang-up, and it takes the device node away.
    if (master_ >= 0) ::close(master_);
    ReleaseOldNumber();
    oldNumber_ = spareSlave_;
    spareSlave_ = master_ = -1;
    slavePath_.clear();
    queue_.clear();
}

void PtyLine::ReleaseOldNumber() {
    if (oldNumber_ >= 0) ::close(oldNumber_);
    oldNumber_ = -1;
}

bool PtyLine::Open(std::string& error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        error = Failure("posix_openpt");
        return false;
    }
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error = Failure("grantpt/unlockpt");
        return false;
    }
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) {
        error = Failure("ptsname");
        return false;
    }
    slavePath_ = name;
    spareSlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (spareSlave_ < 0) {
        error = Failure("open pty slave");
        return false;
    }
    // Raw from the start: with echo on, what we send would come straight back as if the program
    // had sent it, and canonical mode would hold bytes back until a newline.
    termios tio{};
    if (::tcgetattr(spareSlave_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B9600);
        ::tcsetattr(spareSlave_, TCSANOW, &tio);
    }
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = Failure("fcntl O_NONBLOCK");
        return false;
    }
    return true;
}

size_t PtyLine::Send(std::string_view bytes) {
    const size_t room = queue_.size() < kMaxQueued ? kMaxQueued - queue_.size() : 0;
    const size_t taken = bytes.size() < room ? bytes.size() : room;
    queue_.append(bytes.substr(0, taken));
    std::string ignored;
    Flush(ignored);
    return bytes.size() - taken;
}

bool PtyLine::Flush(std::string& error) {
    while (!queue_.empty()) {
        const ssize_t n = ::write(master_, queue_.data(), queue_.size());
        if (n > 0) {
            queue_.erase(0, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        error = Failure("write");
        return false;
    }
    return true;
}

ssize_t PtyLine::Read(uint8_t* buffer, size_t size) {
    for (;;) {
        const ssize_t n = ::read(master_, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

}  // namespace tarvik::sim
