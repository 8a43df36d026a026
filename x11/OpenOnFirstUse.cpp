#include "x11/OpenOnFirstUse.h"

#include <utility>

namespace tarvik::mouse {
namespace {

class COpenOnFirstUse final : public IMouseDevice {
public:
    explicit COpenOnFirstUse(std::function<std::unique_ptr<IMouseDevice>()> open) : open_(std::move(open)) {}

    void setInputHandler(std::function<void()> handler) override {
        handler_ = std::move(handler);
        if (device_) device_->setInputHandler(handler_);
    }

    bool Acquire() override {
        if (open_) {
            device_ = std::exchange(open_, nullptr)();
            if (device_ && handler_) device_->setInputHandler(handler_);
        }
        return device_ && device_->Acquire();
    }
    void Unacquire() override {
        if (device_) device_->Unacquire();
    }
    bool GetDeviceState(MouseDeviceState& state, bool& more) override {
        return device_ && device_->GetDeviceState(state, more);
    }
    bool ReadSystemSettings(SystemMouseSettings& settings) override {
        return device_ && device_->ReadSystemSettings(settings);
    }

private:
    std::function<std::unique_ptr<IMouseDevice>()> open_;
    std::function<void()> handler_;
    std::unique_ptr<IMouseDevice> device_;
};

}  // namespace

std::unique_ptr<IMouseDevice> OpenOnFirstUse(std::function<std::unique_ptr<IMouseDevice>()> open) {
    return std::make_unique<COpenOnFirstUse>(std::move(open));
}

}  // namespace tarvik::mouse
