#include "shell/window_report_sink.h"

#include <QThread>

WindowReportSink::WindowReportSink(Handler handler, QObject* parent) : QObject(parent), handler_(std::move(handler)) {}

void WindowReportSink::report(int message, int slot, int32_t value) {
    if (QThread::currentThread() == thread()) {
        handler_(message, slot, value);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, message, slot, value] { handler_(message, slot, value); }, Qt::BlockingQueuedConnection);
}
