// lmk set-serial: a serial number into the cartridge of one programmer, read back to confirm.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/lmk_commands.h"
#include "app/lmk_device_run.h"
#include "devices/workers.h"

int LmkSetSerial(const LmkArgs& args) {
    std::string port, number;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size())
            port = args[++i];
        else if (number.empty())
            number = args[i];
        else
            port.clear();
    }
    char* end = nullptr;
    const long long n = number.empty() ? -1 : std::strtoll(number.c_str(), &end, 10);
    if (port.empty() || n < 0 || n > 0x7FFFFFFF || (end && *end)) {
        std::fprintf(stderr, "Usage: lmk set-serial --port PATH N   (N from 0 to 2147483647)\n");
        return 2;
    }

    CatchInterrupt();
    DeviceRun run({port});
    int views = 0;
    run.onReport([&](int message, int, int32_t) {
        if (message == kReportView) ++views;
    });
    run.start();
    TUsbCpr* cpr = run.table().slot(0);
    if (!cpr) {
        std::fprintf(stderr, "lmk set-serial: %s is not a programmer that could be opened\n", port.c_str());
        return 1;
    }
    // The worker's first look at the cartridge.
    if (!run.runUntil([&] { return views > 0 || !run.table().slot(0); }, std::chrono::seconds(10)) ||
        !run.table().slot(0)) {
        std::fprintf(stderr, "lmk set-serial: no answer from %s\n", port.c_str());
        return 1;
    }
    if (cpr->PageSize == 0) {
        std::fprintf(stderr, "lmk set-serial: %s: %s\n", port.c_str(), CartridgeText(*cpr).c_str());
        return 1;
    }
    const int before = views;
    SetCartridgeSerial(*cpr, static_cast<int32_t>(n));
    // The worker reads page 0 again and reports.
    const bool seen = run.runUntil([&] { return views > before || !run.table().slot(0); }, std::chrono::seconds(30));
    cpr = run.table().slot(0);
    const int32_t readBack = cpr ? cpr->Serial.load() : -1;
    run.stop();
    if (!seen || readBack != n) {
        std::fprintf(stderr, "lmk set-serial: the cartridge in %s reads %d, not %lld\n", port.c_str(), readBack, n);
        return 1;
    }
    std::printf("%s: серийный номер %lld\n", port.c_str(), n);
    return 0;
}
