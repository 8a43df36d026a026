#pragma once
// A program run by a test: its output in files, its input through a pipe, ended by process id
// when the test ends (and killed by the kernel should the test process die first).
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tarvik::test {

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Polls `done` every 20 ms until it holds or `limit` runs out. Waits on conditions, never on time.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// Runs `body` in a forked child and gives its exit status (-1 if a signal ended it). With
// `asNobody`, a child of root first gives up root for the user "nobody", so file permissions apply.
inline int InChild(const std::function<int()>& body, bool asNobody = false) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ready = !asNobody || ::getuid() != 0 ||
                           (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
        ::_exit(ready ? body() : 99);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ChildProcess {
public:
    // `env` entries (NAME=value) are added to the test's own environment. Output goes to
    // `outputBase`.out and .err.
    ChildProcess(std::vector<std::string> argv, const std::string& outputBase, std::vector<std::string> env = {})
        : m_out(outputBase + ".out"),
          m_err(outputBase + ".err") {
        int in[2];
        if (::pipe2(in, O_CLOEXEC) != 0) return;
        const pid_t parent = ::getpid();
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(126);
            ::dup2(in[0], 0);
            ::dup2(::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 1);
            ::dup2(::open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 2);
            for (std::string& e : env) ::putenv(e.data());
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(in[0]);
        m_stdin = in[1];
    }
    ~ChildProcess() {
        CloseInput();
        if (running()) Signal(SIGKILL);
        wait(std::chrono::seconds(5));
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    bool write(const std::string& text) {
        return m_stdin >= 0 && ::write(m_stdin, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    void CloseInput() {
        if (m_stdin >= 0) ::close(m_stdin);
        m_stdin = -1;
    }
    void Signal(int sig) {
        if (m_pid > 0 && !m_status) ::kill(m_pid, sig);
    }
    bool running() {
        Reap(WNOHANG);
        return m_pid > 0 && !m_status;
    }
    // The exit status (or -signal), once the process has ended within `limit`.
    std::optional<int> wait(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
        WaitUntil([this] { return !running(); }, limit);
        return m_status;
    }
    std::string Output() const { return ReadWhole(m_out); }
    std::string Errors() const { return ReadWhole(m_err); }

private:
    void Reap(int flags) {
        int status = 0;
        if (m_pid > 0 && !m_status && ::waitpid(m_pid, &status, flags) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        }
    }
    pid_t m_pid = -1;
    int m_stdin = -1;
    std::optional<int> m_status;
    std::string m_out, m_err;
};

}  // namespace tarvik::test
