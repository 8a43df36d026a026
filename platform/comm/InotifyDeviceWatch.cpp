#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <thread>

#include "common/Win32Codes.h"
#include "platform/comm/CommApi.h"
#include "platform/comm/DeviceWatch.h"
#include "platform/comm/PortsFolder.h"

namespace tarvik::comm {
namespace {

namespace fs = std::filesystem;

// Links followed from the entry; a longer chain is almost certainly a loop.
constexpr int kMaxLinks = 16;

// A device node appears (CREATE), a link is put in place by rename (MOVED_TO), udev hands the node
// to the right group after creating it (ATTRIB); what goes away changes the way (DELETE,
// MOVED_FROM, and the folder itself going).
constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

WatchPoint NearestExisting(fs::path folder, std::string name) {
    std::error_code ec;
    while (!fs::is_directory(folder, ec) && folder.has_relative_path()) {
        name = folder.filename().string();
        folder = folder.parent_path();
    }
    return {folder.string(), name};
}

class InotifyDeviceWatch final : public IDeviceWatch {
public:
    static uint32_t Start(const std::string& entry, std::function<void()> changed,
                          std::unique_ptr<IDeviceWatch>& watch) {
        const int inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotifyFd < 0) return Win32FromErrno(errno);
        const int stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (stopFd < 0) {
            const uint32_t code = Win32FromErrno(errno);
            ::close(inotifyFd);
            return code;
        }
        std::unique_ptr<InotifyDeviceWatch> made(new InotifyDeviceWatch(inotifyFd, stopFd, entry, std::move(changed)));
        if (!made->Rewatch()) return ERROR_PATH_NOT_FOUND;
        try {
            made->thread_ = std::thread(&InotifyDeviceWatch::Run, made.get());
        } catch (const std::system_error&) { return ERROR_NOT_ENOUGH_MEMORY; }
        watch = std::move(made);
        return ERROR_SUCCESS;
    }

    ~InotifyDeviceWatch() override {
        if (thread_.joinable()) {
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t written = ::write(stopFd_, &one, sizeof one);
            thread_.join();
        }
        ::close(stopFd_);
        ::close(inotifyFd_);
    }

private:
    InotifyDeviceWatch(int inotifyFd, int stopFd, std::string entry, std::function<void()> changed)
        : inotifyFd_(inotifyFd),
          stopFd_(stopFd),
          entry_(std::move(entry)),
          changed_(std::move(changed)) {}

    // Follows the way again (a link may now lead elsewhere, a folder may have come or gone) and
    // watches exactly its folders. False when no folder could be watched.
    bool Rewatch() {
        std::map<int, std::set<std::string>> names;
        for (const WatchPoint& point : WayToDevice(entry_)) {
            const int wd = ::inotify_add_watch(inotifyFd_, point.folder.c_str(), kFolderEvents);
            if (wd >= 0) names[wd].insert(point.name);
        }
        for (const auto& [wd, unused] : names_) {
            if (!names.contains(wd)) ::inotify_rm_watch(inotifyFd_, wd);
        }
        names_ = std::move(names);
        return !names_.empty();
    }

    bool Matters(const inotify_event& event) const {
        if (event.mask & IN_Q_OVERFLOW) return true;
        const auto found = names_.find(event.wd);
        if (found == names_.end()) return false;  // a folder given up by the last Rewatch
        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) return true;
        return event.len > 0 && found->second.contains(event.name);
    }

    void Run() {
        for (;;) {
            pollfd fds[2] = {{stopFd_, POLLIN, 0}, {inotifyFd_, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents != 0) return;
            if ((fds[1].revents & POLLIN) == 0) return;
            alignas(inotify_event) char buffer[4096];
            const ssize_t got = ::read(inotifyFd_, buffer, sizeof buffer);
            if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (got <= 0) return;
            bool matters = false;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                matters = matters || Matters(*event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            if (!matters) continue;
            Rewatch();
            changed_();
        }
    }

    const int inotifyFd_;
    const int stopFd_;
    const std::string entry_;
    const std::function<void()> changed_;
    std::map<int, std::set<std::string>> names_;  // per watched folder, the names on the way; watch thread
    std::thread thread_;
};

class InotifyDeviceWatchApi final : public IDeviceWatchApi {
public:
    uint32_t Watch(const std::string& name, std::function<void()> changed,
                   std::unique_ptr<IDeviceWatch>& watch) override {
        std::string entry;
        if (const uint32_t result = ResolvePortName(name, entry)) return result;
        return InotifyDeviceWatch::Start(entry, std::move(changed), watch);
    }
};

}  // namespace

std::vector<WatchPoint> WayToDevice(const std::string& entry) {
    std::vector<WatchPoint> way;
    std::error_code ec;
    fs::path path = fs::absolute(entry, ec).lexically_normal();
    if (ec) return way;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        way.push_back(NearestExisting(path.parent_path(), path.filename().string()));
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
    }
    return way;
}

IDeviceWatchApi& RealDeviceWatchApi() {
    static InotifyDeviceWatchApi api;
    return api;
}

}  // namespace tarvik::comm
