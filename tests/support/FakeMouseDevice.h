#pragma once
// A mouse device driven by the test: moves, buttons (X numbering) and wheel notches add up as the
// real device adds raw events, and the worker's wait ends once per change.
#include <condition_variable>
#include <mutex>

#include "platform/mouse/MouseDevice.h"
#include "platform/mouse/RawMouseInput.h"

namespace tarvik::test {

using mouse::CRawMouseInput;
using mouse::IMouseDevice;
using mouse::MouseDeviceState;
using mouse::SystemMouseSettings;

class FakeMouseDevice : public IMouseDevice {
public:
    void Move(int dx, int dy) { Signal(input.AddMotion(dx, dy)); }
    void Button(uint32_t xButton, bool pressed) { Signal(input.AddButton(xButton, pressed)); }
    void Click(uint32_t xButton) {
        Button(xButton, true);
        Button(xButton, false);
    }
    void Wheel(double notches) { Signal(input.AddWheel(notches)); }
    // The window lost the focus: reads fail until the next acquisition.
    void LoseCapture() {
        lost = true;
        Signal(true);
    }
    // A worker blocked in WaitForData ignores CancelWait until Release.
    void Hang() {
        std::lock_guard lock(m_mutex);
        m_hung = true;
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_hung = false;
        m_changed.notify_all();
    }

    bool WaitForData() override {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_hung ? false : m_cancelled || m_signals > 0; });
        if (m_cancelled) return false;
        --m_signals;
        return true;
    }
    void CancelWait() override {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
    }
    bool Acquire() override {
        if (acquireFails) return false;
        acquired = true;
        lost = false;
        input.Reset();
        return true;
    }
    void Unacquire() override { acquired = false; }
    bool GetDeviceState(MouseDeviceState& state) override {
        if (!acquired || lost) return false;
        bool more = false;
        state = input.Take(more);
        if (more) Signal(true);
        return true;
    }
    bool ReadSystemSettings(SystemMouseSettings& out) override {
        out = settings;
        return true;
    }

    CRawMouseInput input;
    SystemMouseSettings settings;
    bool acquireFails = false;
    bool acquired = false;
    bool lost = false;

private:
    void Signal(bool changed) {
        if (!changed) return;
        std::lock_guard lock(m_mutex);
        ++m_signals;
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_signals = 0;
    bool m_cancelled = false;
    bool m_hung = false;
};

}  // namespace tarvik::test
