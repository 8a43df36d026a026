#pragma once
// One serial line on termios: an exclusive, non-blocking descriptor, a shadow of the line settings
// termios cannot hold, and an event wait built on poll with a wake-up eventfd.
#include <linux/serial.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/comm/CommApi.h"

namespace tarvik::comm {

// What an arrival of data reports, from the driver's error counters before and after it. Line
// errors travel with their data: the event word is EV_RXCHAR (with EV_BREAK for a break), and
// EV_ERR is left to errors that come without data, which on these lines is only a hang-up.
struct Arrival {
    uint32_t events;
    uint32_t errors;
};
Arrival ArrivalFromCounters(const serial_icounter_struct& before, const serial_icounter_struct& now);

class TermiosDevice final : public ICommDevice {
public:
    // Opens `path`, which must be a terminal that no other process holds. On failure `reason` has
    // the system's words for it.
    static uint32_t Open(const std::string& path, std::unique_ptr<ICommDevice>& device, std::string& reason);
    ~TermiosDevice() override;
    TermiosDevice(const TermiosDevice&) = delete;
    TermiosDevice& operator=(const TermiosDevice&) = delete;

    uint32_t SetupComm(uint32_t inQueue, uint32_t outQueue) override;
    uint32_t ApplyDefaultConfig() override;
    uint32_t GetCommState(Dcb& dcb) override;
    uint32_t SetCommState(const Dcb& dcb) override;
    uint32_t GetCommTimeouts(CommTimeouts& timeouts) override;
    uint32_t SetCommTimeouts(const CommTimeouts& timeouts) override;
    uint32_t SetCommMask(uint32_t mask) override;
    uint32_t EscapeCommFunction(uint32_t function) override;
    uint32_t WaitCommEvent(uint32_t& events, uint32_t timeoutMs) override;
    void Interrupt() override;
    uint32_t ClearCommError(uint32_t& errors) override;
    uint32_t Read(uint8_t* buffer, size_t size, size_t& count, uint32_t timeoutMs) override;
    uint32_t Write(const uint8_t* buffer, size_t length, size_t& count, uint32_t timeoutMs) override;
    void HoldRearm(bool hold) override;

private:
    TermiosDevice(int fd, int wakeFd);
    void LoadStateFromTermios();
    uint32_t ApplyToTermios(const Dcb& dcb);
    // The event word for data that has just arrived; its line errors wait for ClearCommError.
    uint32_t DataArrived();
    void Wake();
    void DrainWake();
    uint32_t ReadImmediate(uint8_t* buffer, size_t size, size_t& count);
    uint32_t ReadTimed(uint8_t* buffer, size_t size, size_t& count, uint32_t timeoutMs);
    // Hands `bytes` to the driver until it has taken them all or `deadline` passes.
    uint32_t Put(const uint8_t* bytes, size_t length, size_t& count, bool bounded,
                 std::chrono::steady_clock::time_point deadline);

    const int fd_;
    const int wakeFd_;
    Dcb dcb_;                // owner's thread only
    CommTimeouts timeouts_;  // owner's thread only
    std::atomic<uint32_t> mask_{0};
    std::atomic<bool> rxArmed_{true};
    std::atomic<bool> interrupt_{false};
    bool rearmHeld_ = false;       // owner's thread only
    bool rearmPending_ = false;    // owner's thread only
    std::vector<uint8_t> unsent_;  // the rest of a write the line stopped taking; owner's thread only
    bool stalled_ = false;         // the last write ran out of time; owner's thread only
    std::atomic<bool> hungUp_{false};
    std::atomic<uint32_t> pendingErrors_{0};
    bool haveCounters_ = false;  // listener's thread only after open
    serial_icounter_struct counters_{};
};

}  // namespace tarvik::comm
