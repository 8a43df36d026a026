#pragma once
// What a person is told when a network line fails: the number of the same failure among the codes
// in common/Win32Codes.h (socket and security codes, so a number in a message means what it always
// meant) and the system's own words for it.
#include <cstdint>
#include <string>

#include "common/Win32Codes.h"
#include "lines/Line.h"

namespace tarvik::net {

using tarvik::CRYPT_E_REVOKED;
using tarvik::ERROR_NETNAME_DELETED;
using tarvik::ERROR_NOT_SUPPORTED;
using tarvik::SEC_E_CERT_EXPIRED;
using tarvik::SEC_E_CERT_UNKNOWN;
using tarvik::SEC_E_ILLEGAL_MESSAGE;
using tarvik::SEC_E_UNTRUSTED_ROOT;
using tarvik::SEC_E_WRONG_PRINCIPAL;
using tarvik::WSAEACCES;
using tarvik::WSAEADDRNOTAVAIL;
using tarvik::WSAECONNREFUSED;
using tarvik::WSAECONNRESET;
using tarvik::WSAEHOSTUNREACH;
using tarvik::WSAENETDOWN;
using tarvik::WSAENETUNREACH;
using tarvik::WSAETIMEDOUT;
using tarvik::WSAHOST_NOT_FOUND;
using tarvik::WSANO_RECOVERY;
using tarvik::WSATRY_AGAIN;

// The reason a line closed by the far end gives.
inline constexpr const char* ClosedByServer = "closed by the server";

// An errno from a socket call, in the system's words.
comm::LineError fromErrno(int error);
// A failed name lookup (getaddrinfo's EAI_ codes; `systemError` for EAI_SYSTEM).
comm::LineError fromResolver(int gaiError, int systemError);
// A failure gensio reported (GE_ codes), while connecting or on an open line.
comm::LineError fromGensio(int gensioError);
// The server's certificate did not verify: gensio's code and OpenSSL's words for why.
comm::LineError fromCertificate(int gensioError, const std::string& why);

}  // namespace tarvik::net
