#pragma once
// A presenter for tests: installs itself for its lifetime, keeps every request it is asked to show
// and answers from a script of button values (then with button 1 once the script runs out).
//
//   RecordingPresenter mes;
//   mes.Script({3});                  // the first message is answered "Нет"
//   ... code under test ...
//   EXPECT_EQ(mes.Codes(), (std::vector<int32_t>{1045}));
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "messages/show_mes.h"

class RecordingPresenter : public MesPresenter {
public:
    RecordingPresenter() { previous_ = SetMesPresenter(this); }
    ~RecordingPresenter() override { SetMesPresenter(previous_); }
    RecordingPresenter(const RecordingPresenter&) = delete;
    RecordingPresenter& operator=(const RecordingPresenter&) = delete;

    // Answers for the next messages, as button values (5 = "Продолжить", 3 = "Нет", ...).
    void Script(std::vector<int> values) {
        std::lock_guard lock(mutex_);
        script_.assign(values.begin(), values.end());
    }

    int Present(const MesRequest& request) override {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
        if (script_.empty()) return 1;
        const int value = script_.front();
        script_.pop_front();
        for (size_t i = 0; i < request.buttons.size(); ++i)
            if (request.buttons[i].value == value) return static_cast<int>(i) + 1;
        unanswerable_.push_back(request.code);  // the script named a button the message lacks
        return 1;
    }

    std::vector<MesRequest> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The codes shown, as called, in order.
    std::vector<int32_t> Codes() const {
        std::lock_guard lock(mutex_);
        std::vector<int32_t> codes;
        for (const MesRequest& r : requests_) codes.push_back(r.code);
        return codes;
    }
    // The texts shown, in order.
    std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const MesRequest& r : requests_) texts.push_back(r.text);
        return texts;
    }
    // Codes of messages for which the scripted answer was not one of their buttons.
    std::vector<int32_t> Unanswerable() const {
        std::lock_guard lock(mutex_);
        return unanswerable_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        requests_.clear();
        script_.clear();
        unanswerable_.clear();
    }

private:
    MesPresenter* previous_ = nullptr;
    mutable std::mutex mutex_;
    std::vector<MesRequest> requests_;
    std::deque<int> script_;
    std::vector<int32_t> unanswerable_;
};
