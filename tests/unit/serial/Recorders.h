#pragma once
// The window's side of the lines, recorded: posted notifications (from any thread), the display
// line, and the parse and mouse-packet calls.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "IDisplayView.h"
#include "Messages.h"
#include "PortManager.h"

namespace tarvik::test {

struct PostedMessage {
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

class RecordingPoster : public IMessagePoster {
public:
    void Post(uint32_t message, uint64_t wParam, int64_t lParam) override {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back({message, wParam, lParam});
        ++total_;
        posted_.notify_all();
    }
    // Takes the oldest message, waiting up to `limit` for one.
    bool Take(PostedMessage& message, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!posted_.wait_for(lock, limit, [this] { return !queue_.empty(); })) return false;
        message = queue_.front();
        queue_.pop_front();
        return true;
    }
    int Total() {
        std::lock_guard<std::mutex> lock(mutex_);
        return total_;
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<PostedMessage> queue_;
    int total_ = 0;
};

class FakeDisplayView : public IDisplayView {
public:
    void SetDisplayText(const std::string& value) override {
        text = value;
        ++sets;
    }
    std::string GetDisplayText() const override { return text; }
    void RestoreWindow() override { ++restores; }

    std::string text;
    int sets = 0;
    int restores = 0;
};

// Parses as the window would: drains the port into its buffer, keeps what came, empties it.
class FakePortEvents : public IPortEvents {
public:
    CPortManager* manager = nullptr;
    std::string displayInput;
    std::string mergeInput;
    int displayParses = 0;
    int mergeParses = 0;
    int mousePackets = 0;

    void ParseDisplayInput() override {
        ++displayParses;
        manager->DrainPort(manager->m_displayPort, manager->m_strDisplayBuffer);
        displayInput += manager->m_strDisplayBuffer;
        manager->m_strDisplayBuffer.clear();
    }
    void ParseMergeInput() override {
        ++mergeParses;
        manager->DrainPort(manager->m_mergePort, manager->m_strMergeBuffer);
        mergeInput += manager->m_strMergeBuffer;
        manager->m_strMergeBuffer.clear();
    }
    void SendMousePacket() override { ++mousePackets; }
};

}  // namespace tarvik::test
