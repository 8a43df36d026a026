#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "lines/DeviceWatch.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::comm {
void PrintTo(const WatchPoint& point, std::ostream* out) { *out << point.folder << " : " << point.name; }
}  // namespace tarvik::comm

namespace tarvik::test {
namespace {

namespace fs = std::filesystem;
using comm::WatchPoint;

TEST(WayToDeviceTest, FollowsEachLinkAndStandsInForMissingFoldersWithTheirNearestParent) {
    TestSandbox sandbox;
    const fs::path dir = sandbox.Dir();
    const std::string ports = sandbox.PortsDir();
    fs::create_directories(dir / "dev");
    fs::create_symlink(dir / "dev/gone/by-id/usb-A", ports + "/COM1");  // by-id not there (unplugged)
    fs::create_symlink("../dev/ttyUSB0", ports + "/COM2");              // relative, dangling
    fs::create_directories(dir / "dev/serial/by-id");
    fs::create_symlink("../../ttyUSB1", dir / "dev/serial/by-id/usb-B");
    fs::create_symlink(dir / "dev/serial/by-id/usb-B", ports + "/COM3");
    struct Case {
        const char* entry;
        std::vector<WatchPoint> way;
    };
    const std::string d = dir.string();
    const Case cases[] = {
        {"COM1", {{ports, "COM1"}, {d + "/dev", "gone"}}},
        {"COM2", {{ports, "COM2"}, {d + "/dev", "ttyUSB0"}}},
        {"COM3", {{ports, "COM3"}, {d + "/dev/serial/by-id", "usb-B"}, {d + "/dev", "ttyUSB1"}}},
        {"COM4", {{ports, "COM4"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(comm::wayToDevice(ports + "/" + c.entry), c.way);
    }
    fs::create_symlink("COM5", ports + "/COM5");  // a loop ends
    EXPECT_LE(comm::wayToDevice(ports + "/COM5").size(), 16u);
}

class DeviceWatchTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureCoreApplication(); }
    void watch(const std::string& name) {
        activeWatch = comm::inotifyDeviceWatcher().watch(name, [this] {
            ++reports;
            if (endOnReport) activeWatch.reset();
        });
        ASSERT_TRUE(activeWatch);
    }
    // Whether a report came within `limit`; taking it.
    bool Reported(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const bool came = RunUntil([this] { return reports > taken; }, limit);
        taken = reports;
        return came;
    }
    // Takes the reports that are still coming in.
    void Settle() {
        while (Reported(std::chrono::milliseconds(200))) {}
    }

    TestSandbox sandbox;
    int reports = 0;
    int taken = 0;
    bool endOnReport = false;
    std::unique_ptr<comm::DeviceWatch> activeWatch;
};

TEST_F(DeviceWatchTest, ReportsWhenTheWayToTheDeviceChangesAndNotForOtherNames) {
    const fs::path dev = sandbox.Dir() / "dev";
    fs::create_directories(dev);
    fs::create_symlink(dev / "serial/by-id/usb-A", sandbox.PortsDir() + "/COM1");
    watch("COM1");
    // The adapter is plugged in: its folder comes first, then its link in it.
    fs::create_directories(dev / "serial/by-id");
    EXPECT_TRUE(Reported());
    Settle();
    std::ofstream(dev / "serial/by-id/usb-A").put('x');
    EXPECT_TRUE(Reported()) << "the folder that came is watched now";
    Settle();
    // The entry itself put in place by rename, as the simulator and udev do.
    fs::create_symlink(dev / "other", sandbox.PortsDir() + "/COM1.new");
    fs::rename(sandbox.PortsDir() + "/COM1.new", sandbox.PortsDir() + "/COM1");
    EXPECT_TRUE(Reported());
    Settle();
    std::ofstream(dev / "ttyS9").put('x');  // in a watched folder, but not on the way
    EXPECT_FALSE(Reported(std::chrono::milliseconds(200)));
    // A watch may end from its own report, as one does when its line opens again.
    endOnReport = true;
    fs::remove(sandbox.PortsDir() + "/COM1");
    EXPECT_TRUE(Reported());
    EXPECT_FALSE(activeWatch);
    fs::create_symlink(dev / "other", sandbox.PortsDir() + "/COM1");
    EXPECT_FALSE(Reported(std::chrono::milliseconds(200))) << "an ended watch reports nothing";
}

TEST_F(DeviceWatchTest, NamesThatLeadNowhereAreRefused) {
    EXPECT_FALSE(comm::inotifyDeviceWatcher().watch("LPT1", [] {}));
}

}  // namespace
}  // namespace tarvik::test
