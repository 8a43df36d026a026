#pragma once
// Waiting for a lost line's device to come back, without polling: the folders on the way from the
// ports folder's entry to the device are watched, and a change there that may bring the device
// back is reported. Whether it did is for the caller to find out, by opening the line.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvik::comm {

class DeviceWatch {
public:
    // Stops watching: the report is never called again. A watch may be destroyed from its report.
    virtual ~DeviceWatch() = default;
};

class DeviceWatcher {
public:
    virtual ~DeviceWatcher() = default;
    // Watches the way to the device behind `name` ("COMn"). `changed` runs on the caller's thread,
    // from its event loop, once for each change that may have brought the device back. Null when
    // nothing can be watched.
    virtual std::unique_ptr<DeviceWatch> watch(const std::string& name, std::function<void()> changed) = 0;
};

// The real watch: inotify on the folders of the entry and of each link it leads through.
DeviceWatcher& inotifyDeviceWatcher();

// A name in a folder whose coming, going or change of permissions matters.
struct WatchPoint {
    std::string folder;
    std::string name;
    friend bool operator==(const WatchPoint&, const WatchPoint&) = default;
};

// The points on the way from `entry` to its device: the entry in its folder, then the target of
// each symbolic link in the target's folder. A folder that does not exist (/dev/serial/by-id goes
// with the last adapter) is replaced by its nearest existing parent, watched for the missing
// folder's name.
std::vector<WatchPoint> wayToDevice(const std::string& entry);

}  // namespace tarvik::comm
