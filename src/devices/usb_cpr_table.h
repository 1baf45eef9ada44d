#pragma once
// The 16 programmer slots and the discovery that fills them. Everything here runs on the main
// thread; workers reach it only through their reports.
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "devices/device_source.h"
#include "devices/report_sink.h"
#include "devices/serial_port.h"
#include "devices/usb_cpr.h"
#include "devices/work_shared.h"

// What a window does with the slot's panel. Every call is on the main thread.
class SlotObserver {
public:
    virtual ~SlotObserver() = default;
    // The slot got its object; the panel is shown with the port name.
    virtual void slotAttached(int /*slot*/, TUsbCpr& /*cpr*/) {}
    // The programmer opened: "Устройство открыто" and its size text.
    virtual void slotOpened(int /*slot*/, TUsbCpr& /*cpr*/) {}
    // The slot is empty again; the panel is hidden.
    virtual void slotRemoved(int /*slot*/) {}
    // A device arrived and was handled (the window updates its actions).
    virtual void devicesChanged() {}
};

constexpr const char* kProgrammerName = "LMK USB Programmer";

// The port inside a friendly name "LMK USB Programmer (<port>)", or empty when the name is not a
// programmer's.
std::string PortOfFriendlyName(const std::string& friendlyName);

class UsbCprTable {
public:
    static constexpr int kSlots = 16;
    static constexpr int kFoundMax = 16;
    static constexpr size_t kPathMax = 255;

    // The sink receives the workers' reports; its end-report handler must call RemoveDevice.
    UsbCprTable(WorkShared& shared, ReportSink& sink, DeviceSource& source, SerialPortFactory openPort);
    // The owner should let every worker end first (ShutDown); a worker still running then is
    // left to finish on its own rather than freed under it.
    ~UsbCprTable();
    UsbCprTable(const UsbCprTable&) = delete;
    UsbCprTable& operator=(const UsbCprTable&) = delete;

    void setObserver(SlotObserver* observer) { observer_ = observer; }
    // Runs the main thread's pending reports (OnMyDeviceChange starts with it).
    void setMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }

    TUsbCpr* slot(int index) const;
    int UsbCprCount() const { return usbCprCount_; }
    int occupiedSlots() const;

    // Full enumeration into the found-device list.
    void EnumProgrammers();
    // The present programmer whose path is `wantedPath`: 0 with the outputs filled, or -1.
    int EnumProgrammers(const std::string& wantedPath, std::string& portOut, std::string& pathOut);
    const std::vector<std::pair<std::string, std::string>>& foundDevices() const { return found_; }

    int FindSlot(const std::string& path) const;
    int AddDevice(const std::string& port, const std::string& path);
    void RemoveDevice(int slot);
    void AddFoundDevices();

    // Starts the source's monitor; false with the system's text in `error`.
    bool RegisterDevNotify(std::string& error);
    // Handles every event the source has waiting.
    void OnMyDeviceChange();
    void OnDeviceEvent(const DeviceEvent& event);

    // Sets the stop request of every occupied slot.
    void RequestStopAll();
    // Requests every stop and runs `pump` (which must deliver the workers' reports) until every
    // slot is empty or `timeout` passed; true when all are empty.
    bool ShutDown(const std::function<void()>& pump, std::chrono::milliseconds timeout);
    bool AnyCartridgeInProgress() const;
    // Joins the threads of workers that have ended.
    void JoinEnded();

    // The lowest occupied slot with a usable cartridge gets the serial number; false when none.
    bool SetSerial(int32_t number);

private:
    void freeSlot(int s);
    // The present programmer at `wantedPath` gets a slot (see arrivedMeanwhile_).
    void arrive(const std::string& wantedPath, bool joinEnded);
    int addDevice(const std::string& port, const std::string& path);

    WorkShared& shared_;
    ReportSink& sink_;
    DeviceSource& source_;
    SerialPortFactory openPort_;
    SlotObserver* observer_ = nullptr;
    std::function<void()> pump_;

    std::array<std::unique_ptr<TUsbCpr>, kSlots> slots_{};
    std::array<bool, kSlots> counted_{};
    int usbCprCount_ = 0;
    std::vector<std::pair<std::string, std::string>> found_;
    int opening_ = -1;          // the slot whose Open runs now
    bool removeAfterOpen_ = false;
    // A device that arrived again while its slot was still ending (unplugged and plugged back at
    // once, or restarted): it gets a slot when the old one is freed.
    std::array<std::string, kSlots> arrivedMeanwhile_{};
    bool stoppingAll_ = false;
    std::vector<std::thread> ended_;  // threads of freed slots, still returning
};
