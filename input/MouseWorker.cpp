#include "input/MouseWorker.h"

#include <utility>

namespace tarvik {

CMouseWorker::~CMouseWorker() {
    if (m_pInputThread.joinable()) {
        device_->CancelWait();
        m_pInputThread.join();
    }
}

void CMouseWorker::Start(IMouseDevice& device, IMessagePoster& window) {
    if (m_pInputThread.joinable()) return;
    device_ = &device;
    std::promise<void> ended;
    ended_ = ended.get_future();
    // Set before the thread runs, so a stop that comes at once still waits for it.
    shared_->running = 1;
    m_pInputThread =
        std::thread(&CMouseWorker::MouseThreadProc, std::ref(device), std::ref(window), shared_, std::move(ended));
}

void CMouseWorker::MouseThreadProc(IMouseDevice& device, IMessagePoster& window, std::shared_ptr<Shared> shared,
                                   std::promise<void> ended) {
    while (device.WaitForData() && !shared->stopping) window.Post(UWM_MOUSEDATA, 0, 0);
    shared->running = 0;
    ended.set_value();
}

bool CMouseWorker::Stop(std::chrono::milliseconds limit) {
    if (!m_pInputThread.joinable()) return true;
    shared_->stopping = true;
    device_->CancelWait();
    if (ended_.wait_for(limit) != std::future_status::ready) {
        m_pInputThread.detach();
        return false;
    }
    m_pInputThread.join();
    return true;
}

}  // namespace tarvik
