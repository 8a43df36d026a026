#pragma once
// The check gensio's TLS leaves out: that the server's certificate was issued for the host the
// address names. gensio verifies the chain up to a trusted CA; a certificate any such CA issued to
// some other machine would pass that alone.
#include <string>

namespace tarvik::net {

// Whether the PEM certificate names `host` (a DNS name, or an IPv4/IPv6 address, matched against
// the certificate's IP entries). When it does not, `why` says which names it does carry.
bool certificateNamesHost(const std::string& pem, const std::string& host, std::string& why);

}  // namespace tarvik::net
