#pragma once
// The merged output stream: every send goes to the Display Port, then to the Merge Port.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

class PortSender {
public:
    virtual ~PortSender() = default;
    virtual void sendByteToPorts(uint8_t byte) = 0;
    // The characters of `text`, as bytes, in one write per port (no terminator is sent).
    virtual void sendTextToPorts(const std::string& text) = 0;
    virtual void sendBufferToPorts(const uint8_t* bytes, size_t length) = 0;
};

}  // namespace tarvik
