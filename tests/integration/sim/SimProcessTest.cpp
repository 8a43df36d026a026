// The simulator as a process: bound to pseudo-terminals in a sandbox, driven through its lines,
// its stdin and signals, the way the program and the end-to-end scripts use it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/support/ChildProcess.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;

class Sim : public ChildProcess {
public:
    Sim(const TestSandbox& box, std::vector<std::string> extra)
        : ChildProcess(Args(box, std::move(extra)), (box.Dir() / "sim").string()),
          m_log((box.Dir() / "sim.log").string()) {}
    bool Said(const std::string& line) {
        return WaitUntil([&] { return Output().find(line + "\n") != std::string::npos || !running(); }) &&
               Output().find(line + "\n") != std::string::npos;
    }
    std::string Log() const { return ReadWhole(m_log); }

private:
    static std::vector<std::string> Args(const TestSandbox& box, std::vector<std::string> extra) {
        std::vector<std::string> args{ONDRIX_SIM_PATH, "--ports-dir", box.PortsDir(), "--log",
                                      (box.Dir() / "sim.log").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    std::string m_log;
};

// Opens a COM link the way the program does: a raw terminal, nothing flushed on the way.
int openPort(const TestSandbox& box, int com) {
    const int fd = ::open((fs::path(box.PortsDir()) / ("COM" + std::to_string(com))).c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

void send(int fd, const std::string& bytes) {
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
}

TEST(SimProcess, AnnouncesOnceAndAnswersCommandsOnTheDisplayLineAcrossReopens) {
    TestSandbox box;
    Sim sim(box, {"--announce", "Grand Piano Deluxe"});
    ASSERT_TRUE(sim.Said("ready")) << sim.Errors();
    const int display = openPort(box, 1);
    int keyboard = openPort(box, 2);
    ASSERT_GE(display, 0);
    ASSERT_GE(keyboard, 0);

    // The first packet brings the name, cut to the field.
    const std::string packet("\x80\xf0\xe1\xe2\xe3\xe4", 6);
    send(keyboard, packet);
    EXPECT_EQ(ReadFrom(display, 13), "\x0cGrand Piano ");
    send(keyboard, "\x0ci1\r");
    EXPECT_EQ(ReadFrom(display, 13), "\x0cInstrument 1");
    // An unknown command answers nothing, so the next bytes are the next known answer. A mouse
    // packet between the typed characters is not part of the command.
    send(keyboard, "\x0czz\r\x0cxc Mast" + packet + "er A 1\r");
    EXPECT_EQ(ReadFrom(display, 13), "\x0cMaster A 1  ");

    // The program closing and reopening its port must not hang up the line, nor announce again.
    ::close(keyboard);
    keyboard = openPort(box, 2);
    send(keyboard, packet + "\x0c" + "fx\r");
    EXPECT_EQ(ReadFrom(display, 13),
              "\x0c"
              "Effects     ");
    ASSERT_TRUE(sim.Said("command \"fx\" -> \"Effects     \""));
    EXPECT_NE(sim.Log().find("sent name \"Grand Piano \"\npacket"), std::string::npos) << sim.Log();
    ::close(keyboard);
    ::close(display);
}

TEST(SimProcess, InjectsFromStdinAndReportsBadLines) {
    TestSandbox box;
    Sim sim(box, {"--exit-on-eof"});
    ASSERT_TRUE(sim.Said("ready")) << sim.Errors();
    const int display = openPort(box, 1);
    const int keyboard = openPort(box, 2);
    sim.write("mouse 1023 0 button shift\nbogus line\nkey a F1 ESC\nbyte 0x80 0x41\nname Hi\n");
    EXPECT_EQ(ReadFrom(keyboard, 11), std::string("\x80\xec\xff\xff\xff\xff"
                                                  "a\x81\x1b\x80\x41",
                                                  11));
    EXPECT_EQ(ReadFrom(display, 13), "\x0cHi          ");
    sim.write("quit\n");
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_NE(sim.Errors().find("stdin:2: unknown command \"bogus\""), std::string::npos) << sim.Errors();
    ::close(keyboard);
    ::close(display);
}

TEST(SimProcess, SigtermRemovesWhatItCreated) {
    TestSandbox box;
    const std::string hive = (box.Dir() / "hive" / "machine.reg").string();
    const std::string ready = (box.Dir() / "ready").string();
    Sim sim(box, {"--display-com", "3", "--merge-com", "7", "--machine-hive", hive, "--once-ready", ready});
    ASSERT_TRUE(sim.Said("ready")) << sim.Errors();
    EXPECT_TRUE(fs::is_symlink(fs::path(box.PortsDir()) / "COM3"));
    EXPECT_TRUE(fs::is_symlink(fs::path(box.PortsDir()) / "COM7"));
    EXPECT_TRUE(fs::exists(ready));
    EXPECT_EQ(ReadWhole(hive),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Ondrix Series III\\Tarvik]\n"
              "\"Display Port\"=dword:00000003\n"
              "\"Merge Port\"=dword:00000007\n"
              "\"Baud\"=dword:00002580\n");
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.wait(), 0);
    EXPECT_TRUE(fs::is_empty(box.PortsDir()));
    EXPECT_FALSE(fs::exists(hive));
    EXPECT_FALSE(fs::exists(ready));
}

TEST(SimProcess, LeavesExistingFilesAloneAndEndsWithItsScript) {
    TestSandbox box;
    const fs::path taken = fs::path(box.PortsDir()) / "COM2";
    std::ofstream(taken) << "someone else's";
    {
        Sim sim(box, {});
        EXPECT_EQ(sim.wait(), 1);
        EXPECT_NE(sim.Errors().find("already exists"), std::string::npos);
    }
    EXPECT_EQ(ReadWhole(taken.string()), "someone else's");
    EXPECT_FALSE(fs::exists(fs::path(box.PortsDir()) / "COM1"));

    const std::string script = (box.Dir() / "script.txt").string();
    std::ofstream(script) << "# two keys\nkey a\nnonsense\nkey b\n";
    Sim scripted(box, {"--merge-com", "4", "--script", script});
    EXPECT_EQ(scripted.wait(), 0);
    EXPECT_NE(scripted.Log().find("sent key 0x61\nsent key 0x62\n"), std::string::npos) << scripted.Log();
    EXPECT_NE(scripted.Errors().find("script.txt:3:"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(box.PortsDir()) / "COM4"));
}

}  // namespace
}  // namespace tarvik::test
