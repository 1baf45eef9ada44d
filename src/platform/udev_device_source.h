#pragma once
// Programmers among this machine's tty devices: those whose USB device calls itself
// "LMK USB Programmer". The device path is the tty's sysfs path.
#include <memory>

#include "devices/device_source.h"

struct udev;
struct udev_monitor;

class UdevDeviceSource : public DeviceSource {
public:
    UdevDeviceSource();
    ~UdevDeviceSource() override;

    std::vector<FoundDevice> enumerate() override;
    bool startMonitor(std::string& error) override;
    int eventFd() const override;
    std::vector<DeviceEvent> takeEvents() override;

private:
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
};
