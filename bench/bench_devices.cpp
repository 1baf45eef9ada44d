// Writing a full 2 MB image into cartridges with 512-byte pages through simulated programmers that
// answer at once, on one programmer and on sixteen at the same time. The worker's own waits
// (10 ms after every page, 600 ms before the write is declared complete, 1 ms in every query) make
// a floor no programmer can beat; the figure that matters is how close each write comes to it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "devices/workers.h"
#include "sim/device_bench.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kCartridge = 44;  // 2 MB in 4096 pages of 512 bytes
constexpr int kBlocks = 8192;       // the whole cartridge, in 256-byte blocks
constexpr int kPageBytes = 512;
constexpr int kPages = kBlocks * 256 / kPageBytes;

// From the poll that sees the cartridge to the final progress report: the query for command 17
// when the cartridge is handled as new, the query for command 22 when the write begins, the wait
// after each page, and the wait before command 25.
constexpr double kFloorMs =
    waits::kQuery + waits::kQuery + static_cast<double>(kPages) * waits::kAfterPage + waits::kBeforeDone;

// One programmer's write: from the poll that saw the cartridge to the report that ends the bar.
struct Timed {
    Clock::time_point seen{};
    Clock::time_point reported{};
    bool done = false;
};

// The poll that saw the cartridge: the last one before the write began (command 22). Between the
// two the worker only identifies the cartridge, it does not poll again.
bool FindSeenPoll(const sim::Simulator& sim, const std::vector<sim::LogEntry>& log, Clock::time_point& at) {
    const auto begin = std::find_if(log.begin(), log.end(), [](const sim::LogEntry& e) { return e.command == 0x16; });
    if (begin == log.end()) return false;
    const auto poll = std::find_if(std::make_reverse_iterator(begin), log.rend(),
                                   [](const sim::LogEntry& e) { return e.command == 0x01; });
    if (poll == log.rend() || poll->reply != std::vector<uint8_t>{kCartridge}) return false;
    at = sim.epoch() + poll->time;
    return true;
}

// Writes the image once into `programmers` cartridges; the ratios measured/floor in `ratios`.
// Empty with `error` set when a write did not complete as it must.
void WriteOnce(int programmers, std::vector<double>& ratios, std::string& error) {
    DeviceBench bench;
    for (int k = 0; k < programmers; ++k) {
        sim::SimProgrammer* p = bench.sim.add();
        if (!p) {
            error = "no pseudo-terminal for a programmer";
            return;
        }
        p->insert(kCartridge);
    }
    bench.mark(0, kBlocks - 1);
    bench.shared.WriteOn = true;
    const int32_t last = bench.shared.ImageLength + 512;
    bench.start();
    if (bench.table.UsbCprCount() != programmers) {
        error = "not every programmer got a slot";
        return;
    }

    // Each report is stamped right after the pump that handled it.
    std::vector<Timed> timed(programmers);
    size_t seenReports = 0;
    int finished = 0;
    const bool all = bench.runUntil(
        [&] {
            const auto now = Clock::now();
            for (; seenReports < bench.reports.size(); ++seenReports) {
                const Report& r = bench.reports[seenReports];
                if (r.message != kReportSetBar || r.value != last || r.slot < 0 || r.slot >= programmers) continue;
                if (!timed[r.slot].done) ++finished;
                timed[r.slot].done = true;
                timed[r.slot].reported = now;
            }
            return finished == programmers;
        },
        std::chrono::seconds(120));
    if (!all) {
        error = "a write did not complete in time";
        return;
    }

    for (int s = 0; s < programmers; ++s) {
        const sim::SimProgrammer* p = bench.sim.byPort(bench.table.slot(s)->PortName);
        if (!p || !FindSeenPoll(bench.sim, p->log(), timed[s].seen)) {
            error = "no poll that saw the cartridge in slot " + std::to_string(s);
            return;
        }
        const std::vector<uint8_t> cart = p->cartridge();
        if (!std::equal(cart.begin(), cart.end(), bench.image.begin())) {
            error = "the cartridge in slot " + std::to_string(s) + " does not hold the image";
            return;
        }
    }
    for (const auto& [slot, outcome] : bench.outcomes) {
        if (outcome.result != WriteOutcome::Result::Written || outcome.pagesWritten != kPages) {
            error = "slot " + std::to_string(slot) + " wrote " + std::to_string(outcome.pagesWritten) + " pages";
            return;
        }
    }
    for (const Timed& t : timed)
        ratios.push_back(std::chrono::duration<double, std::milli>(t.reported - t.seen).count() / kFloorMs);
}

void BM_WriteFullCartridge(benchmark::State& state) {
    const int programmers = static_cast<int>(state.range(0));
    std::vector<double> all;
    for (auto _ : state) {
        std::vector<double> ratios;
        std::string error;
        WriteOnce(programmers, ratios, error);
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return;
        }
        // The iteration lasts as long as its slowest write.
        state.SetIterationTime(*std::max_element(ratios.begin(), ratios.end()) * kFloorMs / 1000.0);
        all.insert(all.end(), ratios.begin(), ratios.end());
    }
    if (all.empty()) return;
    double sum = 0;
    for (double r : all) sum += r;
    const double mean = sum / static_cast<double>(all.size());
    const double worst = *std::max_element(all.begin(), all.end());
    state.counters["floor_ms"] = kFloorMs;
    state.counters["mean_ms"] = mean * kFloorMs;
    state.counters["worst_ms"] = worst * kFloorMs;
    state.counters["ratio_mean"] = mean;
    state.counters["ratio_worst"] = worst;
}

}  // namespace

// Each iteration writes for over 41 s; two of them show the spread.
BENCHMARK(BM_WriteFullCartridge)->ArgName("programmers")->Arg(1)->Arg(16)->Iterations(2)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
