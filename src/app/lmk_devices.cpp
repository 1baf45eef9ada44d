// lmk devices: every programmer found, with its kind, firmware, cartridge and serial number. The
// programmers are only asked, never changed: one that needs new firmware is listed as such, not
// sent into its boot loader.
#include <cstdio>

#include "app/lmk_commands.h"
#include "app/lmk_device_run.h"
#include "devices/firmware.h"
#include "devices/usb_cpr.h"
#include "platform/posix_serial_port.h"
#include "sim/programmer_source.h"

int LmkDevices(const LmkArgs& args) {
    std::vector<std::string> ports;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size()) {
            ports.push_back(args[++i]);
        } else {
            std::fprintf(stderr, "lmk devices: unexpected argument '%s'\nUsage: lmk devices [--port PATH]...\n",
                         args[i].c_str());
            return 2;
        }
    }
    std::unique_ptr<DeviceSource> source;
    if (ports.empty())
        source = MakeProgrammerSource();
    else
        source = std::make_unique<FixedPortSource>(ports);

    std::vector<std::pair<std::string, std::string>> found;
    for (const FoundDevice& d : source->enumerate()) {
        const std::string port = PortOfFriendlyName(d.friendlyName);
        if (!port.empty()) found.emplace_back(port, d.path);
    }
    if (found.empty()) {
        if (!SimFolderFromEnvironment().empty())
            std::printf("Программаторы не найдены в %s (запущен ли lmk sim?)\n", SimFolderFromEnvironment().c_str());
        else
            std::printf("Программаторы не найдены. Подключите программатор; если он подключен, проверьте правило "
                        "udev %s\n", kProgrammerUdevRule);
        return 0;
    }

    WorkShared shared;
    PreparedFirmware firmware;
    FindFirmware(firmware, DefaultFirmwareFolders());
    shared.Firmware = &firmware;
    int failures = 0;
    int index = 0;
    for (const auto& [port, path] : found) {
        TUsbCpr cpr(index++, shared, nullptr, PosixSerialPortFactory());
        cpr.PortName = port;
        cpr.DevicePath = path;
        cpr.ProbeOnly = true;
        if (!cpr.Open()) {
            // The reason (message 1041 and what to do) is already on stderr when the port did
            // not open; otherwise the device did not identify itself.
            if (cpr.Kind == 0) std::printf("%s: не отвечает как программатор\n", port.c_str());
            ++failures;
            continue;
        }
        const FirmwareRecord& r = cpr.FwRecord;
        std::printf("%s: вид %d", port.c_str(), static_cast<int>(cpr.Kind.load()));
        if (cpr.Kind == kKindBoot) {
            std::printf(", загрузчик (ждет обновления программы)\n");
            continue;
        }
        if (cpr.Kind == kKindApplication) {
            if (RecordCodeSize(r) == 0xFFFF)
                std::printf(", программы нет");
            else
                std::printf(", программа v%u.%u (версия %u)", r[14], r[15], RecordVersion(r));
            if (cpr.NeedsFirmware) std::printf(", будет обновлена до v%u.%u", firmware.major(), firmware.minor());
        }
        std::printf(", %s", CartridgeText(cpr).c_str());
        if (cpr.PageSize != 0) std::printf(", серийный номер %d", cpr.Serial.load());
        std::printf("\n");
    }
    return failures ? 1 : 0;
}
