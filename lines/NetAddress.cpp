#include "lines/NetAddress.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace tarvik::net {

namespace {

constexpr std::string_view Schemes = "rfc2217://, tcp://, rfc2217+tls:// or tcp+tls://";

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool parseScheme(std::string_view scheme, NetAddress& address, std::string& error) {
    const std::string lower = lowerCase(scheme);
    if (lower == "rfc2217" || lower == "rfc2217+tls") {
        address.framing = Framing::Rfc2217;
    } else if (lower == "tcp" || lower == "tcp+tls") {
        address.framing = Framing::Raw;
    } else {
        error = "unknown scheme \"" + std::string(scheme) + "\"; use " + std::string(Schemes);
        return false;
    }
    address.tls = lower.ends_with("+tls");
    return true;
}

bool isDnsName(std::string_view host) {
    if (host.size() > 253) return false;
    size_t label = 0;
    for (const char c : host) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') {
            if (++label > 63) return false;
        } else {
            return false;
        }
    }
    return true;
}

bool parseHost(std::string_view host, bool bracketed, NetAddress& address, std::string& error) {
    if (host.empty()) {
        error = "missing host";
        return false;
    }
    const std::string name(host);
    if (bracketed) {
        // A zone (fe80::1%eth0) is left to the resolver; the address before it must be IPv6.
        const std::string bare = name.substr(0, name.find('%'));
        in6_addr ip6{};
        if (::inet_pton(AF_INET6, bare.c_str(), &ip6) != 1) {
            error = "bad IPv6 address \"" + name + "\"";
            return false;
        }
    } else if (name.find(':') != std::string::npos) {
        error = "an IPv6 address goes in brackets: [" + name + "]:PORT";
        return false;
    } else if (name.find_first_not_of("0123456789.") == std::string::npos) {
        in_addr ip4{};
        if (::inet_pton(AF_INET, name.c_str(), &ip4) != 1) {
            error = "bad IPv4 address \"" + name + "\"";
            return false;
        }
    } else if (!isDnsName(host)) {
        error = "bad host name \"" + name + "\"";
        return false;
    }
    address.host = name;
    return true;
}

bool parsePort(std::string_view port, NetAddress& address, std::string& error) {
    if (port.empty()) {
        error = "missing port (HOST:PORT)";
        return false;
    }
    unsigned long value = 0;
    for (const char c : port) {
        if (!std::isdigit(static_cast<unsigned char>(c)) || value > 65535) {
            value = 0;
            break;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value == 0 || value > 65535) {
        error = "bad port \"" + std::string(port) + "\" (1 to 65535)";
        return false;
    }
    address.port = static_cast<uint16_t>(value);
    return true;
}

// HOST:PORT or [IPv6]:PORT, with nothing after the port.
bool parseAuthority(std::string_view rest, NetAddress& address, std::string& error) {
    std::string_view host;
    bool bracketed = false;
    if (rest.starts_with('[')) {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            error = "missing \"]\" after the IPv6 address";
            return false;
        }
        host = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
        bracketed = true;
        if (!rest.empty() && rest.front() != ':') {
            error = "unexpected \"" + std::string(rest) + "\" after \"]\"; expected :PORT";
            return false;
        }
    } else {
        const size_t colon = rest.rfind(':');
        host = rest.substr(0, colon == std::string_view::npos ? rest.size() : colon);
        rest.remove_prefix(host.size());
    }
    if (!parseHost(host, bracketed, address, error)) return false;
    if (rest.empty()) {
        error = "missing port (HOST:PORT)";
        return false;
    }
    rest.remove_prefix(1);  // the colon
    const size_t junk = rest.find_first_not_of("0123456789");
    if (junk != std::string_view::npos && junk > 0) {
        error = "unexpected \"" + std::string(rest.substr(junk)) + "\" after the port";
        return false;
    }
    return parsePort(rest, address, error);
}

bool parseQuery(std::string_view query, NetAddress& address, std::string& error) {
    if (!query.starts_with("ca=")) {
        error = "unknown option \"" + std::string(query) + "\"; the only option is ca=FILE";
        return false;
    }
    if (!address.tls) {
        error = "ca=FILE needs TLS (rfc2217+tls:// or tcp+tls://)";
        return false;
    }
    address.caFile = std::string(query.substr(3));
    if (address.caFile.empty()) {
        error = "ca= names no file";
        return false;
    }
    return true;
}

}  // namespace

bool isNetworkAddress(std::string_view target) { return trim(target).find("://") != std::string_view::npos; }

bool parseNetAddress(std::string_view text, NetAddress& address, std::string& error) {
    address = NetAddress{};
    const std::string_view whole = trim(text);
    const size_t separator = whole.find("://");
    if (separator == std::string_view::npos) {
        error = "not a network address; use " + std::string(Schemes) + " HOST:PORT";
        return false;
    }
    if (!parseScheme(whole.substr(0, separator), address, error)) return false;
    std::string_view rest = whole.substr(separator + 3);
    const size_t question = rest.find('?');
    const std::string_view query = question == std::string_view::npos ? std::string_view{} : rest.substr(question + 1);
    rest = rest.substr(0, question);
    if (!parseAuthority(rest, address, error)) return false;
    if (question != std::string_view::npos && !parseQuery(query, address, error)) return false;
    address.text = std::string(whole);
    return true;
}

}  // namespace tarvik::net
