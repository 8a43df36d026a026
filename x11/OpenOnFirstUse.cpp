#include "x11/OpenOnFirstUse.h"

#include <utility>

namespace tarvik::mouse {
namespace {

class OpenOnFirstUseDevice final : public MouseDevice {
public:
    explicit OpenOnFirstUseDevice(std::function<std::unique_ptr<MouseDevice>()> open) : m_open(std::move(open)) {}

    void setInputHandler(std::function<void()> handler) override {
        m_handler = std::move(handler);
        if (m_device) m_device->setInputHandler(m_handler);
    }

    bool acquire() override {
        if (m_open) {
            m_device = std::exchange(m_open, nullptr)();
            if (m_device && m_handler) m_device->setInputHandler(m_handler);
        }
        return m_device && m_device->acquire();
    }
    void unacquire() override {
        if (m_device) m_device->unacquire();
    }
    bool getDeviceState(MouseDeviceState& state, bool& more) override {
        return m_device && m_device->getDeviceState(state, more);
    }
    bool readSystemSettings(SystemMouseSettings& settings) override {
        return m_device && m_device->readSystemSettings(settings);
    }

private:
    std::function<std::unique_ptr<MouseDevice>()> m_open;
    std::function<void()> m_handler;
    std::unique_ptr<MouseDevice> m_device;
};

}  // namespace

std::unique_ptr<MouseDevice> openOnFirstUse(std::function<std::unique_ptr<MouseDevice>()> open) {
    return std::make_unique<OpenOnFirstUseDevice>(std::move(open));
}

}  // namespace tarvik::mouse
