#include "lines/NetErrors.h"

#include <netdb.h>

#include <gensio/gensio_err.h>

#include <cerrno>
#include <cstring>

#include "common/Win32Codes.h"
#include "lines/QtGensio.h"

namespace tarvik::net {

comm::LineError fromErrno(int error) {
    uint32_t code = ERROR_GEN_FAILURE;
    switch (error) {
        case ECONNREFUSED: code = WSAECONNREFUSED; break;
        case EHOSTUNREACH: code = WSAEHOSTUNREACH; break;
        case ENETUNREACH: code = WSAENETUNREACH; break;
        case ENETDOWN: code = WSAENETDOWN; break;
        case ETIMEDOUT: code = WSAETIMEDOUT; break;
        case ECONNRESET:
        case EPIPE: code = WSAECONNRESET; break;
        case EADDRNOTAVAIL: code = WSAEADDRNOTAVAIL; break;
        case EACCES:
        case EPERM: code = WSAEACCES; break;
        case ENOMEM: code = ERROR_NOT_ENOUGH_MEMORY; break;
        default: break;
    }
    return {code, std::strerror(error)};
}

comm::LineError fromResolver(int gaiError, int systemError) {
    switch (gaiError) {
        case EAI_SYSTEM: return fromErrno(systemError);
        case EAI_NONAME:
        case EAI_NODATA:
        case EAI_ADDRFAMILY: return {WSAHOST_NOT_FOUND, ::gai_strerror(gaiError)};
        case EAI_AGAIN: return {WSATRY_AGAIN, ::gai_strerror(gaiError)};
        case EAI_MEMORY: return {ERROR_NOT_ENOUGH_MEMORY, ::gai_strerror(gaiError)};
        default: return {WSANO_RECOVERY, ::gai_strerror(gaiError)};
    }
}

comm::LineError fromGensio(int gensioError) {
    switch (gensioError) {
        // gensio's codes for errno values it knows; the errno gives the system's words back.
        case GE_CONNREFUSE: return fromErrno(ECONNREFUSED);
        case GE_HOSTDOWN: return fromErrno(EHOSTUNREACH);
        case GE_TIMEDOUT: return fromErrno(ETIMEDOUT);
        case GE_PERM: return fromErrno(EACCES);
        case GE_NOMEM: return fromErrno(ENOMEM);
        case GE_OSERR: {
            const int error = lastUnnamedErrno();
            return error ? fromErrno(error) : comm::LineError{ERROR_GEN_FAILURE, gensio_err_to_str(gensioError)};
        }
        case GE_REMCLOSE: return {ERROR_NETNAME_DELETED, ClosedByServer};
        case GE_PROTOERR:
            return {SEC_E_ILLEGAL_MESSAGE, "TLS refused: the handshake failed (does the server use TLS?)"};
        default: return {ERROR_GEN_FAILURE, gensio_err_to_str(gensioError)};
    }
}

comm::LineError fromCertificate(int gensioError, const std::string& why) {
    uint32_t code = SEC_E_CERT_UNKNOWN;
    switch (gensioError) {
        case GE_CERTNOTFOUND: code = SEC_E_UNTRUSTED_ROOT; break;
        case GE_CERTEXPIRED: code = SEC_E_CERT_EXPIRED; break;
        case GE_CERTREVOKED: code = CRYPT_E_REVOKED; break;
        default: break;
    }
    return {code, "TLS refused: the server's certificate does not verify: " + why};
}

}  // namespace tarvik::net
