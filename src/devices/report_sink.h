#pragma once
// How workers tell the main thread what happened. A report returns only when it was handled, so
// the handler may read the slot's fields while the worker waits.
#include <cstdint>

enum : int {
    kReportView = 1026,      // the cartridge state changed; value = Status
    kReportEnd = 1027,       // the worker ends; value 1 after a successful firmware update
    kReportInitBar = 1028,   // a write (value 0: ImageLength is the maximum) or read (bytes) begins
    kReportSetBar = 1029,    // bytes done
    kReportInitBoot = 1030,  // a firmware update begins; value = number of pages
    kReportSetBoot = 1031,   // firmware pages done
};

// What happened to one cartridge write, for callers that keep a tally (lmk). Not shown in panels.
struct WriteOutcome {
    enum class Result { Written, Failed, VerifyFailed, Stopped };
    Result result = Result::Failed;
    int32_t serial = 0;
    int32_t flashBytes = 0;
    int32_t pagesWritten = 0;
    double seconds = 0;
};

class ReportSink {
public:
    virtual ~ReportSink() = default;
    // Synchronous: returns when the report was handled. Called on worker threads, and on the
    // main thread itself when an open fails (a handler must then run directly, not queue and
    // wait). A handler of kReportEnd frees the slot (UsbCprTable::RemoveDevice); the worker does
    // not touch its programmer object after that report.
    virtual void report(int message, int slot, int32_t value) = 0;
    // After every cartridge write ends, on the worker's thread, before any report about it.
    virtual void writeFinished(int /*slot*/, const WriteOutcome& /*outcome*/) {}
    // After a read-back ends (`ok` false: a page could not be read, nothing was kept), on the
    // worker's thread, before any report about it.
    virtual void readFinished(int /*slot*/, bool /*ok*/, int32_t /*bytes*/) {}
};
