// lmk write: the image of a group (built here) or of an image file into every suitable cartridge
// put into any programmer, until enough are written or Ctrl-C; one progress line per programmer.
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

#include "app/lmk_commands.h"
#include "app/lmk_device_run.h"
#include "devices/firmware.h"
#include "image/cartridge_image.h"
#include "image/group_build_image.h"
#include "settings/settings.h"

namespace {

const char kUsage[] =
    "Usage: lmk write GROUP.mrg | --image IMAGE.bin --page-map MAP.bin [--port PATH]... [--count N]\n"
    "                 [--verify] [--log FILE.csv]\n";

bool ReadFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && out.size() <= limit;
}

// The group built with the options the window starts with.
bool BuildGroup(const std::string& group, CartridgeImage& image) {
    LoadSettings();
    TGroupBuildImage builder(image);
    builder.Options.substituteTatar = InfoConfig.ChangeTat != 0;
    builder.Options.boardsBeforeV27 = true;
    builder.Options.isLang2 = InfoConfig.IsLang2 != 0;
    builder.Options.isLang3 = InfoConfig.IsLang3 != 0;
    const int v = InfoConfig.Lang2ToV23;
    const bool listed = v == 0 || ((v == 1 || v == 3) && builder.Options.isLang2) ||
                        ((v == 2 || v == 4) && builder.Options.isLang3);
    builder.Options.lang2ToV23 = listed ? v : 0;
    return builder.Build(group) && image.ImageLength() > 0;
}

const char* ResultText(WriteOutcome::Result r) {
    switch (r) {
        case WriteOutcome::Result::Written: return "written";
        case WriteOutcome::Result::Failed: return "failed";
        case WriteOutcome::Result::VerifyFailed: return "verify-failed";
        case WriteOutcome::Result::Stopped: return "stopped";
    }
    return "failed";
}

struct SlotLine {
    std::string port;
    std::string state;
    int32_t done = 0;
    int32_t max = 0;
    int written = 0;
};

}  // namespace

int LmkWrite(const LmkArgs& args) {
    std::string group, imageFile, mapFile, logFile;
    std::vector<std::string> ports;
    long count = 0;
    bool verify = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--image" && hasValue) {
            imageFile = args[++i];
        } else if (a == "--page-map" && hasValue) {
            mapFile = args[++i];
        } else if (a == "--port" && hasValue) {
            ports.push_back(args[++i]);
        } else if (a == "--count" && hasValue) {
            char* end = nullptr;
            count = std::strtol(args[++i].c_str(), &end, 10);
            if (count < 1 || *end) {
                std::fprintf(stderr, "lmk write: --count takes a positive number\n%s", kUsage);
                return 2;
            }
        } else if (a == "--verify") {
            verify = true;
        } else if (a == "--log" && hasValue) {
            logFile = args[++i];
        } else if (group.empty() && !a.empty() && a[0] != '-') {
            group = a;
        } else {
            std::fprintf(stderr, "lmk write: unexpected argument '%s'\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (group.empty() == (imageFile.empty() && mapFile.empty()) || imageFile.empty() != mapFile.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }

    auto image = std::make_unique<CartridgeImage>();
    if (!group.empty()) {
        if (!BuildGroup(group, *image)) return 1;
    } else {
        std::vector<uint8_t> bytes, map;
        if (!ReadFile(imageFile, bytes, image->ImageBuffer.size()) || bytes.empty()) {
            std::fprintf(stderr, "lmk write: %s is not a cartridge image (at most 16 MB)\n", imageFile.c_str());
            return 1;
        }
        if (!ReadFile(mapFile, map, image->PageMap.size()) || map.size() != image->PageMap.size()) {
            std::fprintf(stderr, "lmk write: %s is not a page map (%zu bytes)\n", mapFile.c_str(),
                         image->PageMap.size());
            return 1;
        }
        std::copy(bytes.begin(), bytes.end(), image->ImageBuffer.begin());
        std::copy(map.begin(), map.end(), image->PageMap.begin());
        image->ImageEnd = static_cast<uint32_t>(bytes.size());
    }

    std::FILE* log = nullptr;
    if (!logFile.empty()) {
        log = std::fopen(logFile.c_str(), "a");
        if (!log) {
            std::fprintf(stderr, "lmk write: cannot append to %s\n", logFile.c_str());
            return 1;
        }
        if (std::ftell(log) == 0) std::fprintf(log, "time,port,serial,cartridge_bytes,pages_written,result,seconds\n");
    }

    CatchInterrupt();
    DeviceRun run(ports);
    PreparedFirmware firmware;
    FindFirmware(firmware, DefaultFirmwareFolders());
    run.shared.Firmware = &firmware;
    run.shared.ImageBuffer = image->ImageBuffer.data();
    run.shared.PageMap = image->PageMap.data();
    run.shared.ImageLength = static_cast<int32_t>(image->ImageLength());
    run.shared.GroupBuilt = true;
    run.shared.VerifyWrite = verify;

    const bool live = isatty(STDOUT_FILENO) != 0;
    std::array<SlotLine, UsbCprTable::kSlots> lines{};
    long written = 0, failed = 0;
    run.onReport([&](int message, int slot, int32_t value) {
        if (slot < 0 || slot >= UsbCprTable::kSlots) return;
        SlotLine& l = lines[static_cast<size_t>(slot)];
        const TUsbCpr* cpr = run.table().slot(slot);
        if (cpr) l.port = cpr->PortName;
        switch (message) {
            case kReportView:
                if (!cpr) break;
                l.state = cpr->Status == -1   ? "группа больше объема ЛМК"
                          : cpr->Status == -2 ? "переподключите ЛМК"
                                              : CartridgeText(*cpr);
                break;
            case kReportInitBar:
                l.state = "запись";
                l.done = 0;
                l.max = value ? value : run.shared.ImageLength.load();
                break;
            case kReportSetBar: l.done = value; break;
            case kReportInitBoot:
                l.state = "обновление программы";
                l.done = 0;
                l.max = value;
                break;
            case kReportSetBoot: l.done = value; break;
            case kReportEnd: l.state = "отключен"; break;
            default: break;
        }
    });
    run.onOutcome([&](int slot, const WriteOutcome& o) {
        const TUsbCpr* cpr = run.table().slot(slot);
        const std::string port = cpr ? cpr->PortName : std::string("?");
        if (o.result == WriteOutcome::Result::Written) {
            ++written;
            ++lines[static_cast<size_t>(slot)].written;
        } else if (o.result != WriteOutcome::Result::Stopped) {
            ++failed;
        }
        if (!live || o.result != WriteOutcome::Result::Written)
            std::printf("%s: ЛМК %d (%d байт): %s, %d страниц, %.1f с\n", port.c_str(), o.serial, o.flashBytes,
                        ResultText(o.result), o.pagesWritten, o.seconds);
        if (log) {
            const std::time_t now = std::time(nullptr);
            std::tm tm{};
            localtime_r(&now, &tm);
            char stamp[32];
            std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
            std::fprintf(log, "%s,%s,%d,%d,%d,%s,%.2f\n", stamp, port.c_str(), o.serial, o.flashBytes, o.pagesWritten,
                         ResultText(o.result), o.seconds);
            std::fflush(log);
        }
    });

    run.start();
    std::printf("Запись %u байт%s в ЛМК%s; Ctrl-C - остановка\n", image->ImageLength(), verify ? " с проверкой" : "",
                count ? (", до " + std::to_string(count) + " шт.").c_str() : "");
    run.shared.WriteOn = true;
    const auto started = std::chrono::steady_clock::now();
    int shown = 0;
    auto lastDraw = std::chrono::steady_clock::now();
    auto draw = [&] {
        if (!live) return;
        if (shown) std::printf("\033[%dA", shown);
        shown = 0;
        for (int s = 0; s < UsbCprTable::kSlots; ++s) {
            const SlotLine& l = lines[static_cast<size_t>(s)];
            if (!run.table().slot(s) && l.port.empty()) continue;
            const int percent = l.max > 0 ? static_cast<int>(int64_t{l.done} * 100 / l.max) : 0;
            std::printf("\033[2K%-28s %-34s %3d%%  записано %d\n", l.port.c_str(), l.state.c_str(),
                        l.state == "запись" || l.state == "обновление программы" ? percent : 0, l.written);
            ++shown;
        }
        std::fflush(stdout);
    };
    run.runUntil([&] {
        if (std::chrono::steady_clock::now() - lastDraw > std::chrono::milliseconds(200)) {
            draw();
            lastDraw = std::chrono::steady_clock::now();
        }
        return count > 0 && written >= count;
    });
    draw();
    const bool stoppedClean = run.stop();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (log) std::fclose(log);
    std::printf("Итого: записано %ld, с ошибкой %ld, %.0f с%s\n", written, failed, seconds,
                stoppedClean ? "" : "; не все программаторы остановились");
    const bool ok = (count == 0 || written >= count) && failed == 0 && stoppedClean;
    return ok ? 0 : 1;
}
