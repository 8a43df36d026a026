#include "common/Win32Codes.h"

namespace tarvik {

const char* SystemErrorText(uint32_t code) {
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
        default: return "Unknown error.\n";
    }
}

}  // namespace tarvik
