#pragma once
// Error numbers and constants that callers, stored files and peers know by their Win32 values.
#include <cstdint>

namespace tarvik {

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_GEN_FAILURE = 31;
inline constexpr uint32_t ERROR_SHARING_VIOLATION = 32;
inline constexpr uint32_t ERROR_NOT_SUPPORTED = 50;
inline constexpr uint32_t ERROR_NETNAME_DELETED = 64;  // the connection went away under us
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_DISK_FULL = 112;
inline constexpr uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr uint32_t ERROR_MORE_DATA = 234;
inline constexpr uint32_t ERROR_OPERATION_ABORTED = 995;
inline constexpr uint32_t ERROR_IO_PENDING = 997;
inline constexpr uint32_t ERROR_BADDB = 1009;
inline constexpr uint32_t ERROR_IO_DEVICE = 1117;
inline constexpr uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
inline constexpr uint32_t ERROR_ALREADY_INITIALIZED = 1247;
inline constexpr uint32_t ERROR_TIMEOUT = 1460;
inline constexpr uint32_t ERROR_CANT_RESOLVE_FILENAME = 1921;
inline constexpr uint32_t E_INVALIDARG = 0x80070057u;

// A network line's failures, by the socket and security codes a number in a message always meant.
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

// Hives, as the callers name them.
inline constexpr uint32_t HKEY_CURRENT_USER = 0x80000001u;
inline constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;

// The system's text for an error number, as shown in the "Application Error" box.
// Ends with a line break, as the system's own texts do.
const char* systemErrorText(uint32_t code);

}  // namespace tarvik
