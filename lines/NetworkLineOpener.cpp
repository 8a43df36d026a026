#include "lines/NetworkLineOpener.h"

#include <filesystem>

#include "common/Win32Codes.h"
#include "lines/NetAddress.h"
#include "lines/PortsFolder.h"
#include "lines/SerialLine.h"

namespace tarvik::net {

std::unique_ptr<comm::Line> NetworkLineOpener::open(const std::string& name, comm::OpenReport& report) {
    std::string entry;
    std::error_code error;
    if (comm::resolvePortName(name, entry) != ERROR_SUCCESS) return m_local.open(name, report);
    const std::string target = std::filesystem::read_symlink(entry, error).string();
    if (error || !isNetworkAddress(target)) return m_local.open(name, report);
    report = {};
    report.target = target;
    NetAddress address;
    std::string problem;
    if (!parseNetAddress(target, address, problem)) {
        report.error = {ERROR_INVALID_PARAMETER, "bad network address: " + problem};
        return nullptr;
    }
    auto line = std::make_unique<NetworkLine>(address, m_settings);
    line->open();
    return line;
}

comm::LineOpener& networkLines() {
    static NetworkLineOpener lines(comm::serialLines(), LineSettings{});
    return lines;
}

}  // namespace tarvik::net
