#include "automation/TarvikModule.h"

#include <cstdio>
#include <utility>

namespace tarvik {

void CTarvikModule::Init() {
    m_nLockCnt.store(0);
    m_dwMainThreadID = std::this_thread::get_id();
    std::lock_guard<std::mutex> guard(m_csModule);
    m_termFuncs.clear();
}

void CTarvikModule::Term() {
    std::vector<std::function<void()>> funcs;
    {
        std::lock_guard<std::mutex> guard(m_csModule);
        funcs.swap(m_termFuncs);
    }
    for (auto it = funcs.rbegin(); it != funcs.rend(); ++it) {
        if (*it) (*it)();
    }
}

int32_t CTarvikModule::Lock() { return m_nLockCnt.fetch_add(1) + 1; }

int32_t CTarvikModule::Unlock() {
    const int32_t count = m_nLockCnt.fetch_sub(1) - 1;
    // Only exactly zero closes: an unbalanced extra Unlock drives the count negative and must
    // not close a window that a later client would still need.
    if (count == 0 && m_bCloseOnLastUnlock.load() != 0) {
        if (IMessagePoster* window = m_pMainWindow.load()) {
            // A run the user started otherwise ends without a word of why (the lines say only
            // that they closed).
            std::fputs(
                "tarvik: the last automation client has let go, so this run ends (clients of Tarvik.Control "
                "hold no lock and end nothing)\n",
                stderr);
            window->Post(WM_CLOSE, 0, 0);
        }
    }
    return count;
}

void CTarvikModule::AddTermFunc(std::function<void()> func) {
    std::lock_guard<std::mutex> guard(m_csModule);
    m_termFuncs.push_back(std::move(func));
}

CTarvikModule& TheModule() {
    static CTarvikModule module;
    return module;
}

}  // namespace tarvik
