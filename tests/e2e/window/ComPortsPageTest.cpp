// The Com Ports page over a private ports folder and pseudo-terminals: each list shows where the
// folder binds a number, "Bind…" writes the link, a device the user may not use is refused, and a
// network address is tried before it is bound.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <QComboBox>

#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/PtyLine.h"
#include "ui/TarvikPPComms.h"

namespace tarvik::test {
namespace {
namespace fs = std::filesystem;

// The real ports folder; only the access check of one device is answered here, since a test run
// as root may open anything.
struct Bindings : comm::FolderPortBindings {
    std::string refused;
    uint32_t checkDevice(const std::string& device) override {
        return device == refused ? ERROR_ACCESS_DENIED : FolderPortBindings::checkDevice(device);
    }
};

class ComPortsPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bound.Ok() && spare.Ok());
        boundPath = fs::read_symlink(Link(2)).string();
        // The spare line is present but bound to nothing.
        sparePath = fs::read_symlink(Link(9)).string();
        fs::remove(Link(9));
        fs::create_symlink("/dev/nonexistent-adapter", Link(7));
        page.m_displayPort = 0;
        page.m_mergePort = 5;
        page.createWindow();
    }
    std::string Link(int number) const { return sandbox.PortsDir() + "/COM" + std::to_string(number); }
    std::string Entry(int index) const { return page.m_mergePortCombo->itemText(index).toStdString(); }

    QApplication& application = EnsureApplication();  // before the page, which is a widget
    TestSandbox sandbox;
    PtyLine bound{sandbox, 2};
    PtyLine spare{sandbox, 9};
    std::string boundPath, sparePath;
    Bindings bindings;
    RecordingBox box;
    TarvikPPComms page{bindings, box};
};

TEST_F(ComPortsPage, ListsShowBoundDevicesAndBindingWritesTheLink) {
    EXPECT_EQ(page.m_displayPortCombo->itemText(2).toStdString(), "COM2 — " + boundPath);
    EXPECT_EQ(Entry(2), "COM2 — " + boundPath);
    EXPECT_EQ(Entry(7), "COM7 — /dev/nonexistent-adapter (missing)");
    EXPECT_EQ(Entry(5), "COM5");

    ASSERT_TRUE(page.bindDevice(ControlMergePort, sparePath));
    EXPECT_EQ(fs::read_symlink(Link(5)).string(), sparePath);
    EXPECT_EQ(Entry(5), "COM5 — " + sparePath);
    EXPECT_EQ(page.m_displayPortCombo->itemText(5), page.m_mergePortCombo->itemText(5));
    EXPECT_EQ(page.m_mergePort, 5);

    // A list at OFF binds the lowest number the folder leaves free, and chooses it.
    ASSERT_TRUE(page.bindDevice(ControlDisplayPort, sparePath));
    EXPECT_EQ(fs::read_symlink(Link(1)).string(), sparePath);
    EXPECT_EQ(page.m_displayPort, 1);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ComPortsPage, ADeviceTheUserMayNotUseOrNoSerialDeviceIsRefused) {
    bindings.refused = sparePath;
    const std::string plainFile = sandbox.Dir().string() + "/not-a-device";
    std::ofstream(plainFile) << "x";
    for (const std::string& device : {sparePath, plainFile, std::string("/dev/nonexistent-adapter")}) {
        box.shown.clear();
        EXPECT_FALSE(page.bindDevice(ControlMergePort, device)) << device;
        ASSERT_EQ(box.shown.size(), 1u) << device;
        EXPECT_NE(box.shown[0].text.find(device), std::string::npos) << box.shown[0].text;
        EXPECT_FALSE(fs::exists(fs::symlink_status(Link(5)))) << "nothing written for " << device;
    }
    box.shown.clear();
    page.bindDevice(ControlMergePort, sparePath);
    EXPECT_NE(box.shown.at(0).text.find("usermod -aG"), std::string::npos) << "says how to get access";
    EXPECT_EQ(Entry(5), "COM5");
    EXPECT_EQ(page.m_mergePort, 5);
}

// A listener on loopback: the kernel completes a connection to it, which is all tcp:// asks.
TEST_F(ComPortsPage, AnAddressIsTriedAndWhatWasFoundToldBeforeItIsBound) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string url = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    box.answer = IDYES;
    ASSERT_TRUE(page.bindAddress(ControlMergePort, url));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find(url + " answered"), std::string::npos) << box.shown[0].text;
    EXPECT_EQ(fs::read_symlink(Link(5)).string(), url);
    EXPECT_EQ(Entry(5), "COM5 — " + url);

    // Nobody listens now: the user is told why, and saying no writes nothing.
    ::close(listener);
    page.m_mergePortCombo->setCurrentIndex(6);
    box.shown.clear();
    box.answer = IDNO;
    EXPECT_FALSE(page.bindAddress(ControlMergePort, url));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find("Connection refused"), std::string::npos) << box.shown[0].text;
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link(6))));

    // An address that does not read as one is refused before anything is tried.
    box.shown.clear();
    box.answer = IDYES;
    EXPECT_FALSE(page.bindAddress(ControlMergePort, "rfc2217://127.0.0.1"));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find("Nothing was changed"), std::string::npos) << box.shown[0].text;
    EXPECT_FALSE(fs::exists(fs::symlink_status(Link(6))));
}

}  // namespace
}  // namespace tarvik::test
