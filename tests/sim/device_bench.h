#pragma once
// The program's device side (slots, workers, the POSIX serial port) wired to simulated
// programmers, with a main thread that the test drives: it runs the workers' reports and the
// device events until a condition holds.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

#include "devices/firmware.h"
#include "devices/report_queue.h"
#include "devices/usb_cpr_table.h"
#include "devices/work_shared.h"
#include "platform/posix_serial_port.h"
#include "sim/simulator.h"

struct Report {
    int message;
    int slot;
    int32_t value;
};

class DeviceBench {
public:
    DeviceBench()
        : image(kImageBufferSize, 0xFF),
          pageMap(kPageMapSize, 0),
          readBuffer(kImageBufferSize, 0),
          queue([this](int m, int s, int32_t v) { onReport(m, s, v); },
                [this](int s, const WriteOutcome& o) { outcomes.emplace_back(s, o); }),
          table(shared, queue, sim, PosixSerialPortFactory()) {
        shared.ImageBuffer = image.data();
        shared.PageMap = pageMap.data();
        shared.ReadBuffer = readBuffer.data();
        shared.Firmware = &firmware;
        firmware = BuiltInPrepared();
        std::string error;
        table.RegisterDevNotify(error);
        table.setMessagePump([this] { queue.pump(); });
    }
    ~DeviceBench() {
        shared.WriteOn = false;
        shared.ReadOn = false;
        table.ShutDown([this] { queue.pump(); }, std::chrono::seconds(20));
    }

    // The programmers present now get their slots, as at the program's start.
    void start() {
        table.EnumProgrammers();
        table.AddFoundDevices();
    }

    // Marks blocks [first, last] of the image with data that differs from block to block.
    void mark(int first, int last) {
        for (int b = first; b <= last; ++b) {
            pageMap[b] = 1;
            for (int i = 0; i < 256; ++i) image[b * 256 + i] = static_cast<uint8_t>(b * 31 + i);
        }
        shared.ImageLength = std::max<int32_t>(shared.ImageLength, ((last + 1) * 256 + 511) / 512 * 512);
        shared.GroupBuilt = true;
    }

    // The main thread's loop: reports and device events, until `done` or the time runs out.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            queue.pump(std::chrono::milliseconds(2));
            pollfd p{sim.eventFd(), POLLIN, 0};
            if (poll(&p, 1, 0) > 0) table.OnMyDeviceChange();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > until) return false;
        }
    }

    int count(int message, int slot = -1) const {
        return static_cast<int>(std::count_if(reports.begin(), reports.end(), [&](const Report& r) {
            return r.message == message && (slot < 0 || r.slot == slot);
        }));
    }

    sim::Simulator sim;  // first: it outlives the slots that talk to it
    WorkShared shared;
    PreparedFirmware firmware;
    std::vector<uint8_t> image;
    std::vector<uint8_t> pageMap;
    std::vector<uint8_t> readBuffer;
    std::vector<Report> reports;
    std::vector<std::pair<int, WriteOutcome>> outcomes;
    // Status of each slot at its view reports, in order.
    std::vector<std::pair<int, int32_t>> views;
    ReportQueue queue;
    UsbCprTable table;

private:
    void onReport(int message, int slot, int32_t value) {
        reports.push_back({message, slot, value});
        if (message == kReportView) views.emplace_back(slot, value);
        if (message == kReportEnd) table.RemoveDevice(slot);
    }
};

// The commands of a simulator log, without its events.
inline std::vector<sim::LogEntry> Commands(const std::vector<sim::LogEntry>& log) {
    std::vector<sim::LogEntry> out;
    for (const auto& e : log)
        if (e.command >= 0) out.push_back(e);
    return out;
}

inline int CountCommand(const std::vector<sim::LogEntry>& log, int command) {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const sim::LogEntry& e) { return e.command == command; }));
}

// The entries from the first `command` on.
inline std::vector<sim::LogEntry> From(const std::vector<sim::LogEntry>& log, int command) {
    auto it = std::find_if(log.begin(), log.end(), [&](const sim::LogEntry& e) { return e.command == command; });
    return {it, log.end()};
}
