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

class RecordingPoster : public MessagePoster {
public:
    void post(uint32_t message, uint64_t wParam, int64_t lParam) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back({message, wParam, lParam});
        ++m_total;
        m_posted.notify_all();
    }
    // Takes the oldest message, waiting up to `limit` for one.
    bool take(PostedMessage& message, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_posted.wait_for(lock, limit, [this] { return !m_queue.empty(); })) return false;
        message = m_queue.front();
        m_queue.pop_front();
        return true;
    }
    int total() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_total;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<PostedMessage> m_queue;
    int m_total = 0;
};

struct RecordingBox : MessageBox {
    struct Shown {
        std::string text, caption;
        unsigned flags;
    };
    std::vector<Shown> shown;
    int answer = IDNO;
    int showMessage(const std::string& text, const std::string& caption, unsigned flags) override {
        shown.push_back({text, caption, flags});
        return answer;
    }
};

}  // namespace tarvik::test
