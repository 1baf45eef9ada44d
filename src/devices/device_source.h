#pragma once
// Where programmers come from: the USB devices of this machine, or the simulator. The rest of the
// program cannot tell the two apart.
#include <string>
#include <vector>

struct FoundDevice {
    // "LMK USB Programmer (<port>)"; the port is what a SerialPort opens.
    std::string friendlyName;
    // The device's identity, compared without regard to letter case.
    std::string path;
};

enum class DeviceEventKind { Arrival, Removal, Other };

struct DeviceEvent {
    DeviceEventKind kind = DeviceEventKind::Other;
    std::string path;
};

class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // Devices present now, in a stable order. A source may list devices that are not
    // programmers; their friendly names tell.
    virtual std::vector<FoundDevice> enumerate() = 0;
    // Starts following arrivals and removals; false (with `error` filled) when that is impossible.
    virtual bool startMonitor(std::string& error) = 0;
    // A descriptor that becomes readable when events are waiting (for a QSocketNotifier or
    // poll()); -1 when the source has none.
    virtual int eventFd() const = 0;
    // The events waiting now, oldest first; never blocks.
    virtual std::vector<DeviceEvent> takeEvents() = 0;
};
