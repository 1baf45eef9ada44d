#pragma once
// What the device commands of lmk share: the programmers to work with (the ones found, or the
// ports named with --port), the slots and their workers, and a main loop that runs the workers'
// reports and the device events until the command is done or Ctrl-C is pressed.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/device_source.h"
#include "devices/report_queue.h"
#include "devices/usb_cpr_table.h"
#include "devices/work_shared.h"

// Exactly the ports given: each is a programmer whose friendly name names it. No arrivals.
class FixedPortSource : public DeviceSource {
public:
    explicit FixedPortSource(std::vector<std::string> ports) : ports_(std::move(ports)) {}
    std::vector<FoundDevice> enumerate() override;
    bool startMonitor(std::string& /*error*/) override { return true; }
    int eventFd() const override { return -1; }
    std::vector<DeviceEvent> takeEvents() override { return {}; }

private:
    std::vector<std::string> ports_;
};

// Ctrl-C (and SIGTERM) set this instead of ending the process, so that workers stop cleanly.
void CatchInterrupt();
bool Interrupted();

class DeviceRun {
public:
    using ReportHandler = std::function<void(int message, int slot, int32_t value)>;

    // `ports` empty: the programmers of MakeProgrammerSource(), followed as they come and go.
    explicit DeviceRun(const std::vector<std::string>& ports);
    ~DeviceRun();
    DeviceRun(const DeviceRun&) = delete;
    DeviceRun& operator=(const DeviceRun&) = delete;

    // Set before start().
    void onReport(ReportHandler h) { onReport_ = std::move(h); }
    void onOutcome(ReportQueue::OutcomeHandler h) { onOutcome_ = std::move(h); }
    void onRead(ReportQueue::ReadHandler h) { queue_.setReadHandler(std::move(h)); }

    // Finds the programmers and opens each in a slot (which starts its worker).
    void start();
    // Runs reports and device events until `done` holds, Ctrl-C, or `timeout` (0 = none).
    // True when `done` held.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = {});
    // Stops every worker and waits for their ends.
    bool stop();

    WorkShared shared;
    UsbCprTable& table() { return *table_; }
    // True when the programmers come from the simulator folder of KORVIS_SIM.
    bool simulated() const { return simulated_; }

private:
    std::unique_ptr<DeviceSource> source_;
    bool simulated_ = false;
    bool follow_ = false;
    ReportHandler onReport_;
    ReportQueue::OutcomeHandler onOutcome_;
    ReportQueue queue_;
    std::unique_ptr<UsbCprTable> table_;
};

// The text of a cartridge code as lmk shows it.
std::string CartridgeText(const TUsbCpr& cpr);
