// The built executable as a process: the runs that must end before any window exists.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSandbox.h"

namespace tarvik::test {
namespace {

struct Outcome {
    bool exited = false;   // ended by itself within the bound
    int code = -1;         // exit code, or -signal
    std::string errors;    // everything written to stderr
    std::string output;    // everything written to stdout
};

// Runs the executable with exactly `env` and waits at most 60 s for it to end.
Outcome RunTarvik(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int err[2], out[2];
    if (::pipe2(err, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err[1], 2);
        ::dup2(out[1], 1);
        std::vector<char*> argv{const_cast<char*>(TARVIK_EXE)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        ::execve(TARVIK_EXE, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(err[1]);
    ::close(out[1]);
    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    pollfd fds[2] = {{err[0], POLLIN, 0}, {out[0], POLLIN, 0}};
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds, 2, 1000) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buffer[512];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) (i == 0 ? outcome.errors : outcome.output).append(buffer, static_cast<size_t>(n));
            else { ::close(fds[i].fd); fds[i].fd = -1; --open; }
        }
    }
    int status = 0;
    if (open > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        for (auto& fd : fds) if (fd.fd >= 0) ::close(fd.fd);
        return outcome;
    }
    ::waitpid(pid, &status, 0);
    outcome.exited = true;
    outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return outcome;
}

class Executable : public ::testing::Test {
protected:
    // No display of any kind, and every file the program might touch inside the sandbox.
    std::vector<std::string> BaseEnv() const {
        const std::string dir = sandbox.Dir().string();
        return {"HOME=" + dir, "XDG_CONFIG_HOME=" + dir + "/config", "XDG_DATA_HOME=" + dir + "/data",
                "TARVIK_USER_HIVE=" + sandbox.UserHive(), "TARVIK_MACHINE_HIVE=" + sandbox.MachineHive(),
                "TARVIK_PORTS_DIR=" + sandbox.PortsDir(), "DBUS_SESSION_BUS_ADDRESS=disabled:",
                "ASAN_OPTIONS=detect_leaks=0", "PATH=/usr/bin:/bin"};
    }
    // An X display number with no server behind it.
    static std::string UnusedDisplay() {
        for (int n = 90; n < 200; ++n) {
            struct stat info {};
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (::stat(socket.c_str(), &info) != 0 && ::stat(lock.c_str(), &info) != 0) return ":" + std::to_string(n);
        }
        return ":199";
    }
    TestSandbox sandbox;
};

TEST_F(Executable, RegistrationRunsEndAtOnceWithZeroAndNoDisplay) {
    for (const char* sw : {"/RegServer", "-regserver", "--RegServer", "/UnregServer"}) {
        const Outcome outcome = RunTarvik({"-Embedding", sw}, BaseEnv());
        EXPECT_TRUE(outcome.exited) << sw;
        EXPECT_EQ(outcome.code, 0) << sw;
        EXPECT_EQ(outcome.errors, "") << sw;
        EXPECT_EQ(outcome.output, "") << sw;
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.UserHive())) << "a registration run touches no settings";
}

TEST_F(Executable, NoDisplayGivesOneClearLineNotAnAbort) {
    const std::string expected = "tarvik: cannot open a display";
    std::vector<std::vector<std::string>> environments;
    environments.push_back(BaseEnv());
    environments.push_back(BaseEnv());
    environments.back().push_back("DISPLAY=" + UnusedDisplay());
    environments.push_back(BaseEnv());
    environments.back().push_back("QT_QPA_PLATFORM=xcb");
    for (const auto& env : environments) {
        for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"/RegServer", "/x"}, {"-Embedding"}}) {
            const Outcome outcome = RunTarvik(args, env);
            const std::string where = env.back() + " " + (args.empty() ? "" : args[0]);
            EXPECT_TRUE(outcome.exited) << where;
            EXPECT_GT(outcome.code, 0) << where << " (a negative code is a signal)";
            EXPECT_EQ(outcome.errors.rfind(expected, 0), 0u) << where << ": " << outcome.errors;
            EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1) << where << ": " << outcome.errors;
        }
    }
}

TEST_F(Executable, VersionIsEmbedded) {
    // The version block is plain bytes inside the file, readable without running it.
    FILE* file = std::fopen(TARVIK_EXE, "rb");
    ASSERT_NE(file, nullptr);
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    EXPECT_NE(bytes.find(std::string("FileVersion=1.1.2.0\0ProductVersion=1.1.2.0\0FileDescription=Tarvik", 65)),
              std::string::npos);
}

}  // namespace
}  // namespace tarvik::test
