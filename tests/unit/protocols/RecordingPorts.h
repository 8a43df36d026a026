#pragma once
// Records every send as one entry, so tests see both the bytes and how they were grouped.
#include <cstdint>
#include <string>
#include <vector>

#include "IPortSender.h"

namespace tarvik::test {

struct Send {
    char kind;  // 'b' byte, 't' text, 'p' buffer
    std::string bytes;
    friend bool operator==(const Send&, const Send&) = default;
};

class RecordingPorts : public IPortSender {
public:
    std::vector<Send> sends;

    void SendByteToPorts(uint8_t byte) override { sends.push_back({'b', std::string(1, static_cast<char>(byte))}); }
    void SendTextToPorts(const std::string& text) override { sends.push_back({'t', text}); }
    void SendBufferToPorts(const uint8_t* bytes, size_t length) override {
        sends.push_back({'p', std::string(reinterpret_cast<const char*>(bytes), length)});
    }
};

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

}  // namespace tarvik::test
