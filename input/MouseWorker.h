#pragma once
// The mouse worker: a thread that waits on the mouse device and wakes the GUI thread with one
// posted UWM_MOUSEDATA per change. It touches nothing else.
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "common/Messages.h"
#include "common/Win32Codes.h"
#include "platform/mouse/MouseDevice.h"

namespace tarvik {

using mouse::IMouseDevice;

class CMouseWorker {
public:
    CMouseWorker() = default;
    CMouseWorker(const CMouseWorker&) = delete;
    CMouseWorker& operator=(const CMouseWorker&) = delete;
    // A worker still running here is stopped without a limit.
    ~CMouseWorker();

    // Starts MouseThreadProc on `device`, posting to `window`. Both must outlive the thread.
    void Start(IMouseDevice& device, IMessagePoster& window);
    // Ends the wait and gives the thread `limit` to end. False when it is still running then: it
    // is let go, and the device it waits on must then never be destroyed.
    bool Stop(std::chrono::milliseconds limit);

    bool Started() const { return m_pInputThread.joinable(); }
    bool Running() const { return shared_->running.load() != 0; }

private:
    // What the thread shares with its owner; a thread that was let go keeps it alive itself.
    struct Shared {
        std::atomic<Bool32> running{0};  // set and cleared by the thread
        std::atomic<bool> stopping{false};
    };
    static void MouseThreadProc(IMouseDevice& device, IMessagePoster& window, std::shared_ptr<Shared> shared,
                                std::promise<void> ended);

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    IMouseDevice* device_ = nullptr;
    std::thread m_pInputThread;
    std::future<void> ended_;
};

}  // namespace tarvik
