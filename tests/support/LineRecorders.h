#pragma once
// The window's side of the lines, recorded: every send to the ports as one entry (so a test sees
// both the bytes and how they were grouped) and the display line.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/PortSender.h"
#include "serial/DisplayView.h"

namespace tarvik::test {

struct Send {
    char kind;  // 'b' byte, 't' text, 'p' buffer
    std::string bytes;
    friend bool operator==(const Send&, const Send&) = default;
};

class RecordingPorts : public PortSender {
public:
    std::vector<Send> sends;

    void sendByteToPorts(uint8_t byte) override { sends.push_back({'b', std::string(1, static_cast<char>(byte))}); }
    void sendTextToPorts(const std::string& text) override { sends.push_back({'t', text}); }
    void sendBufferToPorts(const uint8_t* bytes, size_t length) override {
        sends.push_back({'p', std::string(reinterpret_cast<const char*>(bytes), length)});
    }
};

class FakeDisplayView : public DisplayView {
public:
    void setDisplayText(const std::string& value) override {
        text = value;
        ++sets;
    }
    std::string getDisplayText() const override { return text; }
    void restoreWindow() override { ++restores; }

    std::string text;
    int sets = 0;
    int restores = 0;
};

inline std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace tarvik::test
