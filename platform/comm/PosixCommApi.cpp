#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/comm/CommApi.h"
#include "platform/comm/PortsFolder.h"
#include "platform/comm/TermiosDevice.h"

namespace tarvik::comm {
namespace {

class PosixCommApi final : public ICommApi {
public:
    uint32_t Open(const std::string& name, std::unique_ptr<ICommDevice>& device, OpenReport& report) override {
        std::string path;
        report = {};
        const uint32_t result = ResolvePortName(name, path);
        if (result != 0) {
            report.reason = ParsePortName(name) == 0 ? "not a port name" : "no ports folder";
            return result;
        }
        // The link as the user made it (what the preferences show), not the resolved chain.
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        report.target = error ? path : target.string();
        return TermiosDevice::Open(path, device, report.reason);
    }
};

}  // namespace

ICommApi& RealCommApi() {
    static PosixCommApi api;
    return api;
}

}  // namespace tarvik::comm
