#pragma once
// The server module: counts the clients that hold the process alive and closes the main window
// when the last of them lets go.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "common/Win32Codes.h"

namespace tarvik {

class CTarvikModule {
public:
    CTarvikModule() = default;
    CTarvikModule(const CTarvikModule&) = delete;
    CTarvikModule& operator=(const CTarvikModule&) = delete;

    // Starts the module: no locks, no clean-up work queued, the calling thread is the main thread.
    void Init();
    // Runs the queued clean-up work, newest first, exactly once.
    void Term();

    // Returns the new count.
    int32_t Lock();
    // Returns the new count. The Unlock that reaches exactly 0 while m_bCloseOnLastUnlock is set
    // says so on standard error and posts WM_CLOSE to the main window: the close then runs from
    // the event loop, after the caller has returned, never from inside a client call.
    int32_t Unlock();
    int32_t GetLockCount() const { return m_nLockCnt.load(); }

    // The window that receives WM_CLOSE; none until the main window exists.
    void SetMainWindow(IMessagePoster* window) { m_pMainWindow.store(window); }
    IMessagePoster* GetMainWindow() const { return m_pMainWindow.load(); }

    // Clean-up work for Term (the automation layer queues its caches here).
    void AddTermFunc(std::function<void()> func);

    std::thread::id m_dwMainThreadID;
    std::atomic<int32_t> m_nLockCnt{0};
    std::atomic<Bool32> m_bCloseOnLastUnlock{0};

private:
    std::atomic<IMessagePoster*> m_pMainWindow{nullptr};
    std::mutex m_csModule;
    std::vector<std::function<void()>> m_termFuncs;
};

// The process's one module.
CTarvikModule& TheModule();

}  // namespace tarvik
