#pragma once
// A synchronous report sink for a main thread without a window: workers hand in their reports
// and wait; the main thread runs them in pump(). Reports made on the main thread itself run at
// once.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/report_sink.h"

class ReportQueue : public ReportSink {
public:
    using Handler = std::function<void(int message, int slot, int32_t value)>;
    using OutcomeHandler = std::function<void(int slot, const WriteOutcome& outcome)>;
    using ReadHandler = std::function<void(int slot, bool ok, int32_t bytes)>;

    // The constructing thread is the main thread.
    explicit ReportQueue(Handler handler, OutcomeHandler outcomes = {});

    void report(int message, int slot, int32_t value) override;
    void writeFinished(int slot, const WriteOutcome& outcome) override;
    void readFinished(int slot, bool ok, int32_t bytes) override;
    // Set before workers start.
    void setReadHandler(ReadHandler reads) { reads_ = std::move(reads); }

    // Runs the waiting reports, waiting up to `wait` for the first one; returns how many ran.
    int pump(std::chrono::milliseconds wait = std::chrono::milliseconds(0));

private:
    struct Item {
        enum class What { Report, Write, Read } what = What::Report;
        bool ok = false;
        int message = 0;
        int slot = 0;
        int32_t value = 0;
        WriteOutcome outcome;
        bool done = false;
    };
    void submit(Item& item);
    void run(const Item& item);

    Handler handler_;
    OutcomeHandler outcomes_;
    ReadHandler reads_;
    std::thread::id mainThread_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::condition_variable handled_;
    std::deque<Item*> waiting_;
};
