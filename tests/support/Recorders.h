#pragma once
// What the program told the window and the user, recorded: posted messages (from any thread) and
// message boxes (answered with `answer`).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "settings/MessageBox.h"

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

struct RecordingBox : IMessageBox {
    struct Shown {
        std::string text, caption;
        unsigned flags;
    };
    std::vector<Shown> shown;
    int answer = IDNO;
    int Show(const std::string& text, const std::string& caption, unsigned flags) override {
        shown.push_back({text, caption, flags});
        return answer;
    }
};

}  // namespace tarvik::test
