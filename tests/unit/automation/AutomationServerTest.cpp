#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/AutomationServer.h"
#include "tests/support/FakeAutomationHost.h"
#include "tests/support/Recorders.h"

namespace tarvik {
namespace {

struct SentEvent {
    std::string connection, path, name;
    friend bool operator==(const SentEvent&, const SentEvent&) = default;
};

class Server : public ::testing::Test, public IEventSender {
protected:
    void SetUp() override {
        module.Init();
        module.SetMainWindow(&window);
        module.m_bCloseOnLastUnlock = 1;
        server.SetHost(&host);
    }
    void SendInstrumentChanged(const SinkRef& sink, const std::string& name) override {
        events.push_back({sink.connection, sink.path, name});
    }
    uint32_t Create(const std::string& caller) {
        CallStatus status = CallStatus::NoObject;
        const uint32_t id = server.CreateInstance(caller, status);
        EXPECT_EQ(status, CallStatus::Ok);
        return id;
    }
    uint32_t Advise(const std::string& caller, uint32_t id, const std::string& path) {
        uint32_t cookie = 0;
        EXPECT_EQ(server.Advise(caller, id, path, cookie), CallStatus::Ok);
        return cookie;
    }

    CTarvikModule module;
    test::RecordingPoster window;
    test::FakeAutomationHost host;
    std::vector<SentEvent> events;
    CAutomationServer server{module, *this};
};

TEST_F(Server, AClientUndoesOnlyItsOwnAndItsEndReleasesEverythingAtOnce) {
    const uint32_t id = Create(":1.1");
    const uint32_t cookie = Advise(":1.1", id, "/sink");
    EXPECT_EQ(module.GetLockCount(), 1);

    // Another connection can neither release the object, nor unadvise the sink, nor unlock.
    EXPECT_EQ(server.Release(":1.2", id), CallStatus::AccessDenied);
    EXPECT_EQ(server.Unadvise(":1.2", id, cookie), CallStatus::AccessDenied);
    EXPECT_EQ(server.LockServer(":1.2", false), CallStatus::AccessDenied);
    EXPECT_EQ(server.Unadvise(":1.1", id, cookie + 100), CallStatus::NoConnection);
    EXPECT_EQ(module.GetLockCount(), 1);
    EXPECT_FALSE(server.Holds(":1.2"));

    // :1.2 takes a lock and advises a sink on :1.1's object, then :1.1 vanishes.
    EXPECT_EQ(server.LockServer(":1.2", true), CallStatus::Ok);
    Advise(":1.2", id, "/other");
    EXPECT_EQ(server.ConnectionClosed(":1.1"), (std::vector<uint32_t>{id}));
    EXPECT_EQ(server.Find(id), nullptr);
    EXPECT_EQ(module.GetLockCount(), 1);
    EXPECT_EQ(window.Total(), 0) << ":1.2's lock still keeps the server";
    EXPECT_FALSE(server.Holds(":1.1"));

    EXPECT_TRUE(server.ConnectionClosed(":1.2").empty());
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(window.Total(), 1) << "the last lock gone closes the window once";
}

TEST_F(Server, LocksAreCountedPerConnection) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(server.LockServer(":1.5", true), CallStatus::Ok);
    EXPECT_EQ(server.LockServer(":1.5", false), CallStatus::Ok);
    EXPECT_EQ(module.GetLockCount(), 2);
    server.ConnectionClosed(":1.5");
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(server.LockServer(":1.5", false), CallStatus::AccessDenied) << "nothing left to release";
    EXPECT_EQ(module.GetLockCount(), 0);
    EXPECT_EQ(window.Total(), 1);
}

TEST_F(Server, OnlyTheLatestObjectFiresAndNoneAfterEitherGoes) {
    const uint32_t first = Create(":1.1");
    const uint32_t second = Create(":1.2");
    Advise(":1.1", first, "/one");
    Advise(":1.2", second, "/two");
    Advise(":1.3", second, "/three");
    EXPECT_EQ(host.automationObject, server.Find(second));

    host.Report("Caf\xE9");
    EXPECT_EQ(events, (std::vector<SentEvent>{{":1.2", "/two", "Caf\xC3\xA9"}, {":1.3", "/three", "Caf\xC3\xA9"}}));

    events.clear();
    EXPECT_EQ(server.Release(":1.1", first), CallStatus::Ok);
    EXPECT_EQ(host.automationObject, nullptr);
    host.Report("Sys Config");
    EXPECT_TRUE(events.empty());

    // Without a window an object does nothing, and goes without touching it.
    server.SetHost(nullptr);
    server.Find(second)->SendRawByte('x');
    EXPECT_EQ(server.Release(":1.2", second), CallStatus::Ok);
    EXPECT_TRUE(host.ports.sends.empty());
}

TEST_F(Server, SendsGoToTheWindowAsTheInstrumentsBytes) {
    CInstrumentSends& sends = server.Control();
    const std::string atLimit(kMaxSendStringBytes, 'a');
    std::string accented;
    for (size_t i = 0; i < kMaxSendStringBytes; ++i) accented += "\xC3\xA9";  // two bytes each, one on the line

    EXPECT_EQ(sends.SendString(std::string("i1\xE2\x82\xAC\r\0ignored", 13)), CallStatus::Ok);
    EXPECT_EQ(sends.SendString(atLimit + "a"), CallStatus::LimitsExceeded);
    EXPECT_EQ(sends.SendString(accented), CallStatus::Ok);
    sends.SendRawByte(0x141);
    sends.SendRawByte(-1);
    using test::Send;
    ASSERT_EQ(host.ports.sends.size(), 4u) << "the refused text sent nothing";
    EXPECT_EQ(host.ports.sends[0], (Send{'t', "i1\x80\r"}));
    EXPECT_EQ(host.ports.sends[1].bytes, std::string(kMaxSendStringBytes, '\xE9'));
    EXPECT_EQ(host.ports.sends[2], (Send{'b', "A"}));
    EXPECT_EQ(host.ports.sends[3], (Send{'b', "\xFF"}));

    // Each mouse call stores its part of the shared state and sends one packet of all of it.
    host.mouse.m_bShift = 1;
    sends.SetMousePosition(1024, -5);
    sends.SetMouseActive(true);
    sends.SetMouseButton(true);
    sends.SetMouseActive(false);
    ASSERT_EQ(host.packets.size(), 4u);
    EXPECT_EQ(host.packets[0].m_ptInstrumentCursor, (Point{1024, -5}));
    EXPECT_EQ(host.packets[1].m_bMouseActive, 1);
    EXPECT_EQ(host.packets[2].m_bMouseButton, 1);
    EXPECT_EQ(host.packets[3].m_bMouseActive, 0);
    EXPECT_EQ(host.packets[3].m_bShift, 1) << "the client cannot change Shift";
    EXPECT_EQ(module.GetLockCount(), 0) << "the control sends hold no lock";
}

TEST_F(Server, ObjectsAreBounded) {
    for (size_t i = 0; i < CAutomationServer::kMaxObjects; ++i) Create(":1.1");
    CallStatus status = CallStatus::Ok;
    EXPECT_EQ(server.CreateInstance(":1.1", status), 0u);
    EXPECT_EQ(status, CallStatus::LimitsExceeded);
    EXPECT_EQ(server.ReleaseAll().size(), CAutomationServer::kMaxObjects);
    EXPECT_EQ(module.GetLockCount(), 0);
}

}  // namespace
}  // namespace tarvik
