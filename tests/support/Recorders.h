#pragma once
// What the program told the window and the user, recorded: close requests (from any thread) and
// message boxes (answered with `answer`).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "settings/MessageBox.h"

namespace tarvik::test {

// Close requests, from any thread.
class RecordingCloser : public CloseTarget {
public:
    void requestClose() override { ++m_total; }
    int total() const { return m_total.load(); }

private:
    std::atomic<int> m_total{0};
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
