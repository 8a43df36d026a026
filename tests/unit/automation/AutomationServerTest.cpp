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

class Server : public ::testing::Test, public EventSender {
protected:
    void SetUp() override {
        module.init();
        module.setMainWindow(&window);
        module.m_closeOnLastUnlock = 1;
        server.setHost(&host);
    }
    void sendInstrumentChanged(const SinkRef& sink, const std::string& name) override {
        events.push_back({sink.connection, sink.path, name});
    }
    uint32_t createWindow(const std::string& caller) {
        CallStatus status = CallStatus::NoObject;
        const uint32_t id = server.createInstance(caller, status);
        EXPECT_EQ(status, CallStatus::Ok);
        return id;
    }
    uint32_t advise(const std::string& caller, uint32_t id, const std::string& path) {
        uint32_t cookie = 0;
        EXPECT_EQ(server.advise(caller, id, path, cookie), CallStatus::Ok);
        return cookie;
    }

    TarvikModule module;
    test::RecordingCloser window;
    test::FakeAutomationHost host;
    std::vector<SentEvent> events;
    AutomationServer server{module, *this};
};

TEST_F(Server, AClientUndoesOnlyItsOwnAndItsEndReleasesEverythingAtOnce) {
    const uint32_t id = createWindow(":1.1");
    const uint32_t cookie = advise(":1.1", id, "/sink");
    EXPECT_EQ(module.getLockCount(), 1);

    // Another connection can neither release the object, nor unadvise the sink, nor unlock.
    EXPECT_EQ(server.release(":1.2", id), CallStatus::AccessDenied);
    EXPECT_EQ(server.unadvise(":1.2", id, cookie), CallStatus::AccessDenied);
    EXPECT_EQ(server.lockServer(":1.2", false), CallStatus::AccessDenied);
    EXPECT_EQ(server.unadvise(":1.1", id, cookie + 100), CallStatus::NoConnection);
    EXPECT_EQ(module.getLockCount(), 1);
    EXPECT_FALSE(server.holds(":1.2"));

    // :1.2 takes a lock and advises a sink on :1.1's object, then :1.1 vanishes.
    EXPECT_EQ(server.lockServer(":1.2", true), CallStatus::Ok);
    advise(":1.2", id, "/other");
    EXPECT_EQ(server.connectionClosed(":1.1"), (std::vector<uint32_t>{id}));
    EXPECT_EQ(server.find(id), nullptr);
    EXPECT_EQ(module.getLockCount(), 1);
    EXPECT_EQ(window.total(), 0) << ":1.2's lock still keeps the server";
    EXPECT_FALSE(server.holds(":1.1"));

    EXPECT_TRUE(server.connectionClosed(":1.2").empty());
    EXPECT_EQ(module.getLockCount(), 0);
    EXPECT_EQ(window.total(), 1) << "the last lock gone closes the window once";
}

TEST_F(Server, LocksAreCountedPerConnection) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(server.lockServer(":1.5", true), CallStatus::Ok);
    EXPECT_EQ(server.lockServer(":1.5", false), CallStatus::Ok);
    EXPECT_EQ(module.getLockCount(), 2);
    server.connectionClosed(":1.5");
    EXPECT_EQ(module.getLockCount(), 0);
    EXPECT_EQ(server.lockServer(":1.5", false), CallStatus::AccessDenied) << "nothing left to release";
    EXPECT_EQ(module.getLockCount(), 0);
    EXPECT_EQ(window.total(), 1);
}

TEST_F(Server, OnlyTheLatestObjectFiresAndNoneAfterEitherGoes) {
    const uint32_t first = createWindow(":1.1");
    const uint32_t second = createWindow(":1.2");
    advise(":1.1", first, "/one");
    advise(":1.2", second, "/two");
    advise(":1.3", second, "/three");
    EXPECT_EQ(host.automationObject, server.find(second));

    host.report("Caf\xE9");
    EXPECT_EQ(events, (std::vector<SentEvent>{{":1.2", "/two", "Caf\xC3\xA9"}, {":1.3", "/three", "Caf\xC3\xA9"}}));

    events.clear();
    EXPECT_EQ(server.release(":1.1", first), CallStatus::Ok);
    EXPECT_EQ(host.automationObject, nullptr);
    host.report("Sys Config");
    EXPECT_TRUE(events.empty());

    // Without a window an object does nothing, and goes without touching it.
    server.setHost(nullptr);
    server.find(second)->sendRawByte('x');
    EXPECT_EQ(server.release(":1.2", second), CallStatus::Ok);
    EXPECT_TRUE(host.recordedPorts.sends.empty());
}

TEST_F(Server, SendsGoToTheWindowAsTheInstrumentsBytes) {
    InstrumentSends& sends = server.control();
    const std::string atLimit(MaxSendStringBytes, 'a');
    std::string accented;
    for (size_t i = 0; i < MaxSendStringBytes; ++i) accented += "\xC3\xA9";  // two bytes each, one on the line

    EXPECT_EQ(sends.sendString(std::string("i1\xE2\x82\xAC\r\0ignored", 13)), CallStatus::Ok);
    EXPECT_EQ(sends.sendString(atLimit + "a"), CallStatus::LimitsExceeded);
    EXPECT_EQ(sends.sendString(accented), CallStatus::Ok);
    sends.sendRawByte(0x141);
    sends.sendRawByte(-1);
    using test::Send;
    ASSERT_EQ(host.recordedPorts.sends.size(), 4u) << "the refused text sent nothing";
    EXPECT_EQ(host.recordedPorts.sends[0], (Send{'t', "i1\x80\r"}));
    EXPECT_EQ(host.recordedPorts.sends[1].bytes, std::string(MaxSendStringBytes, '\xE9'));
    EXPECT_EQ(host.recordedPorts.sends[2], (Send{'b', "A"}));
    EXPECT_EQ(host.recordedPorts.sends[3], (Send{'b', "\xFF"}));

    // Each mouse call stores its part of the shared state and sends one packet of all of it.
    host.mouse.m_shift = 1;
    sends.setMousePosition(1024, -5);
    sends.setMouseActive(true);
    sends.setMouseButton(true);
    sends.setMouseActive(false);
    ASSERT_EQ(host.packets.size(), 4u);
    EXPECT_EQ(host.packets[0].m_instrumentCursor, (Point{1024, -5}));
    EXPECT_EQ(host.packets[1].m_mouseActive, 1);
    EXPECT_EQ(host.packets[2].m_mouseButton, 1);
    EXPECT_EQ(host.packets[3].m_mouseActive, 0);
    EXPECT_EQ(host.packets[3].m_shift, 1) << "the client cannot change Shift";
    EXPECT_EQ(module.getLockCount(), 0) << "the control sends hold no lock";
}

TEST_F(Server, ObjectsAreBounded) {
    for (size_t i = 0; i < AutomationServer::MaxObjects; ++i) createWindow(":1.1");
    CallStatus status = CallStatus::Ok;
    EXPECT_EQ(server.createInstance(":1.1", status), 0u);
    EXPECT_EQ(status, CallStatus::LimitsExceeded);
    EXPECT_EQ(server.releaseAll().size(), AutomationServer::MaxObjects);
    EXPECT_EQ(module.getLockCount(), 0);
}

}  // namespace
}  // namespace tarvik
