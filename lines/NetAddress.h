#pragma once
// A network address as the target of a COMn entry in the ports folder: rfc2217://HOST:PORT,
// tcp://HOST:PORT, the same with +tls after the scheme, and ?ca=FILE to name the CA file that
// verifies the server. HOST is a name, an IPv4 address or [IPv6].
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvik::net {

enum class Framing {
    Rfc2217,  // telnet with the COM-PORT option: the line's settings are set at the far end
    Raw,      // bytes as they are; the server's line settings apply
};

struct NetAddress {
    Framing framing = Framing::Rfc2217;
    bool tls = false;
    std::string host;  // without the brackets of an IPv6 address
    uint16_t port = 0;
    std::string caFile;  // empty: the system's CA store
    std::string text;    // the address as written, for telling the user
};

// True when `target` is meant as a network address (it has a scheme), so a mistyped one is told
// what is wrong with it instead of being taken for a file name.
bool isNetworkAddress(std::string_view target);

// Reads `text`; on failure `error` says what is wrong in words a user can act on.
bool parseNetAddress(std::string_view text, NetAddress& address, std::string& error);

}  // namespace tarvik::net
