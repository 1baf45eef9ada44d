#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "messages/show_mes.h"
#include "support/recording_presenter.h"

namespace {

std::vector<std::string> Captions(const MesRequest& r) {
    std::vector<std::string> captions;
    for (const MesButton& b : r.buttons) captions.push_back(b.caption);
    return captions;
}

TEST(ShowMes, OneButtonMessage) {
    RecordingPresenter mes;
    EXPECT_EQ(ShowMes(1025), 5);
    ASSERT_EQ(mes.Requests().size(), 1u);
    const MesRequest r = mes.Requests()[0];
    EXPECT_EQ(r.code, 1025);
    EXPECT_EQ(r.row->icon, 1);
    EXPECT_EQ(Captions(r), (std::vector<std::string>{"Продолжить"}));
    EXPECT_EQ(r.prompt, "Нажмите кнопку для продолжения работы");
    EXPECT_EQ(r.text, "Указанная группа маршрутов уже есть в списке");
}

TEST(ShowMes, ReturnsTheValueOfTheButtonPressed) {
    RecordingPresenter mes;
    mes.Script({3, 2});
    EXPECT_EQ(ShowMes(1045), 3);
    EXPECT_EQ(ShowMes(1045), 2);
    EXPECT_EQ(ShowMes(1045), 2);  // script used up: button 1
    EXPECT_TRUE(mes.Unanswerable().empty());
    const MesRequest r = mes.Requests()[0];
    EXPECT_EQ(r.row->icon, 0);
    EXPECT_EQ(Captions(r), (std::vector<std::string>{"Да", "Нет"}));
    EXPECT_EQ(r.prompt, "Выберите вариант ответа:");

    mes.Script({6, 7});
    EXPECT_EQ(ShowMes(1007, MesArg::Text("a.fvp")), 6);
    EXPECT_EQ(ShowMes(2001, MesArg::Text("a.fvp")), 7);
    EXPECT_EQ(Captions(mes.Requests()[4]), (std::vector<std::string>{"Повторить выбор", "Прекратить", "Продолжить"}));
}

TEST(ShowMes, UnknownCodeKeepsTheCodeAsCalled) {
    RecordingPresenter mes;
    EXPECT_EQ(ShowMes(4242), 5);
    const MesRequest r = mes.Requests().at(0);
    EXPECT_EQ(r.code, 4242);
    EXPECT_EQ(r.row->code, 1000);
    EXPECT_EQ(r.text, "Внутренняя ошибка системы № 1000.");
    EXPECT_EQ(Captions(r), (std::vector<std::string>{"Продолжить", "Выход"}));
}

class FixedAnswer : public MesPresenter {
public:
    explicit FixedAnswer(int position) : position_(position) {}
    int Present(const MesRequest&) override { return position_; }

private:
    int position_;
};

TEST(ShowMes, AnswerOutsideTheButtonsIsButtonOne) {
    for (int position : {0, -1, 3, 7}) {
        FixedAnswer presenter(position);
        MesPresenter* before = SetMesPresenter(&presenter);
        EXPECT_EQ(ShowMes(1045), 2) << position;
        SetMesPresenter(before);
    }
}

TEST(ShowMes, ConsolePresenterWritesOneLineAndAnswersTheFirstButton) {
    MesPresenter* before = SetMesPresenter(nullptr);
    testing::internal::CaptureStderr();
    const int a = ShowMes(1028, MesArg::Text("C:\\groups\\r1.lin"));
    const int b = ShowMes(2005, MesArg::Text("a.wav"), MesArg::Int16(12000));
    const std::string err = testing::internal::GetCapturedStderr();
    SetMesPresenter(before);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(err,
              "№1028: Нет файла маршрута или ошибка в структуре: C:\\groups\\r1.lin\n"
              "№2005: В файле (a.wav) частота оцифровки звука (12000) не поддерживается:\n"
              " Выполните преобразование формата файла к допустимому\n");
}

// Reports the overlap if two messages are ever shown at once.
class OverlapProbe : public MesPresenter {
public:
    int Present(const MesRequest&) override {
        if (inside_.fetch_add(1) != 0) overlapped_ = true;
        std::this_thread::yield();
        ++shown_;
        inside_.fetch_sub(1);
        return 1;
    }
    std::atomic<int> inside_{0}, shown_{0};
    std::atomic<bool> overlapped_{false};
};

TEST(ShowMes, CallsFromSeveralThreadsAreShownOneAtATime) {
    OverlapProbe probe;
    MesPresenter* before = SetMesPresenter(&probe);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 200; ++i) ShowMes(2013, MesArg::Int16(static_cast<int16_t>(i)));
        });
    for (std::thread& t : threads) t.join();
    SetMesPresenter(before);
    EXPECT_FALSE(probe.overlapped_);
    EXPECT_EQ(probe.shown_, 8 * 200);
}

}  // namespace
