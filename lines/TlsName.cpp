#include "lines/TlsName.h"

#include <arpa/inet.h>

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <vector>

namespace tarvik::net {

namespace {

struct FreeCert {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct FreeNames {
    void operator()(GENERAL_NAMES* names) const { GENERAL_NAMES_free(names); }
};

std::string ipText(const ASN1_OCTET_STRING* ip) {
    char text[INET6_ADDRSTRLEN] = {};
    const int length = ASN1_STRING_length(ip);
    const int family = length == 4 ? AF_INET : length == 16 ? AF_INET6 : 0;
    if (family == 0 || !::inet_ntop(family, ASN1_STRING_get0_data(ip), text, sizeof text)) return "?";
    return text;
}

// The names a certificate is for, to tell the user: its DNS and IP entries, else its common name.
std::vector<std::string> namesOf(X509* cert) {
    std::vector<std::string> names;
    std::unique_ptr<GENERAL_NAMES, FreeNames> alt(
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr)));
    for (int i = 0; alt && i < sk_GENERAL_NAME_num(alt.get()); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(alt.get(), i);
        if (name->type == GEN_DNS) {
            names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(name->d.dNSName)),
                               ASN1_STRING_length(name->d.dNSName));
        } else if (name->type == GEN_IPADD) {
            names.push_back(ipText(name->d.iPAddress));
        }
    }
    char common[256] = {};
    if (names.empty() &&
        X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, common, sizeof common) > 0) {
        names.emplace_back(common);
    }
    return names;
}

bool isIpAddress(const std::string& host) {
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 || ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

}  // namespace

bool certificateNamesHost(const std::string& pem, const std::string& host, std::string& why) {
    BIO* bio = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    std::unique_ptr<X509, FreeCert> cert(bio ? PEM_read_bio_X509(bio, nullptr, nullptr, nullptr) : nullptr);
    BIO_free(bio);
    if (!cert) {
        why = "the server's certificate cannot be read";
        return false;
    }
    // An address is matched against the certificate's IP entries only, a name against its DNS
    // entries (wildcards for one whole label at most), as browsers do.
    const bool matches = isIpAddress(host) ? X509_check_ip_asc(cert.get(), host.c_str(), 0) == 1
                                           : X509_check_host(cert.get(), host.data(), host.size(),
                                                             X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS, nullptr) == 1;
    if (matches) return true;
    std::string list;
    for (const std::string& name : namesOf(cert.get())) list += (list.empty() ? "" : ", ") + name;
    why = "the server's certificate is for " + (list.empty() ? std::string("no name") : list) + ", not for " + host;
    return false;
}

}  // namespace tarvik::net
