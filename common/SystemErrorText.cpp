#include "common/Win32Codes.h"

namespace tarvik {

const char* systemErrorText(uint32_t code) {
    switch (code) {
        case ERROR_SUCCESS: return "The operation completed successfully.\n";
        case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.\n";
        case ERROR_ACCESS_DENIED: return "Access is denied.\n";
        case ERROR_INVALID_HANDLE: return "The handle is invalid.\n";
        case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory resources are available to process this command.\n";
        case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.\n";
        case ERROR_SHARING_VIOLATION:
            return "The process cannot access the file because it is being used by another process.\n";
        case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.\n";
        case ERROR_DISK_FULL: return "There is not enough space on the disk.\n";
        case ERROR_MORE_DATA: return "More data is available.\n";
        case ERROR_OPERATION_ABORTED:
            return "The I/O operation has been aborted because of either a thread exit or an application request.\n";
        case ERROR_IO_PENDING: return "Overlapped I/O operation is in progress.\n";
        case ERROR_BADDB: return "The configuration registry database is corrupt.\n";
        case ERROR_IO_DEVICE: return "The request could not be performed because of an I/O device error.\n";
        case ERROR_DEVICE_NOT_CONNECTED: return "The device is not connected.\n";
        case ERROR_ALREADY_INITIALIZED:
            return "An attempt was made to perform an initialization operation when initialization has already been "
                   "completed.\n";
        case ERROR_TIMEOUT: return "This operation returned because the timeout period expired.\n";
        case ERROR_NOT_SUPPORTED: return "The request is not supported.\n";
        case ERROR_NETNAME_DELETED: return "The specified network name is no longer available.\n";
        case WSAEACCES: return "An attempt was made to access a socket in a way forbidden by its access permissions.\n";
        case WSAEADDRNOTAVAIL: return "The requested address is not valid in its context.\n";
        case WSAENETDOWN: return "A socket operation encountered a dead network.\n";
        case WSAENETUNREACH: return "A socket operation was attempted to an unreachable network.\n";
        case WSAECONNRESET: return "An existing connection was forcibly closed by the remote host.\n";
        case WSAETIMEDOUT:
            return "A connection attempt failed because the connected party did not properly respond after a period "
                   "of time, or established connection failed because connected host has failed to respond.\n";
        case WSAECONNREFUSED: return "No connection could be made because the target machine actively refused it.\n";
        case WSAEHOSTUNREACH: return "A socket operation was attempted to an unreachable host.\n";
        case WSAHOST_NOT_FOUND: return "No such host is known.\n";
        case WSATRY_AGAIN:
            return "This is usually a temporary error during hostname resolution and means that the local server did "
                   "not receive a response from an authoritative server.\n";
        case WSANO_RECOVERY: return "A non-recoverable error occurred during a database lookup.\n";
        case SEC_E_WRONG_PRINCIPAL: return "The target principal name is incorrect.\n";
        case SEC_E_UNTRUSTED_ROOT: return "The certificate chain was issued by an authority that is not trusted.\n";
        case SEC_E_ILLEGAL_MESSAGE: return "The message received was unexpected or badly formatted.\n";
        case SEC_E_CERT_UNKNOWN: return "An unknown error occurred while processing the certificate.\n";
        case SEC_E_CERT_EXPIRED: return "The received certificate has expired.\n";
        case CRYPT_E_REVOKED: return "The certificate is revoked.\n";
        default: return "Unknown error.\n";
    }
}

}  // namespace tarvik
