// The ports folder as the preferences read and change it, on a private folder and pseudo-terminals.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Win32Codes.h"
#include "lines/PortBindings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PtyLine.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {
namespace fs = std::filesystem;
using comm::FolderPortBindings;

TEST(PortBindings, ReadsOnlyTheNamesThatCanBeOpened) {
    TestSandbox sandbox;
    PtyLine line(sandbox, 3);
    ASSERT_TRUE(line.Ok());
    const std::string folder = sandbox.PortsDir();
    fs::create_symlink("/dev/gone", folder + "/COM12");
    for (const char* ignored : {"com4", "COM04", "COM257", "COMx", "notes"}) std::ofstream(folder + "/" + ignored);
    // What each binding leads to, and whether it is there, the Com Ports page shows (ComPortsPageTest).
    const auto bindings = FolderPortBindings().readBindings();
    EXPECT_EQ(bindings.size(), 2u);
    EXPECT_TRUE(bindings.count(3) && bindings.count(12));
}

TEST(PortBindings, ChecksAccessAsTheUserWouldOpen) {
    TestSandbox sandbox;
    PtyLine line(sandbox, 1);
    ASSERT_TRUE(line.Ok());
    const std::string pty = fs::read_symlink(sandbox.PortsDir() + "/COM1").string();
    const std::string file = sandbox.Dir().string() + "/plain";
    std::ofstream(file) << "x";
    FolderPortBindings bindings;
    EXPECT_EQ(bindings.checkDevice(pty), ERROR_SUCCESS);
    EXPECT_EQ(bindings.checkDevice(file), comm::ERROR_NOT_SUPPORTED);
    EXPECT_EQ(bindings.checkDevice("/dev/nonexistent-adapter"), ERROR_FILE_NOT_FOUND);

    // A pseudo-terminal is its owner's and its group's: anyone else is refused, as an ordinary user
    // outside "dialout" is refused a serial adapter.
    ASSERT_EQ(::chmod(pty.c_str(), 0660), 0);
    EXPECT_EQ(test::InChild([&] { return bindings.checkDevice(pty) == ERROR_ACCESS_DENIED ? 0 : 1; }, true), 0)
        << "refused to a user outside the device's group";
}

TEST(PortBindings, BindingReplacesTheEntryInOneStepAndLeavesOthersAlone) {
    TestSandbox sandbox;
    const std::string folder = sandbox.PortsDir();
    fs::remove_all(folder);  // made when first needed
    FolderPortBindings bindings;
    ASSERT_EQ(bindings.bind(5, "/dev/ttyUSB0"), ERROR_SUCCESS);
    ASSERT_EQ(bindings.bind(5, "/dev/serial/by-id/usb-x"), ERROR_SUCCESS);
    EXPECT_EQ(fs::read_symlink(folder + "/COM5"), "/dev/serial/by-id/usb-x");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "no temporary left";

    fs::create_directory(folder + "/COM6");
    EXPECT_NE(bindings.bind(6, "/dev/ttyUSB0"), ERROR_SUCCESS);
    EXPECT_TRUE(fs::is_directory(folder + "/COM6"));
    for (uint32_t number : {0u, 257u}) EXPECT_EQ(bindings.bind(number, "/dev/ttyUSB0"), ERROR_INVALID_PARAMETER);
}

}  // namespace
}  // namespace tarvik::test
