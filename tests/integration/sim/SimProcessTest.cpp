// The simulator as a process: bound to pseudo-terminals in a sandbox, driven through its lines,
// its stdin and signals, the way the program and the end-to-end scripts use it.
#include "tests/support/TestSandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using tarvik::test::TestSandbox;
constexpr int kWaitMs = 10000;  // generous bound for a sanitised build on a busy machine

// Reads from `fd` until `count` bytes have come or the bound runs out.
std::string ReadExactly(int fd, size_t count) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - out.size()));
        if (n <= 0) break;
        out.append(buffer, static_cast<size_t>(n));
    }
    return out;
}

class SimProcess {
public:
    SimProcess(const TestSandbox& box, std::vector<std::string> extra) : log_((box.Dir() / "sim.log").string()) {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0) return;
        std::vector<std::string> args{ONDRIX_SIM_PATH, "--ports-dir", box.PortsDir(), "--log", log_};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string errFile = (box.Dir() / "sim.err").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(err, 2);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            for (int fd : {in[0], in[1], out[0], out[1], err}) ::close(fd);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        errFile_ = errFile;
    }
    ~SimProcess() {
        if (stdin_ >= 0) ::close(stdin_);
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0) ::close(stdout_);
    }

    // Collects stdout lines until one equals `line`; false if the bound or the output ends first.
    bool WaitForLine(const std::string& line) {
        for (;;) {
            for (size_t nl; (nl = pending_.find('\n')) != std::string::npos;) {
                const std::string got = pending_.substr(0, nl);
                pending_.erase(0, nl + 1);
                if (got == line) return true;
            }
            const std::string more = ReadExactly(stdout_, 1);
            if (more.empty()) return false;
            pending_ += more;
        }
    }
    void Say(const std::string& text) { ASSERT_EQ(::write(stdin_, text.data(), text.size()), ssize_t(text.size())); }
    // Waits for the process to close its output (it is ending), then reaps it.
    int WaitExit() {
        while (!ReadExactly(stdout_, 4096).empty()) {}
        int status = 0;
        ::waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void Signal(int sig) { ::kill(pid_, sig); }
    std::string Log() const { return Slurp(log_); }
    std::string Errors() const { return Slurp(errFile_); }
    static std::string Slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int stdin_ = -1, stdout_ = -1;
    std::string log_, errFile_, pending_;
};

// Opens a COM link the way the program does: a raw terminal, nothing flushed on the way.
int OpenPort(const TestSandbox& box, int com) {
    const int fd = ::open((fs::path(box.PortsDir()) / ("COM" + std::to_string(com))).c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

void Send(int fd, const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

TEST(SimProcess, AnswersCommandsOnTheDisplayLineAcrossReopens) {
    TestSandbox box;
    SimProcess sim(box, {});
    ASSERT_TRUE(sim.WaitForLine("ready"));
    const int display = OpenPort(box, 1);
    int keyboard = OpenPort(box, 2);
    ASSERT_GE(display, 0);
    ASSERT_GE(keyboard, 0);

    Send(keyboard, "\x0ci1\r");
    EXPECT_EQ(ReadExactly(display, 13), "\x0cInstrument 1");
    // An unknown command answers nothing, so the next bytes are the next known answer. A mouse
    // packet between the typed characters is not part of the command.
    Send(keyboard,
         "\x0czz\r\x0cxc Mast\x80\xf0\xe1\xe2\xe3\xe4"
         "er A 1\r");
    EXPECT_EQ(ReadExactly(display, 13), "\x0cMaster A 1  ");

    // The program closing and reopening its port must not hang up the line.
    ::close(keyboard);
    keyboard = OpenPort(box, 2);
    Send(keyboard,
         "\x0c"
         "fx\r");
    EXPECT_EQ(ReadExactly(display, 13),
              "\x0c"
              "Effects     ");
    ::close(keyboard);
    ::close(display);
}

TEST(SimProcess, AnnouncesItsNameOnceWhenTheKeyboardLineFirstHearsSomething) {
    TestSandbox box;
    SimProcess sim(box, {"--announce", "Grand Piano Deluxe"});
    ASSERT_TRUE(sim.WaitForLine("ready"));
    const int display = OpenPort(box, 1);
    int keyboard = OpenPort(box, 2);
    ASSERT_GE(display, 0);
    ASSERT_GE(keyboard, 0);
    // The first packet brings the name, cut to the field; a command then answers as usual and a
    // reopened keyboard line does not announce again.
    Send(keyboard, std::string("\x80\xf0\xe1\xe2\xe3\xe4", 6));
    EXPECT_EQ(ReadExactly(display, 13), "\x0cGrand Piano ");
    ::close(keyboard);
    keyboard = OpenPort(box, 2);
    Send(keyboard, std::string("\x80\xf0\xe1\xe2\xe3\xe4\x0c"
                               "fx\r",
                               10));
    EXPECT_EQ(ReadExactly(display, 13),
              "\x0c"
              "Effects     ");
    ASSERT_TRUE(sim.WaitForLine("command \"fx\" -> \"Effects     \""));
    EXPECT_NE(sim.Log().find("sent name \"Grand Piano \"\npacket"), std::string::npos) << sim.Log();
    ::close(keyboard);
    ::close(display);
}

TEST(SimProcess, InjectsFromStdinAndReportsBadLines) {
    TestSandbox box;
    SimProcess sim(box, {"--exit-on-eof"});
    ASSERT_TRUE(sim.WaitForLine("ready"));
    const int display = OpenPort(box, 1);
    const int keyboard = OpenPort(box, 2);
    sim.Say("mouse 1023 0 button shift\nbogus line\nkey a F1 ESC\nbyte 0x80 0x41\nname Hi\n");
    EXPECT_EQ(ReadExactly(keyboard, 11), std::string("\x80\xec\xff\xff\xff\xff"
                                                     "a\x81\x1b\x80\x41",
                                                     11));
    EXPECT_EQ(ReadExactly(display, 13), "\x0cHi          ");
    sim.Say("quit\n");
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_NE(sim.Errors().find("stdin:2: unknown command \"bogus\""), std::string::npos) << sim.Errors();
    ::close(keyboard);
    ::close(display);
}

TEST(SimProcess, SigtermRemovesWhatItCreated) {
    TestSandbox box;
    const std::string hive = (box.Dir() / "hive" / "machine.reg").string();
    const std::string ready = (box.Dir() / "ready").string();
    SimProcess sim(box, {"--display-com", "3", "--merge-com", "7", "--machine-hive", hive, "--once-ready", ready});
    ASSERT_TRUE(sim.WaitForLine("ready"));
    EXPECT_TRUE(fs::is_symlink(fs::path(box.PortsDir()) / "COM3"));
    EXPECT_TRUE(fs::is_symlink(fs::path(box.PortsDir()) / "COM7"));
    EXPECT_TRUE(fs::exists(ready));
    EXPECT_EQ(SimProcess::Slurp(hive),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
              "\"Display Port\"=dword:00000003\n"
              "\"Merge Port\"=dword:00000007\n"
              "\"Baud\"=dword:00002580\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_TRUE(fs::is_empty(box.PortsDir()));
    EXPECT_FALSE(fs::exists(hive));
    EXPECT_FALSE(fs::exists(ready));
}

TEST(SimProcess, LeavesExistingFilesAloneAndEndsWithItsScript) {
    TestSandbox box;
    const fs::path taken = fs::path(box.PortsDir()) / "COM2";
    std::ofstream(taken) << "someone else's";
    {
        SimProcess sim(box, {});
        EXPECT_EQ(sim.WaitExit(), 1);
        EXPECT_NE(sim.Errors().find("already exists"), std::string::npos);
    }
    EXPECT_EQ(SimProcess::Slurp(taken.string()), "someone else's");
    EXPECT_FALSE(fs::exists(fs::path(box.PortsDir()) / "COM1"));

    const std::string script = (box.Dir() / "script.txt").string();
    std::ofstream(script) << "# two keys\nkey a\nnonsense\nkey b\n";
    SimProcess scripted(box, {"--merge-com", "4", "--script", script});
    EXPECT_EQ(scripted.WaitExit(), 0);
    EXPECT_NE(scripted.Log().find("sent key 0x61\nsent key 0x62\n"), std::string::npos) << scripted.Log();
    EXPECT_NE(scripted.Errors().find("script.txt:3:"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(box.PortsDir()) / "COM4"));
}

}  // namespace
