#pragma once
// Recording sink and presenter, and a bounded wait for what a worker thread does.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "devices/report_sink.h"
#include "devices/usb_cpr.h"
#include "messages/show_mes.h"

struct SeenReport {
    int message = 0;
    int slot = 0;
    int32_t value = 0;
    uint8_t code = 0;    // the slot's Code while the report was handled
    int32_t status = 0;  // its Status
    int32_t serial = 0;
};

class RecordingSink : public ReportSink {
public:
    const TUsbCpr* cpr = nullptr;  // read while a report is handled, as a window would

    void report(int message, int slot, int32_t value) override {
        std::lock_guard<std::mutex> l(m_);
        SeenReport r{message, slot, value};
        if (cpr && message != kReportEnd) {
            r.code = cpr->Code;
            r.status = cpr->Status;
            r.serial = cpr->Serial;
        }
        seen_.push_back(r);
    }
    void writeFinished(int, const WriteOutcome& o) override {
        std::lock_guard<std::mutex> l(m_);
        outcomes_.push_back(o);
    }
    void readFinished(int, bool ok, int32_t) override {
        std::lock_guard<std::mutex> l(m_);
        reads_.push_back(ok);
    }
    std::vector<SeenReport> seen() const {
        std::lock_guard<std::mutex> l(m_);
        return seen_;
    }
    std::vector<SeenReport> of(int message) const {
        std::vector<SeenReport> r;
        for (const auto& s : seen())
            if (s.message == message) r.push_back(s);
        return r;
    }
    std::vector<WriteOutcome> outcomes() const {
        std::lock_guard<std::mutex> l(m_);
        return outcomes_;
    }
    std::vector<bool> reads() const {
        std::lock_guard<std::mutex> l(m_);
        return reads_;
    }

private:
    mutable std::mutex m_;
    std::vector<SeenReport> seen_;
    std::vector<WriteOutcome> outcomes_;
    std::vector<bool> reads_;
};

// Waits until `done` holds, at most `limit`; the result says whether it did. Never a speed check:
// the limit only keeps a broken build from hanging.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class RecordingPresenter : public MesPresenter {
public:
    RecordingPresenter() { SetMesPresenter(this); }
    ~RecordingPresenter() override { SetMesPresenter(nullptr); }
    int Present(const MesRequest& r) override {
        std::lock_guard<std::mutex> l(m_);
        codes.push_back(r.code);
        texts.push_back(r.text);
        return 1;
    }
    std::vector<int32_t> codes;
    std::vector<std::string> texts;

private:
    std::mutex m_;
};
