#pragma once
// A mouse device driven by the test: moves, buttons (X numbering) and wheel notches add up as the
// real device adds raw events, and deliver() hands them on as the event loop would.
#include <functional>
#include <utility>

#include "x11/MouseDevice.h"
#include "x11/RawMouseInput.h"

namespace tarvik::test {

class FakeMouseDevice : public mouse::MouseDevice {
public:
    void move(int dx, int dy) { m_input.addMotion(dx, dy); }
    void button(uint32_t xButton, bool pressed) { m_input.addButton(xButton, pressed); }
    void click(uint32_t xButton) {
        button(xButton, true);
        button(xButton, false);
    }
    void wheel(double notches) { m_input.addWheel(notches); }
    // The window lost the focus: reads fail until the next acquisition.
    void loseCapture() { lost = true; }
    // What the device's watch does when input has arrived. False when nobody listens.
    bool deliver() {
        if (!m_handler) return false;
        m_handler();
        return true;
    }

    void setInputHandler(std::function<void()> handler) override { m_handler = std::move(handler); }
    bool acquire() override {
        if (acquireFails) return false;
        acquired = true;
        lost = false;
        m_input.reset();
        return true;
    }
    void unacquire() override { acquired = false; }
    bool getDeviceState(mouse::MouseDeviceState& state, bool& more) override {
        more = false;
        if (!acquired || lost) return false;
        state = m_input.take(more);
        return true;
    }
    bool readSystemSettings(mouse::SystemMouseSettings& out) override {
        out = settings;
        return true;
    }

    mouse::SystemMouseSettings settings;
    bool acquireFails = false;
    bool acquired = false;
    bool lost = false;

private:
    mouse::RawMouseInput m_input;
    std::function<void()> m_handler;
};

}  // namespace tarvik::test
