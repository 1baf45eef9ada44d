// Programmers of a simulator running in another process, seen through its folder of port links.
#include "sim/sim_folder_source.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace sim {

bool IsPortLinkName(const std::string& name) {
    constexpr std::string_view kPrefix = "ttyLMK";
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    return std::all_of(name.begin() + kPrefix.size(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

SimFolderSource::SimFolderSource(std::string folder) : folder_(std::move(folder)) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
}

SimFolderSource::~SimFolderSource() {
    if (inotify_ >= 0) close(inotify_);
}

std::vector<FoundDevice> SimFolderSource::enumerate() {
    std::vector<FoundDevice> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (!IsPortLinkName(name)) continue;
        const std::string port = folder_ + "/" + name;
        found.push_back({"LMK USB Programmer (" + port + ")", port});
    }
    // A stable order: by the programmer's number.
    std::sort(found.begin(), found.end(), [](const FoundDevice& a, const FoundDevice& b) {
        return a.path.size() != b.path.size() ? a.path.size() < b.path.size() : a.path < b.path;
    });
    return found;
}

bool SimFolderSource::startMonitor(std::string& error) {
    if (inotify_ >= 0) return true;
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0 ||
        inotify_add_watch(inotify_, folder_.c_str(), IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM) < 0) {
        error = "cannot follow the simulated programmers in " + folder_ + ": " + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): glibc strerror of a known errno
        if (inotify_ >= 0) close(inotify_);
        inotify_ = -1;
        return false;
    }
    return true;
}

std::vector<DeviceEvent> SimFolderSource::takeEvents() {
    std::vector<DeviceEvent> events;
    if (inotify_ < 0) return events;
    alignas(inotify_event) std::array<char, 4096> buf{};
    for (;;) {
        const ssize_t n = read(inotify_, buf.data(), buf.size());
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            inotify_event ev{};
            std::memcpy(&ev, buf.data() + at, sizeof ev);
            const std::string name = ev.len ? std::string(buf.data() + at + sizeof ev) : std::string();
            at += static_cast<ssize_t>(sizeof ev + ev.len);
            if (!IsPortLinkName(name)) continue;
            DeviceEvent e;
            e.kind = (ev.mask & (IN_CREATE | IN_MOVED_TO)) ? DeviceEventKind::Arrival : DeviceEventKind::Removal;
            e.path = folder_ + "/" + name;
            events.push_back(std::move(e));
        }
    }
    return events;
}

}  // namespace sim
