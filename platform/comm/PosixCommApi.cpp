#include <memory>
#include <string>

#include "platform/comm/CommApi.h"
#include "platform/comm/PortsFolder.h"
#include "platform/comm/TermiosDevice.h"

namespace tarvik::comm {
namespace {

class PosixCommApi final : public ICommApi {
public:
    uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device) override {
        std::string path;
        const uint32_t result = ResolvePortName(name, path);
        if (result != 0) return result;
        return TermiosDevice::Open(path, device);
    }
};

}  // namespace

ICommApi& RealCommApi() {
    static PosixCommApi api;
    return api;
}

}  // namespace tarvik::comm
