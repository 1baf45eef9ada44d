#pragma once
// The workers' reports, delivered to the main window's thread. A worker's report blocks until the
// window has handled it, so the handler may read the worker's programmer object; a report made on
// the main thread itself (a programmer whose open fails) runs at once.
#include <QObject>
#include <functional>

#include "devices/report_sink.h"

class WindowReportSink : public QObject, public ReportSink {
    Q_OBJECT
public:
    using Handler = std::function<void(int message, int slot, int32_t value)>;
    // Lives in the thread that makes it: the main thread.
    explicit WindowReportSink(Handler handler, QObject* parent = nullptr);

    void report(int message, int slot, int32_t value) override;

private:
    Handler handler_;
};
