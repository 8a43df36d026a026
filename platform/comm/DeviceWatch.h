#pragma once
// Waiting for a lost line's device to come back, without polling: the folders on the way from the
// ports folder's entry to the device are watched, and a change there that may bring the device
// back is reported. Whether it did is for the caller to find out, by opening the line.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarvik::comm {

class IDeviceWatch {
public:
    // Stops watching. Once this returns, the report is never called again.
    virtual ~IDeviceWatch() = default;
};

class IDeviceWatchApi {
public:
    virtual ~IDeviceWatchApi() = default;
    // Watches the way to the device behind `name` ("COMn"). `changed` runs on a thread of the
    // watch's own, once for each change that may have brought the device back, and must do no
    // more than post. 0, or a Win32 code when nothing can be watched (then `watch` stays empty).
    virtual uint32_t Watch(const std::string& name, std::function<void()> changed,
                           std::unique_ptr<IDeviceWatch>& watch) = 0;
};

// The real watch: inotify on the folders of the entry and of each link it leads through.
IDeviceWatchApi& RealDeviceWatchApi();

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
std::vector<WatchPoint> WayToDevice(const std::string& entry);

}  // namespace tarvik::comm
