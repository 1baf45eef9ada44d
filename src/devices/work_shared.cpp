// The list of freshly flashed ports.
#include "devices/work_shared.h"

bool UpdatedPorts::add(const std::string& port) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& e : entries_) {
        if (e.empty()) {
            e = port;
            return true;
        }
    }
    return false;
}

bool UpdatedPorts::take(const std::string& port) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& e : entries_) {
        if (!e.empty() && e == port) {
            e.clear();
            return true;
        }
    }
    return false;
}

bool UpdatedPorts::contains(const std::string& port) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& e : entries_)
        if (!e.empty() && e == port) return true;
    return false;
}

void UpdatedPorts::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::string& e : entries_) e.clear();
}
