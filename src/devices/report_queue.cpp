// Synchronous reports for a main thread that runs its own loop.
#include "devices/report_queue.h"

ReportQueue::ReportQueue(Handler handler, OutcomeHandler outcomes)
    : handler_(std::move(handler)), outcomes_(std::move(outcomes)), mainThread_(std::this_thread::get_id()) {}

void ReportQueue::submit(Item& item) {
    std::unique_lock<std::mutex> lock(mutex_);
    waiting_.push_back(&item);
    arrived_.notify_all();
    handled_.wait(lock, [&] { return item.done; });
}

void ReportQueue::report(int message, int slot, int32_t value) {
    if (std::this_thread::get_id() == mainThread_) {
        if (handler_) handler_(message, slot, value);
        return;
    }
    Item item;
    item.message = message;
    item.slot = slot;
    item.value = value;
    submit(item);
}

void ReportQueue::writeFinished(int slot, const WriteOutcome& outcome) {
    if (std::this_thread::get_id() == mainThread_) {
        if (outcomes_) outcomes_(slot, outcome);
        return;
    }
    Item item;
    item.what = Item::What::Write;
    item.slot = slot;
    item.outcome = outcome;
    submit(item);
}

void ReportQueue::readFinished(int slot, bool ok, int32_t bytes) {
    if (std::this_thread::get_id() == mainThread_) {
        if (reads_) reads_(slot, ok, bytes);
        return;
    }
    Item item;
    item.what = Item::What::Read;
    item.slot = slot;
    item.ok = ok;
    item.value = bytes;
    submit(item);
}

void ReportQueue::run(const Item& item) {
    switch (item.what) {
    case Item::What::Report:
        if (handler_) handler_(item.message, item.slot, item.value);
        break;
    case Item::What::Write:
        if (outcomes_) outcomes_(item.slot, item.outcome);
        break;
    case Item::What::Read:
        if (reads_) reads_(item.slot, item.ok, item.value);
        break;
    }
}

int ReportQueue::pump(std::chrono::milliseconds wait) {
    int ran = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    if (waiting_.empty() && wait.count() > 0) arrived_.wait_for(lock, wait, [&] { return !waiting_.empty(); });
    while (!waiting_.empty()) {
        Item* item = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        run(*item);
        lock.lock();
        item->done = true;
        handled_.notify_all();
        ++ran;
    }
    return ran;
}
