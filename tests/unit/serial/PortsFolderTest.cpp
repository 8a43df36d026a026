#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "common/Win32Codes.h"
#include "platform/comm/PortsFolder.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

using namespace comm;

TEST(PortsFolderTest, OnlyPlainComNamesAreAccepted) {
    EXPECT_EQ(ParsePortName("COM1"), 1u);
    EXPECT_EQ(ParsePortName("com12"), 12u);
    EXPECT_EQ(ParsePortName("\\\\.\\COM4294967295"), 4294967295u);
    for (const char* bad : {"", "COM", "COM0", "COM01", "COM-1", "COM+1", "COM4294967296", "COM1x", "COM12345678901",
                            "/dev/ttyS0", "../COM1", "COM1/../x"}) {
        EXPECT_EQ(ParsePortName(bad), 0u) << bad;
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
    ASSERT_EQ(ResolvePortName("COM3", path), 0u);
    EXPECT_EQ(path, sandbox.PortsDir() + "/COM3");
    ::unsetenv("TARVIK_PORTS_DIR");
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(PortsFolder(), "/x/config/tarvik/ports");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/x/home", 1);
    EXPECT_EQ(PortsFolder(), "/x/home/.config/tarvik/ports");
    EXPECT_EQ(ResolvePortName("/dev/ttyS0", path), ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace tarvik::test
