#pragma once
// Simulated programmers of another process (`lmk sim`), found through the port links it keeps in
// a folder: every link ttyLMK<n> is a programmer, its arrival and removal are the link's
// appearance and disappearance.
#include <string>
#include <vector>

#include "devices/device_source.h"

namespace sim {

class SimFolderSource : public DeviceSource {
public:
    explicit SimFolderSource(std::string folder);
    ~SimFolderSource() override;
    SimFolderSource(const SimFolderSource&) = delete;
    SimFolderSource& operator=(const SimFolderSource&) = delete;

    std::vector<FoundDevice> enumerate() override;
    bool startMonitor(std::string& error) override;
    int eventFd() const override { return inotify_; }
    std::vector<DeviceEvent> takeEvents() override;

private:
    std::string folder_;
    int inotify_ = -1;
};

// True for the name of a programmer's port link (ttyLMK and digits).
bool IsPortLinkName(const std::string& name);

}  // namespace sim
