// Programmers among the tty devices, found and followed through udev.
#include "platform/udev_device_source.h"

#include <cerrno>
#include <cstring>
#include <libudev.h>

namespace {

constexpr const char* kProduct = "LMK USB Programmer";

// The tty's friendly name when its USB device is a programmer, else empty.
std::string FriendlyNameOf(udev_device* tty) {
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty, "usb", "usb_device");
    if (!usb) return {};
    const char* product = udev_device_get_sysattr_value(usb, "product");
    const char* node = udev_device_get_devnode(tty);
    if (!product || !node || std::strcmp(product, kProduct) != 0) return {};
    return std::string(kProduct) + " (" + node + ")";
}

}  // namespace

UdevDeviceSource::UdevDeviceSource() : udev_(udev_new()) {}

UdevDeviceSource::~UdevDeviceSource() {
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

std::vector<FoundDevice> UdevDeviceSource::enumerate() {
    std::vector<FoundDevice> found;
    if (!udev_) return found;
    udev_enumerate* e = udev_enumerate_new(udev_);
    if (!e) return found;
    udev_enumerate_add_match_subsystem(e, "tty");
    udev_enumerate_scan_devices(e);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
        const char* syspath = udev_list_entry_get_name(entry);
        udev_device* tty = udev_device_new_from_syspath(udev_, syspath);
        if (!tty) continue;
        std::string name = FriendlyNameOf(tty);
        if (!name.empty()) found.push_back({name, syspath});
        udev_device_unref(tty);
    }
    udev_enumerate_unref(e);
    return found;
}

bool UdevDeviceSource::startMonitor(std::string& error) {
    if (monitor_) return true;
    if (!udev_) {
        error = "udev is not available";
        return false;
    }
    // "udev" events come after the rules have run, so the device node exists and has its
    // permissions when the arrival is handled.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        error = std::string("cannot follow device arrivals: ") + std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): glibc strerror of a known errno
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return false;
    }
    return true;
}

int UdevDeviceSource::eventFd() const { return monitor_ ? udev_monitor_get_fd(monitor_) : -1; }

std::vector<DeviceEvent> UdevDeviceSource::takeEvents() {
    std::vector<DeviceEvent> events;
    if (!monitor_) return events;
    while (udev_device* d = udev_monitor_receive_device(monitor_)) {
        DeviceEvent e;
        const char* action = udev_device_get_action(d);
        const char* syspath = udev_device_get_syspath(d);
        if (action && std::strcmp(action, "add") == 0)
            e.kind = DeviceEventKind::Arrival;
        else if (action && std::strcmp(action, "remove") == 0)
            e.kind = DeviceEventKind::Removal;
        if (syspath) e.path = syspath;
        events.push_back(std::move(e));
        udev_device_unref(d);
    }
    return events;
}
