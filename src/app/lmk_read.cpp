// lmk read: the whole cartridge of one programmer into a file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/lmk_commands.h"
#include "app/lmk_device_run.h"
#include "voice/atomic_file.h"

int LmkRead(const LmkArgs& args) {
    std::string port, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--port" && i + 1 < args.size())
            port = args[++i];
        else if (args[i] == "-o" && i + 1 < args.size())
            out = args[++i];
        else
            port.clear(), out.clear(), i = args.size();
    }
    if (port.empty() || out.empty()) {
        std::fprintf(stderr, "Usage: lmk read --port PATH -o FILE\n");
        return 2;
    }

    CatchInterrupt();
    std::vector<uint8_t> buffer(kImageBufferSize, 0);
    DeviceRun run({port});
    run.shared.ReadBuffer = buffer.data();  // no image: the worker keeps no files of its own
    bool finished = false, ok = false, saved = false;
    int32_t length = 0;
    run.onRead([&](int, bool readOk, int32_t bytes) {
        finished = true;
        ok = readOk;
        length = bytes;
        if (!ok) return;
        // The worker waits while this runs, so the buffer holds still.
        AtomicFile f;
        saved = f.Create(out) && std::fwrite(buffer.data(), 1, static_cast<size_t>(bytes), f.file()) ==
                                     static_cast<size_t>(bytes) && f.Commit();
    });
    bool waiting = false;
    run.onReport([&](int message, int slot, int32_t) {
        const TUsbCpr* cpr = run.table().slot(slot);
        if (message == kReportView && cpr && !waiting && (cpr->PageSize == 0 || cpr->Code == kCodeDone)) {
            // A cartridge just written is read only once it has been taken out and put back.
            std::printf("%s: %s, ждем ЛМК%s\n", port.c_str(), CartridgeText(*cpr).c_str(),
                        cpr->Code == kCodeDone ? " (выньте и вставьте его снова)" : "");
            waiting = true;
        }
        if (message == kReportInitBar) std::printf("%s: чтение %d байт\n", port.c_str(), cpr ? cpr->FlashBytes.load() : 0);
    });
    run.start();
    if (!run.table().slot(0)) {
        std::fprintf(stderr, "lmk read: %s is not a programmer that could be opened\n", port.c_str());
        return 1;
    }
    run.shared.ReadOn = true;
    run.runUntil([&] { return finished || !run.table().slot(0); });
    run.stop();
    if (!finished) {
        std::fprintf(stderr, "lmk read: %s\n", Interrupted() ? "interrupted" : "the programmer went away");
        return 1;
    }
    if (!ok) {
        std::fprintf(stderr, "lmk read: a page of the cartridge could not be read; nothing was kept\n");
        return 1;
    }
    if (!saved) {
        std::fprintf(stderr, "lmk read: cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %d байт в %s\n", port.c_str(), length, out.c_str());
    return 0;
}
