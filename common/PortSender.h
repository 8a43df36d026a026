#pragma once
// The merged output stream: every send goes to the Display Port, then to the Merge Port.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvik {

class IPortSender {
public:
    virtual ~IPortSender() = default;
    virtual void SendByteToPorts(uint8_t byte) = 0;
    // The characters of `text`, as bytes, in one write per port (no terminator is sent).
    virtual void SendTextToPorts(const std::string& text) = 0;
    virtual void SendBufferToPorts(const uint8_t* bytes, size_t length) = 0;
};

}  // namespace tarvik
