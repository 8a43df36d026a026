#pragma once
// A scripted stand-in for the communications layer: lines by name, each with its failures, its
// pending events and line errors, its input and what was written to it. The test keeps the
// FakeLine; the port under test owns a device that shares it.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/Win32Codes.h"
#include "platform/comm/CommApi.h"

namespace tarvik::test {

struct FakeLine {
    std::mutex mutex;
    std::condition_variable changed;

    // Failures to inject (0 = the call succeeds).
    uint32_t setupResult = 0;
    uint32_t maskResult = 0;
    uint32_t timeoutsResult = 0;
    // While set, a waiting listener does not notice Interrupt: it looks stuck.
    bool ignoreInterrupt = false;
    bool present = true;      // cleared: the device is unplugged and the line does not open
    uint32_t openResult = 0;  // an Open that fails for another reason, with openReason
    std::string openReason;
    std::string target;  // where the name is bound

    // Observed.
    bool open = false;
    int setupCalls = 0;
    int waiting = 0;
    std::vector<uint32_t> escapes;
    std::string written;
    int writes = 0;
    int reads = 0;
    comm::Dcb dcb;
    comm::CommTimeouts timeouts;

    // Scripted.
    std::deque<std::pair<uint32_t, uint32_t>> events;  // event word, line errors that came with it
    uint32_t errors = 0;
    std::string input;
    bool interrupted = false;

    // Queues one event word (and the line errors ClearCommError will hand out with it).
    void PushEvent(uint32_t eventWord, uint32_t lineErrors = 0) {
        std::lock_guard<std::mutex> lock(mutex);
        events.emplace_back(eventWord, lineErrors);
        changed.notify_all();
    }
    void SetIgnoreInterrupt(bool ignore) {
        std::lock_guard<std::mutex> lock(mutex);
        ignoreInterrupt = ignore;
        changed.notify_all();
    }
    // Bounded wait until a listener sits in WaitCommEvent.
    bool WaitUntilWaiting(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [this] { return waiting > 0; });
    }
};

class FakeCommDevice final : public comm::ICommDevice {
    std::shared_ptr<FakeLine> line_;

    template <class F>
    auto With(F f) {
        std::lock_guard<std::mutex> lock(line_->mutex);
        return f(*line_);
    }
    // Copies `from` to `to` unless the call is scripted to fail.
    template <class T>
    uint32_t Exchange(T& to, const T& from, const uint32_t& failure) {
        return With([&](FakeLine&) { return failure ? failure : (to = from, 0u); });
    }

public:
    explicit FakeCommDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {
        With([](FakeLine& l) { l.open = true; });
    }
    ~FakeCommDevice() override {
        With([](FakeLine& l) { l.open = false, l.changed.notify_all(); });
    }

    uint32_t SetupComm(uint32_t, uint32_t) override {
        return With([](FakeLine& l) { return ++l.setupCalls, l.setupResult; });
    }
    uint32_t ApplyDefaultConfig() override {
        return With([](FakeLine& l) { return l.dcb = {}, 0u; });
    }
    uint32_t GetCommState(comm::Dcb& dcb) override { return Exchange(dcb, line_->dcb, 0); }
    uint32_t SetCommState(const comm::Dcb& dcb) override { return Exchange(line_->dcb, dcb, 0); }
    uint32_t GetCommTimeouts(comm::CommTimeouts& t) override {
        return Exchange(t, line_->timeouts, line_->timeoutsResult);
    }
    uint32_t SetCommTimeouts(const comm::CommTimeouts& t) override {
        return Exchange(line_->timeouts, t, line_->timeoutsResult);
    }
    uint32_t SetCommMask(uint32_t) override {
        return With([](FakeLine& l) {
            if (l.maskResult) return l.maskResult;
            l.events.emplace_back(0, 0);  // a mask change ends a wait with no events
            l.changed.notify_all();
            return 0u;
        });
    }
    uint32_t EscapeCommFunction(uint32_t function) override {
        return With([function](FakeLine& l) { return l.escapes.push_back(function), 0u; });
    }
    uint32_t WaitCommEvent(uint32_t& events, uint32_t timeoutMs) override {
        std::unique_lock<std::mutex> lock(line_->mutex);
        ++line_->waiting;
        line_->changed.notify_all();
        auto ready = [this] { return !line_->events.empty() || (line_->interrupted && !line_->ignoreInterrupt); };
        bool ok = true;
        if (timeoutMs == comm::INFINITE) line_->changed.wait(lock, ready);
        else ok = line_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        --line_->waiting;
        if (!ok) return ERROR_TIMEOUT;
        events = 0;
        if (line_->events.empty()) {
            line_->interrupted = false;
            return 0;
        }
        events = line_->events.front().first;
        line_->errors |= line_->events.front().second;
        line_->events.pop_front();
        return 0;
    }
    void Interrupt() override {
        With([](FakeLine& l) { l.interrupted = true, l.changed.notify_all(); });
    }
    uint32_t ClearCommError(uint32_t& errors) override {
        return With([&errors](FakeLine& l) { return errors = std::exchange(l.errors, 0u), 0u; });
    }
    uint32_t Read(uint8_t* buffer, size_t size, size_t& count, uint32_t) override {
        return With([&](FakeLine& l) {
            ++l.reads;
            count = std::min(size, l.input.size());
            std::memcpy(buffer, l.input.data(), count);
            l.input.erase(0, count);
            return 0u;
        });
    }
    uint32_t Write(const uint8_t* buffer, size_t length, size_t& count, uint32_t) override {
        return With([&](FakeLine& l) {
            l.written.append(reinterpret_cast<const char*>(buffer), length);
            ++l.writes;
            return count = length, 0u;
        });
    }
};

class FakeComm final : public comm::ICommApi {
public:
    // The line behind `name`, made on first use; names never asked for fail to open with 2.
    std::shared_ptr<FakeLine> Line(const std::string& name) {
        auto& line = lines_[name];
        if (!line) line = std::make_shared<FakeLine>();
        return line;
    }
    using comm::ICommApi::Open;
    uint32_t Open(const std::string& name, std::unique_ptr<comm::ICommDevice>& device,
                  comm::OpenReport& report) override {
        report = {};
        auto it = lines_.find(name);
        auto fail = [&report](uint32_t code, const char* reason) { return report.reason = reason, code; };
        if (it == lines_.end()) return fail(ERROR_FILE_NOT_FOUND, "No such file or directory");
        {
            FakeLine& line = *it->second;
            std::lock_guard<std::mutex> lock(line.mutex);
            report.target = line.target;
            if (!line.present) return fail(ERROR_FILE_NOT_FOUND, "No such file or directory");
            if (line.open) return fail(ERROR_ACCESS_DENIED, "Device or resource busy");
            if (line.openResult != 0) return fail(line.openResult, line.openReason.c_str());
        }
        device = std::make_unique<FakeCommDevice>(it->second);
        return 0;
    }

private:
    std::map<std::string, std::shared_ptr<FakeLine>> lines_;
};

}  // namespace tarvik::test
