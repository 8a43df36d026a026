#include "automation/TarvikModule.h"

#include <cstdio>
#include <utility>

namespace tarvik {

void TarvikModule::init() {
    m_lockCnt.store(0);
    m_mainThreadId = std::this_thread::get_id();
    std::lock_guard<std::mutex> guard(m_moduleLock);
    m_termFuncs.clear();
}

void TarvikModule::term() {
    std::vector<std::function<void()>> funcs;
    {
        std::lock_guard<std::mutex> guard(m_moduleLock);
        funcs.swap(m_termFuncs);
    }
    for (auto it = funcs.rbegin(); it != funcs.rend(); ++it) {
        if (*it) (*it)();
    }
}

int32_t TarvikModule::lock() { return m_lockCnt.fetch_add(1) + 1; }

int32_t TarvikModule::unlock() {
    const int32_t count = m_lockCnt.fetch_sub(1) - 1;
    // Only exactly zero closes: an unbalanced extra Unlock drives the count negative and must
    // not close a window that a later client would still need.
    if (count == 0 && m_closeOnLastUnlock.load() != 0) {
        if (CloseTarget* window = m_mainWindow.load()) {
            // A run the user started otherwise ends without a word of why (the lines say only
            // that they closed).
            std::fputs(
                "tarvik: the last automation client has let go, so this run ends (clients of Tarvik.Control "
                "hold no lock and end nothing)\n",
                stderr);
            window->requestClose();
        }
    }
    return count;
}

void TarvikModule::addTermFunc(std::function<void()> func) {
    std::lock_guard<std::mutex> guard(m_moduleLock);
    m_termFuncs.push_back(std::move(func));
}

TarvikModule& theModule() {
    static TarvikModule module;
    return module;
}

}  // namespace tarvik
