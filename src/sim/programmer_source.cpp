// The choice between real and simulated programmers.
#include "sim/programmer_source.h"

#include <cstdlib>

#include "platform/udev_device_source.h"
#include "sim/sim_folder_source.h"

std::string SimFolderFromEnvironment() {
    const char* folder = std::getenv(kSimFolderVariable);  // NOLINT(concurrency-mt-unsafe): read before threads start
    return folder ? std::string(folder) : std::string();
}

std::unique_ptr<DeviceSource> MakeProgrammerSource() {
    const std::string folder = SimFolderFromEnvironment();
    if (!folder.empty()) return std::make_unique<sim::SimFolderSource>(folder);
    return std::make_unique<UdevDeviceSource>();
}
