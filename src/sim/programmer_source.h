#pragma once
// The programmers a program works with: the USB programmers of this machine, or, when the
// environment variable KORVIS_SIM names a folder, the simulated ones that `lmk sim` serves there.
#include <memory>
#include <string>

#include "devices/device_source.h"

constexpr const char* kSimFolderVariable = "KORVIS_SIM";

// The folder KORVIS_SIM names, or empty.
std::string SimFolderFromEnvironment();

std::unique_ptr<DeviceSource> MakeProgrammerSource();
