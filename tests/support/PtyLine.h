#pragma once
// A pseudo-terminal standing in for a serial line: the test holds the far end (the master) and a
// spare descriptor of the near end, so the line is not hung up when the port closes; the near end
// is bound as COMn in the sandbox's ports folder.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/TestSandbox.h"

namespace tarvik::test {

// What arrived on `fd` within `limit`, stopping early once `want` bytes are in.
inline std::string ReadFrom(int fd, size_t want, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < want) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        got.append(chunk, static_cast<size_t>(n));
    }
    return got;
}

class PtyLine {
public:
    PtyLine(const TestSandbox& sandbox, int number) {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return;
        const char* name = ::ptsname(m_master);
        if (!name) return;
        m_slavePath = name;
        m_spare = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        std::filesystem::create_symlink(m_slavePath, sandbox.PortsDir() + "/COM" + std::to_string(number));
    }
    ~PtyLine() {
        CloseMaster();
        if (m_spare >= 0) ::close(m_spare);
    }
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    bool Ok() const { return m_master >= 0 && m_spare >= 0; }
    int Master() const { return m_master; }
    int Spare() const { return m_spare; }
    const std::string& slavePath() const { return m_slavePath; }
    void CloseMaster() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }

    bool send(const std::string& bytes) {
        return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // What the far end received within `limit` (stops early once `want` bytes are in).
    std::string Receive(size_t want, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        return ReadFrom(m_master, want, limit);
    }
    // Writes from the near end until the way to the unread far end is full and stays full.
    void FillTowardsMaster() {
        const std::string block(4096, 'f');
        for (int round = 0; round < 1000; ++round) {
            while (::write(m_spare, block.data(), block.size()) > 0) {}
            pollfd fd{m_spare, POLLOUT, 0};
            if (::poll(&fd, 1, 200) == 0) return;
        }
    }

private:
    int m_master = -1;
    int m_spare = -1;
    std::string m_slavePath;
};

}  // namespace tarvik::test
