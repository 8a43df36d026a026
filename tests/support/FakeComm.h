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

#include "Win32Codes.h"
#include "comm/CommApi.h"

namespace tarvik::test {

struct FakeLine {
    std::mutex mutex;
    std::condition_variable changed;

    // Failures to inject (0 = the call succeeds).
    uint32_t openResult = 0;
    uint32_t setupResult = 0;
    uint32_t maskResult = 0;
    uint32_t timeoutsResult = 0;
    uint32_t stateResult = 0;
    uint32_t clearErrorResult = 0;
    // While set, a waiting listener does not notice Interrupt: it looks stuck.
    bool ignoreInterrupt = false;

    // Observed.
    bool open = false;
    int setupCalls = 0;
    int readCalls = 0;
    int waiting = 0;
    uint32_t mask = 0;
    std::vector<uint32_t> escapes;
    std::string written;
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
public:
    explicit FakeCommDevice(std::shared_ptr<FakeLine> line) : line_(std::move(line)) {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->open = true;
    }
    ~FakeCommDevice() override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->open = false;
        line_->changed.notify_all();
    }

    uint32_t SetupComm(uint32_t, uint32_t) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        ++line_->setupCalls;
        return line_->setupResult;
    }
    uint32_t ApplyDefaultConfig() override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->dcb = comm::Dcb{};
        return 0;
    }
    uint32_t GetCommState(comm::Dcb& dcb) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->stateResult) return line_->stateResult;
        dcb = line_->dcb;
        return 0;
    }
    uint32_t SetCommState(const comm::Dcb& dcb) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->stateResult) return line_->stateResult;
        line_->dcb = dcb;
        return 0;
    }
    uint32_t GetCommTimeouts(comm::CommTimeouts& timeouts) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->timeoutsResult) return line_->timeoutsResult;
        timeouts = line_->timeouts;
        return 0;
    }
    uint32_t SetCommTimeouts(const comm::CommTimeouts& timeouts) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->timeoutsResult) return line_->timeoutsResult;
        line_->timeouts = timeouts;
        return 0;
    }
    uint32_t SetCommMask(uint32_t mask) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        if (line_->maskResult) return line_->maskResult;
        line_->mask = mask;
        line_->events.emplace_back(0, 0);  // a mask change ends a wait with no events
        line_->changed.notify_all();
        return 0;
    }
    uint32_t EscapeCommFunction(uint32_t function) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->escapes.push_back(function);
        return 0;
    }
    uint32_t WaitCommEvent(uint32_t& events, uint32_t timeoutMs) override {
        std::unique_lock<std::mutex> lock(line_->mutex);
        ++line_->waiting;
        line_->changed.notify_all();
        auto ready = [this] {
            return !line_->events.empty() || (line_->interrupted && !line_->ignoreInterrupt);
        };
        bool ok = true;
        if (timeoutMs == comm::INFINITE) line_->changed.wait(lock, ready);
        else ok = line_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
        --line_->waiting;
        if (!ok) return ERROR_TIMEOUT;
        events = 0;
        if (!line_->events.empty()) {
            events = line_->events.front().first;
            line_->errors |= line_->events.front().second;
            line_->events.pop_front();
        } else {
            line_->interrupted = false;
        }
        return 0;
    }
    void Interrupt() override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->interrupted = true;
        line_->changed.notify_all();
    }
    uint32_t ClearCommError(uint32_t& errors) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        errors = line_->errors;
        line_->errors = 0;
        return line_->clearErrorResult;
    }
    uint32_t Read(uint8_t* buffer, size_t size, size_t& count, uint32_t) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        ++line_->readCalls;
        count = std::min(size, line_->input.size());
        std::memcpy(buffer, line_->input.data(), count);
        line_->input.erase(0, count);
        return 0;
    }
    uint32_t Write(const uint8_t* buffer, size_t length, size_t& count, uint32_t) override {
        std::lock_guard<std::mutex> lock(line_->mutex);
        line_->written.append(reinterpret_cast<const char*>(buffer), length);
        count = length;
        return 0;
    }

private:
    std::shared_ptr<FakeLine> line_;
};

class FakeComm final : public comm::ICommApi {
public:
    // The line behind `name`, made on first use; names never asked for fail to open with 2.
    std::shared_ptr<FakeLine> Line(const std::string& name) {
        auto& line = lines_[name];
        if (!line) line = std::make_shared<FakeLine>();
        return line;
    }
    uint32_t Open(const std::string& name, std::unique_ptr<comm::ICommDevice>& device) override {
        auto it = lines_.find(name);
        if (it == lines_.end()) return ERROR_FILE_NOT_FOUND;
        {
            std::lock_guard<std::mutex> lock(it->second->mutex);
            if (it->second->openResult) return it->second->openResult;
            if (it->second->open) return ERROR_ACCESS_DENIED;
        }
        device = std::make_unique<FakeCommDevice>(it->second);
        return 0;
    }

private:
    std::map<std::string, std::shared_ptr<FakeLine>> lines_;
};

}  // namespace tarvik::test
