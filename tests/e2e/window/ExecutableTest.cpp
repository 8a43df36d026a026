// The built executable as a process: the runs that must end before any window exists.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/HiveFiles.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

struct Outcome {
    int code = -1;       // exit code, or -signal (SIGALRM: did not end within 60 s)
    std::string errors;  // everything written to stderr
    std::string output;  // everything written to stdout
};

class Executable : public ::testing::Test {
protected:
    // Runs the executable with no display of any kind (unless `extra` names one) and every file it
    // might touch inside the sandbox.
    Outcome run(const std::vector<std::string>& args, const std::string& extra = "") {
        const std::string dir = sandbox.Dir().string();
        std::vector<std::string> env = {"HOME=" + dir,
                                        "XDG_CONFIG_HOME=" + dir + "/config",
                                        "XDG_DATA_HOME=" + dir + "/data",
                                        "TARVIK_USER_HIVE=" + sandbox.UserHive(),
                                        "TARVIK_MACHINE_HIVE=" + sandbox.MachineHive(),
                                        "TARVIK_PORTS_DIR=" + sandbox.PortsDir(),
                                        "DBUS_SESSION_BUS_ADDRESS=disabled:",
                                        "ASAN_OPTIONS=detect_leaks=0",
                                        "PATH=/usr/bin:/bin"};
        if (!extra.empty()) env.push_back(extra);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(::open((dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 1);
            ::dup2(::open((dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600), 2);
            std::vector<char*> argv{const_cast<char*>(TARVIK_EXE)}, envp;
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
            argv.push_back(nullptr);
            envp.push_back(nullptr);
            ::alarm(60);  // survives the exec: a run that hangs is ended, and fails the test
            ::execve(TARVIK_EXE, argv.data(), envp.data());
            ::_exit(127);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ReadFile(dir + "/stderr"),
                ReadFile(dir + "/stdout")};
    }
    // An X display number with no server behind it. The texts here and below are built by
    // appending: GCC 12 at -O3 takes ":" + std::to_string(n) for an overlapping copy.
    static std::string UnusedDisplay() {
        for (int n = 90; n < 200; ++n) {
            struct stat info {};
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
            const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
            if (::stat(socket.c_str(), &info) != 0 && ::stat(lock.c_str(), &info) != 0)
                return std::string(":").append(std::to_string(n));
        }
        return ":199";
    }
    TestSandbox sandbox;
};

// Each run names every file it wrote or removed, one a line, and nothing else.
TEST_F(Executable, RegistrationRunsEndAtOnceWithZeroAndNoDisplay) {
    const auto lines = [this](const std::string& verb) {
        std::vector<std::string> expected;
        const std::filesystem::path data = sandbox.Dir() / "data";
        if (std::filesystem::exists(data)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(data)) {
                if (entry.is_regular_file()) expected.push_back(verb + " " + entry.path().string());
            }
        }
        std::sort(expected.begin(), expected.end());
        return expected;
    };
    const auto sortedLines = [](const std::string& text) {
        std::vector<std::string> got;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            got.push_back(text.substr(start, end - start));
        std::sort(got.begin(), got.end());
        return got;
    };
    for (const char* sw : {"/RegServer", "-regserver", "--RegServer"}) {
        const Outcome outcome = run({"-Embedding", sw});
        EXPECT_EQ(outcome.code, 0) << sw;
        EXPECT_EQ(outcome.errors, "") << sw;
        EXPECT_EQ(sortedLines(outcome.output), lines("wrote")) << sw;
    }
    const std::vector<std::string> registered = lines("removed");
    EXPECT_GE(registered.size(), 2u);
    for (const std::vector<std::string>& expected : {registered, std::vector<std::string>{}}) {
        const Outcome outcome = run({"/UnregServer"});
        EXPECT_EQ(outcome.code, 0);
        EXPECT_EQ(outcome.errors, "");
        EXPECT_EQ(sortedLines(outcome.output), expected) << "only what was there is named";
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.UserHive())) << "a registration run touches no settings";
}

TEST_F(Executable, HelpVersionAndUnknownArgumentsNeedNoDisplay) {
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.output.rfind("Usage: tarvik", 0), 0u) << help.output;
    EXPECT_EQ(help.errors, "");
    const Outcome version = run({"-Embedding", "--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.output, "Tarvik 1.1.2.0\n");

    // Accepted and ignored, as before, but each is named once.
    const Outcome unknown = run({"--verbose", "x", "/RegServer"});
    EXPECT_EQ(unknown.code, 0);
    EXPECT_NE(unknown.errors.find("unknown argument \"--verbose\""), std::string::npos) << unknown.errors;
    EXPECT_NE(unknown.errors.find("unknown argument \"x\""), std::string::npos) << unknown.errors;
    EXPECT_EQ(unknown.errors.find("RegServer"), std::string::npos) << unknown.errors;
}

TEST_F(Executable, NoDisplayGivesOneClearLineNotAnAbort) {
    for (const std::string& extra :
         {std::string(), std::string("DISPLAY=").append(UnusedDisplay()), std::string("QT_QPA_PLATFORM=xcb")}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{}, {"/RegServer", "/x"}, {"-Embedding"}}) {
            const Outcome outcome = run(args, extra);
            SCOPED_TRACE(extra + " " + (args.empty() ? "" : args[0]) + ": " + outcome.errors);
            EXPECT_EQ(outcome.code, 2) << "a negative code is a signal";
            EXPECT_EQ(outcome.errors.rfind("tarvik: cannot open a display", 0), 0u);
            // The line names what was tried, so a wrong DISPLAY is seen at once.
            if (extra.rfind("DISPLAY=", 0) == 0) { EXPECT_NE(outcome.errors.find(extra), std::string::npos); }
            EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1);
            // A run the bus started gets its display from the bus, which the journal reader must
            // be told how to fix; a user's own start is not.
            const bool activated = !args.empty() && args[0] == "-Embedding";
            EXPECT_EQ(outcome.errors.find("dbus-update-activation-environment DISPLAY XAUTHORITY") != std::string::npos,
                      activated);
            if (activated && extra.empty()) {
                EXPECT_NE(outcome.errors.find("activation environment has no DISPLAY or WAYLAND_DISPLAY"),
                          std::string::npos);
            }
        }
    }
}

}  // namespace
}  // namespace tarvik::test
