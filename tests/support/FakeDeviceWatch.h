#pragma once
// Watches for lost lines' devices that the test drives: it reports a change on the way to a
// device by name, as the real watch does from the event loop.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lines/DeviceWatch.h"

namespace tarvik::test {

class FakeDeviceWatcher : public comm::DeviceWatcher {
public:
    struct Watched {
        std::string name;
        std::function<void()> changed;
        bool alive = true;
    };

    bool refuse = false;  // nothing can be watched
    std::vector<std::shared_ptr<Watched>> made;

    std::unique_ptr<comm::DeviceWatch> watch(const std::string& name, std::function<void()> changed) override {
        if (refuse) return nullptr;
        made.push_back(std::make_shared<Watched>(Watched{name, std::move(changed)}));
        return std::make_unique<Handle>(made.back());
    }
    // Reports a change to every live watch of `name`; false when there was none.
    bool change(const std::string& name) {
        bool reported = false;
        for (const auto& watched : std::vector(made)) {
            if (!watched->alive || watched->name != name) continue;
            reported = true;
            watched->changed();
        }
        return reported;
    }
    int live() const {
        int count = 0;
        for (const auto& watched : made) count += watched->alive ? 1 : 0;
        return count;
    }

private:
    struct Handle : comm::DeviceWatch {
        explicit Handle(std::shared_ptr<Watched> watched) : m_watched(std::move(watched)) {}
        ~Handle() override { m_watched->alive = false; }
        std::shared_ptr<Watched> m_watched;
    };
};

}  // namespace tarvik::test
