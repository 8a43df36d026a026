#pragma once
// The ports folder as the preferences show and change it: where each COMn entry leads, the serial
// devices present that could be bound, whether the user may use one, and binding one as COMn.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/Win32Codes.h"

namespace tarvik::comm {

inline constexpr uint32_t HighestPortNumber = 256;
using tarvik::ERROR_NOT_SUPPORTED;

struct PortBinding {
    std::string target;    // what the entry names: a link's target, else the entry itself
    bool present = false;  // the target exists, or is a network address
};

class PortBindings {
public:
    virtual ~PortBindings() = default;
    // The devices present that a COM number could name, stable names first.
    virtual std::vector<std::string> listDevices() = 0;
    // Every entry COM1 to COM256 of the ports folder.
    virtual std::map<uint32_t, PortBinding> readBindings() = 0;
    // 0 when the user may read and write `device`; ERROR_FILE_NOT_FOUND, ERROR_NOT_SUPPORTED (not a
    // character device) or ERROR_ACCESS_DENIED otherwise. Nothing is opened.
    virtual uint32_t checkDevice(const std::string& device) = 0;
    // Makes COM<number> a link to `device`, replacing what was there in one step. 0 or a Win32 code.
    virtual uint32_t bind(uint32_t number, const std::string& device) = 0;
};

// The group owning `device` (who may use it is usually that group's members); "dialout" when it
// cannot be told.
std::string deviceGroup(const std::string& device);

// /dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*: USB adapters, never the built-in ttyS lines
// (ttyS0 is often the console).
std::vector<std::string> defaultDevicePatterns();

// The ports folder of portsFolder(), with the devices the patterns find.
class FolderPortBindings : public PortBindings {
public:
    explicit FolderPortBindings(std::vector<std::string> patterns = defaultDevicePatterns())
        : m_patterns(std::move(patterns)) {}

    std::vector<std::string> listDevices() override;
    std::map<uint32_t, PortBinding> readBindings() override;
    uint32_t checkDevice(const std::string& device) override;
    uint32_t bind(uint32_t number, const std::string& device) override;

private:
    std::vector<std::string> m_patterns;
};

}  // namespace tarvik::comm
