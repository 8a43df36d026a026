#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "common/Win32Codes.h"
#include "lines/PortsFolder.h"
#include "settings/HiveFile.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using namespace comm;

TEST(PortsFolderTest, OnlyPlainComNamesAreAccepted) {
    EXPECT_EQ(parsePortName("COM1"), 1u);
    EXPECT_EQ(parsePortName("com12"), 12u);
    EXPECT_EQ(parsePortName("\\\\.\\COM4294967295"), 4294967295u);
    for (const char* bad : {"", "COM", "COM0", "COM01", "COM-1", "COM+1", "COM4294967296", "COM1x", "COM12345678901",
                            "/dev/ttyS0", "../COM1", "COM1/../x"}) {
        EXPECT_EQ(parsePortName(bad), 0u) << bad;
    }
}

// Puts an environment variable back as it was when the test ends.
struct EnvRestore {
    const char* name;
    std::optional<std::string> value = std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt;
    ~EnvRestore() { value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name); }
};

TEST(PortsFolderTest, FolderComesFromTheOverrideThenXdgThenHome) {
    EnvRestore ports{"TARVIK_PORTS_DIR"}, xdg{"XDG_CONFIG_HOME"}, home{"HOME"};
    TestSandbox sandbox;
    std::string path;
    ASSERT_EQ(resolvePortName("COM3", path), 0u);
    EXPECT_EQ(path, sandbox.PortsDir() + "/COM3");
    ::unsetenv("TARVIK_PORTS_DIR");
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(portsFolder(), "/x/config/tarvik/ports");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/x/home", 1);
    EXPECT_EQ(portsFolder(), "/x/home/.config/tarvik/ports");
    EXPECT_EQ(resolvePortName("/dev/ttyS0", path), ERROR_FILE_NOT_FOUND);
}

TEST(PortsFolderTest, ErrnoBecomesTheNearestWin32CodeForLinesAndForHiveFiles) {
    // A hive file that cannot be used is "not writable" (5) unless the disk is full, the device
    // failed or memory ran out; a line keeps the finer codes its callers show.
    struct Case {
        int error;
        uint32_t line;
        uint32_t hive;
    };
    for (const Case& c :
         {Case{0, 0, 0},        {ENOENT, 2, 5},         {ENOTDIR, 3, 5},  {EACCES, 5, 5},    {EPERM, 5, 5},
          {EBUSY, 5, 5},        {EWOULDBLOCK, 5, 5},    {EISDIR, 5, 5},   {EROFS, 5, 5},     {ETXTBSY, 5, 5},
          {EBADF, 6, 5},        {ENOMEM, 8, 8},         {EMFILE, 4, 5},   {ENFILE, 4, 5},    {EINVAL, 87, 5},
          {ENOTTY, 1, 5},       {ENAMETOOLONG, 206, 5}, {ELOOP, 1921, 5}, {ENXIO, 1167, 5},  {ENODEV, 1167, 5},
          {ETIMEDOUT, 1460, 5}, {ECANCELED, 995, 5},    {EIO, 31, 1117},  {ENOSPC, 31, 112}, {EDQUOT, 31, 112},
          {EPIPE, 31, 5}}) {
        EXPECT_EQ(win32FromErrno(c.error), c.line) << c.error;
        EXPECT_EQ(hive::codeFromErrno(c.error), c.hive) << c.error;
    }
}

}  // namespace
}  // namespace tarvik::test
