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

class TarvikModule {
public:
    TarvikModule() = default;
    TarvikModule(const TarvikModule&) = delete;
    TarvikModule& operator=(const TarvikModule&) = delete;

    // Starts the module: no locks, no clean-up work queued, the calling thread is the main thread.
    void init();
    // Runs the queued clean-up work, newest first, exactly once.
    void term();

    // Returns the new count.
    int32_t lock();
    // Returns the new count. The Unlock that reaches exactly 0 while m_closeOnLastUnlock is set
    // says so on standard error and asks the main window to close: the close then runs from
    // the event loop, after the caller has returned, never from inside a client call.
    int32_t unlock();
    int32_t getLockCount() const { return m_lockCnt.load(); }

    // The window asked to close; none until the main window exists.
    void setMainWindow(CloseTarget* window) { m_mainWindow.store(window); }
    CloseTarget* getMainWindow() const { return m_mainWindow.load(); }

    // Clean-up work for Term (the automation layer queues its caches here).
    void addTermFunc(std::function<void()> func);

    std::thread::id m_mainThreadId;
    std::atomic<int32_t> m_lockCnt{0};
    std::atomic<int32_t> m_closeOnLastUnlock{0};

private:
    std::atomic<CloseTarget*> m_mainWindow{nullptr};
    std::mutex m_moduleLock;
    std::vector<std::function<void()>> m_termFuncs;
};

// The process's one module.
TarvikModule& theModule();

}  // namespace tarvik
