#pragma once
// What a person is told when a network line fails: the number Windows gives the same failure
// (its socket and security codes, so a number in a message box means what it always meant) and
// the system's own words for it.
#include <cstdint>
#include <string>

#include "platform/comm/Line.h"

namespace tarvik::net {

inline constexpr uint32_t ERROR_NETNAME_DELETED = 64;  // the connection went away under us
inline constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr uint32_t WSAEACCES = 10013;
inline constexpr uint32_t WSAEADDRNOTAVAIL = 10049;
inline constexpr uint32_t WSAENETDOWN = 10050;
inline constexpr uint32_t WSAENETUNREACH = 10051;
inline constexpr uint32_t WSAECONNRESET = 10054;
inline constexpr uint32_t WSAETIMEDOUT = 10060;
inline constexpr uint32_t WSAECONNREFUSED = 10061;
inline constexpr uint32_t WSAEHOSTUNREACH = 10065;
inline constexpr uint32_t WSAHOST_NOT_FOUND = 11001;
inline constexpr uint32_t WSATRY_AGAIN = 11002;
inline constexpr uint32_t WSANO_RECOVERY = 11003;
inline constexpr uint32_t SEC_E_WRONG_PRINCIPAL = 0x80090322u;  // the certificate names another host
inline constexpr uint32_t SEC_E_UNTRUSTED_ROOT = 0x80090325u;   // no trusted CA issued it
inline constexpr uint32_t SEC_E_ILLEGAL_MESSAGE = 0x80090326u;  // the TLS handshake failed
inline constexpr uint32_t SEC_E_CERT_UNKNOWN = 0x80090327u;
inline constexpr uint32_t SEC_E_CERT_EXPIRED = 0x80090328u;
inline constexpr uint32_t CRYPT_E_REVOKED = 0x80092010u;

// The reason a line closed by the far end gives.
inline constexpr const char* kClosedByServer = "closed by the server";

// An errno from a socket call, in the system's words.
comm::LineError FromErrno(int error);
// A failed name lookup (getaddrinfo's EAI_ codes; `systemError` for EAI_SYSTEM).
comm::LineError FromResolver(int gaiError, int systemError);
// A failure gensio reported (GE_ codes), while connecting or on an open line.
comm::LineError FromGensio(int gensioError);
// The server's certificate did not verify: gensio's code and OpenSSL's words for why.
comm::LineError FromCertificate(int gensioError, const std::string& why);

}  // namespace tarvik::net
