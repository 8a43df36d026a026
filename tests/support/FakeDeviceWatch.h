#pragma once
// Watches for lost lines' devices that the test drives: it reports a change on the way to a
// device by name, as the real watch's thread would.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/comm/DeviceWatch.h"

namespace tarvik::test {

class FakeDeviceWatches : public comm::IDeviceWatchApi {
public:
    struct Watched {
        std::string name;
        std::function<void()> changed;
        bool alive = true;
    };

    uint32_t result = 0;  // what Watch fails with; 0 succeeds
    std::vector<std::shared_ptr<Watched>> made;

    uint32_t Watch(const std::string& name, std::function<void()> changed,
                   std::unique_ptr<comm::IDeviceWatch>& watch) override {
        if (result != 0) return result;
        made.push_back(std::make_shared<Watched>(Watched{name, std::move(changed)}));
        watch = std::make_unique<Handle>(made.back());
        return 0;
    }
    // Reports a change to every live watch of `name`.
    void Change(const std::string& name) {
        for (const auto& watched : made) {
            if (watched->alive && watched->name == name) watched->changed();
        }
    }
    int Live() const {
        int live = 0;
        for (const auto& watched : made) live += watched->alive ? 1 : 0;
        return live;
    }

private:
    struct Handle : comm::IDeviceWatch {
        explicit Handle(std::shared_ptr<Watched> watched) : watched_(std::move(watched)) {}
        ~Handle() override { watched_->alive = false; }
        std::shared_ptr<Watched> watched_;
    };
};

}  // namespace tarvik::test
