#pragma once
// A bench of simulated programmers, and the device source that shows them to the program: the
// window or lmk finds them, and sees them arrive and leave, exactly as it does real ones.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/device_source.h"
#include "sim/sim_programmer.h"

namespace sim {

class Simulator : public DeviceSource {
public:
    Simulator();
    // The port links live in `folder` (made when missing, kept afterwards), where another
    // process finds them through SimFolderSource.
    explicit Simulator(std::string folder);
    ~Simulator() override;

    // Makes a programmer and plugs it in; nullptr when no pseudo-terminal could be made.
    SimProgrammer* add(const SimProgrammerConfig& config = {});
    // Makes a programmer that stays unplugged until plug().
    SimProgrammer* addUnplugged(const SimProgrammerConfig& config = {});
    // In the order they were made; `index` counts from 0.
    SimProgrammer* programmer(size_t index) const;
    // The programmer now behind `port` (a pseudo-terminal path), or nullptr.
    SimProgrammer* byPort(const std::string& port) const;
    size_t size() const;

    std::chrono::steady_clock::time_point epoch() const { return epoch_; }
    // Where the programmers' port links live while the simulator does.
    const std::string& folder() const { return folder_; }

    // DeviceSource.
    std::vector<FoundDevice> enumerate() override;
    bool startMonitor(std::string& error) override;
    int eventFd() const override { return eventFd_; }
    std::vector<DeviceEvent> takeEvents() override;

private:
    void onEvent(const SimEvent& event);

    const std::chrono::steady_clock::time_point epoch_;
    mutable std::mutex mu_;
    std::vector<std::unique_ptr<SimProgrammer>> programmers_;
    bool monitoring_ = false;
    std::vector<DeviceEvent> events_;
    int eventFd_ = -1;
    std::string folder_;
    bool ownFolder_ = true;
};

}  // namespace sim
