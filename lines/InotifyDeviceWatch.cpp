#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include <QSocketNotifier>

#include "lines/DeviceWatch.h"
#include "lines/PortsFolder.h"

namespace tarvik::comm {
namespace {

namespace fs = std::filesystem;

// Links followed from the entry; a longer chain is almost certainly a loop.
constexpr int MaxLinks = 16;

// A device node appears (CREATE), a link is put in place by rename (MOVED_TO), udev hands the node
// to the right group after creating it (ATTRIB); what goes away changes the way (DELETE,
// MOVED_FROM, and the folder itself going).
constexpr uint32_t FolderEvents =
    IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

WatchPoint nearestExisting(fs::path folder, std::string name) {
    std::error_code ec;
    while (!fs::is_directory(folder, ec) && folder.has_relative_path()) {
        name = folder.filename().string();
        folder = folder.parent_path();
    }
    return {folder.string(), name};
}

class InotifyDeviceWatch final : public DeviceWatch {
public:
    InotifyDeviceWatch(int fd, std::string entry, std::function<void()> changed)
        : m_fd(fd),
          m_entry(std::move(entry)),
          m_changed(std::move(changed)),
          m_notifier(fd, QSocketNotifier::Read) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] { onActivated(); });
    }
    ~InotifyDeviceWatch() override {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }

    // Follows the way again (a link may now lead elsewhere, a folder may have come or gone) and
    // watches exactly its folders. False when no folder could be watched.
    bool rewatch() {
        std::map<int, std::set<std::string>> names;
        for (const WatchPoint& point : wayToDevice(m_entry)) {
            const int wd = ::inotify_add_watch(m_fd, point.folder.c_str(), FolderEvents);
            if (wd >= 0) names[wd].insert(point.name);
        }
        for (const auto& [wd, unused] : m_names) {
            if (!names.contains(wd)) ::inotify_rm_watch(m_fd, wd);
        }
        m_names = std::move(names);
        return !m_names.empty();
    }

private:
    bool matters(const inotify_event& event) const {
        if (event.mask & IN_Q_OVERFLOW) return true;
        const auto found = m_names.find(event.wd);
        if (found == m_names.end()) return false;  // a folder given up by the last rewatch
        if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) return true;
        return event.len > 0 && found->second.contains(event.name);
    }

    void onActivated() {
        bool changed = false;
        for (;;) {
            alignas(inotify_event) char buffer[4096];
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                changed = changed || matters(*event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (!changed) return;
        rewatch();
        // Last: the report may end this watch.
        m_changed();
    }

    const int m_fd;
    const std::string m_entry;
    const std::function<void()> m_changed;
    QSocketNotifier m_notifier;
    std::map<int, std::set<std::string>> m_names;  // per watched folder, the names on the way
};

class InotifyDeviceWatcher final : public DeviceWatcher {
public:
    std::unique_ptr<DeviceWatch> watch(const std::string& name, std::function<void()> changed) override {
        std::string entry;
        if (resolvePortName(name, entry) != 0) return nullptr;
        const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd < 0) return nullptr;
        auto made = std::make_unique<InotifyDeviceWatch>(fd, entry, std::move(changed));
        if (!made->rewatch()) return nullptr;
        return made;
    }
};

}  // namespace

std::vector<WatchPoint> wayToDevice(const std::string& entry) {
    std::vector<WatchPoint> way;
    std::error_code ec;
    fs::path path = fs::absolute(entry, ec).lexically_normal();
    if (ec) return way;
    for (int hop = 0; hop < MaxLinks; ++hop) {
        way.push_back(nearestExisting(path.parent_path(), path.filename().string()));
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path target = fs::read_symlink(path, ec);
        if (ec) break;
        path = (target.is_absolute() ? target : path.parent_path() / target).lexically_normal();
    }
    return way;
}

DeviceWatcher& inotifyDeviceWatcher() {
    static InotifyDeviceWatcher watcher;
    return watcher;
}

}  // namespace tarvik::comm
