#pragma once
// Opens "COMn" as a network line when its entry in the ports folder is a link to a network
// address (rfc2217://, tcp://, with +tls), and as whatever `local` makes of it otherwise. A
// network line comes back still opening: it says opened or openFailed later.
#include <memory>
#include <string>

#include "lines/Line.h"
#include "lines/NetworkLine.h"

namespace tarvik::net {

class NetworkLineOpener final : public comm::LineOpener {
public:
    explicit NetworkLineOpener(comm::LineOpener& local, LineSettings settings = {})
        : m_local(local),
          m_settings(settings) {}

    // A link whose target has a scheme but does not read as an address fails here, with the
    // target after the arrow and what is wrong with it as the reason.
    std::unique_ptr<comm::Line> open(const std::string& name, comm::OpenReport& report) override;

private:
    comm::LineOpener& m_local;
    LineSettings m_settings;
};

// The port manager's lines: network ones where the ports folder links to an address, local serial
// lines (comm::serialLines()) otherwise.
comm::LineOpener& networkLines();

}  // namespace tarvik::net
