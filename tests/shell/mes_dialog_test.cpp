// The message dialog as the operator sees it: icon, number, texts, buttons, their layout and the
// answer each button gives.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "messages/show_mes.h"
#include "shell/mes_dialog.h"

namespace {

// What the dialog showed when it was up.
struct Seen {
    QString caption, number, text, prompt;
    int icon = -1;
    int visibleIcons = 0;
    QStringList buttons;
    QList<QRect> buttonRects;
    QRect dialog;
    bool firstFocused = false;
    TMes* dialogObject = nullptr;
};

// Runs ShowMes while `act` looks at the dialog and answers it (a click on button k, or 0 for
// closing the window without a button).
int ShowAndAnswer(int32_t code, const MesArg& a1, const MesArg& a2, int answer, Seen& seen) {
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<TMes*>(QApplication::activeModalWidget());
        if (!dlg) return;
        if (!QTest::qWaitForWindowActive(dlg)) qWarning("the message dialog never became active");
        seen.dialogObject = dlg;
        seen.caption = dlg->windowTitle();
        seen.number = dlg->LbNum->text();
        seen.text = dlg->MesL1->text();
        seen.prompt = dlg->MesL2->text();
        for (int i = 0; i < 4; ++i)
            if (dlg->Icons[i]->isVisible()) {
                seen.icon = i;
                ++seen.visibleIcons;
            }
        for (QPushButton* b : dlg->B)
            if (b->isVisible()) {
                seen.buttons << b->text();
                seen.buttonRects << b->geometry();
            }
        seen.dialog = dlg->frameGeometry().isValid() ? QRect(dlg->pos(), dlg->size()) : QRect();
        seen.firstFocused = dlg->B[0]->hasFocus();
        if (answer == 0)
            dlg->reject();
        else
            dlg->B[answer - 1]->click();
    });
    return ShowMes(code, a1, a2);
}

}  // namespace

class MesDialogTest : public QObject {
    Q_OBJECT
    QtMesPresenter presenter_;

private slots:
    void initTestCase() { SetMesPresenter(&presenter_); }
    void cleanupTestCase() { SetMesPresenter(nullptr); }

    void showsRowAndAnswers_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("textArg");
        QTest::addColumn<int>("int16Arg");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<int>("value");
        const QString one = QStringLiteral("Нажмите кнопку для продолжения работы");
        const QString many = QStringLiteral("Выберите вариант ответа:");
        QTest::newRow("1025 continue") << 1025 << QString() << -1 << 1 << 1 << "№1025"
                                       << "Указанная группа маршрутов уже есть в списке" << QStringList{"Продолжить"}
                                       << one << 5;
        QTest::newRow("1025 closed") << 1025 << QString() << -1 << 0 << 1 << "№1025"
                                     << "Указанная группа маршрутов уже есть в списке" << QStringList{"Продолжить"}
                                     << one << 5;
        QTest::newRow("1045 yes") << 1045 << QString() << -1 << 1 << 0 << "№1045"
                                  << "Очистить протокол движения в информаторе?" << QStringList{"Да", "Нет"} << many << 2;
        QTest::newRow("1045 no") << 1045 << QString() << -1 << 2 << 0 << "№1045"
                                 << "Очистить протокол движения в информаторе?" << QStringList{"Да", "Нет"} << many << 3;
        QTest::newRow("1045 closed answers button 1")
            << 1045 << QString() << -1 << 0 << 0 << "№1045" << "Очистить протокол движения в информаторе?"
            << QStringList{"Да", "Нет"} << many << 2;
        QTest::newRow("1041 port") << 1041 << "COM5" << -1 << 1 << 1 << "№1041"
                                   << "Не удалось установить связь с информатором: COM5" << QStringList{"Продолжить"}
                                   << one << 5;
        QTest::newRow("1081 name and 16-bit number")
            << 1081 << "Центральный рынок" << 12 << 1 << 2 << "№1081"
            << "Маршрут изменен, остановка Центральный рынок, № 12, загрузка координат GPS отменена"
            << QStringList{"Продолжить"} << one << 5;
        QTest::newRow("4242 unknown shows row 1000")
            << 4242 << QString() << -1 << 2 << 0 << "№4242" << "Внутренняя ошибка системы № 1000."
            << QStringList{"Продолжить", "Выход"} << many << 1;
        QTest::newRow("1070 three buttons")
            << 1070 << QString() << -1 << 3 << 2 << "№1070" << "В открытых окнах есть измененная, но не сохраненная информация"
            << QStringList{"Продолжить", "Сохранить и выйти", "Выйти без сохранения"} << many << 13;
        QTest::newRow("2005 text with a line break")
            << 2005 << "a.wav" << 9000 << 1 << 2 << "№2005"
            << "В файле (a.wav) частота оцифровки звука (9000) не поддерживается:\n Выполните преобразование формата файла к допустимому"
            << QStringList{"Прекратить"} << one << 4;
    }

    void showsRowAndAnswers() {
        QFETCH(int, code);
        QFETCH(QString, textArg);
        QFETCH(int, int16Arg);
        QFETCH(int, answer);
        Seen seen;
        const MesArg a1 = textArg.isNull() ? MesArg{} : MesArg::Text(textArg.toStdString());
        const MesArg a2 = int16Arg < 0 ? MesArg{} : MesArg::Int16(static_cast<int16_t>(int16Arg));
        const int value = ShowAndAnswer(code, a1, a2, answer, seen);

        QCOMPARE(seen.caption, QStringLiteral("Сообщение системы ИНФОРМАТОР"));
        QCOMPARE(seen.visibleIcons, 1);
        QTEST(seen.icon, "icon");
        QTEST(seen.number, "number");
        QTEST(seen.text, "text");
        QTEST(seen.buttons, "buttons");
        QTEST(seen.prompt, "prompt");
        QVERIFY(seen.firstFocused);
        QTEST(value, "value");
    }

    // Buttons share the width equally, 8 pixels apart, never narrower than the widest caption
    // plus 8 or 200; the dialog sits in the middle of the screen.
    void buttonLayout_data() {
        QTest::addColumn<int>("code");
        QTest::newRow("one") << 1025;
        QTest::newRow("two") << 1045;
        QTest::newRow("three") << 1070;
        QTest::newRow("row 1000") << 4242;
    }

    void buttonLayout() {
        QFETCH(int, code);
        Seen seen;
        ShowAndAnswer(code, {}, {}, 1, seen);
        const int n = seen.buttons.size();
        QVERIFY(n > 0);
        const int W = seen.dialog.width();
        const int bw = (W - 8) / n - 8;
        const QFontMetrics fm(seen.dialogObject->font());
        int widest = 0;
        for (const QString& c : seen.buttons) widest = std::max(widest, fm.horizontalAdvance(c));
        QVERIFY(W >= (std::max(widest + 8, 200) + 8) * n + 8);
        for (int k = 0; k < n; ++k) {
            QCOMPARE(seen.buttonRects[k].width(), bw);
            QCOMPARE(seen.buttonRects[k].left(), 8 + k * (bw + 8));
        }
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(seen.dialog.left(), std::max(0, (screen.width() - W) / 2 - 1));
        QCOMPARE(seen.dialog.top(), (screen.height() - seen.dialog.height()) / 2 - 1);
    }

    void wideTextIsClippedToTheScreen() {
        QString words;
        for (int i = 0; i < 200; ++i) words += QStringLiteral("порт%1 ").arg(i);
        Seen seen;
        ShowAndAnswer(1041, MesArg::Text(words.toStdString()), {}, 1, seen);
        const int screenWidth = QGuiApplication::primaryScreen()->geometry().width();
        QCOMPARE(seen.dialog.width(), screenWidth - 2);
        QCOMPARE(seen.dialog.left(), 0);
        // Nothing of the text is lost: it wraps inside the dialog.
        QVERIFY(seen.dialogObject->MesL1->wordWrap());
        QVERIFY(seen.dialogObject->MesL1->geometry().right() < seen.dialog.width());
    }

    void oneDialogIsReused() {
        Seen first, second;
        ShowAndAnswer(1025, {}, {}, 1, first);
        ShowAndAnswer(1045, {}, {}, 1, second);
        QVERIFY(first.dialogObject != nullptr);
        QCOMPARE(first.dialogObject, second.dialogObject);
        QCOMPARE(presenter_.Dialog(), first.dialogObject);
        // The second message hid the first one's extra state: one icon, its own buttons.
        QCOMPARE(second.visibleIcons, 1);
        QCOMPARE(second.buttons.size(), 2);
    }

    void geometryRules_data() {
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<int>("promptWidth");
        QTest::addColumn<int>("caption");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("W");
        QTest::addColumn<int>("buttonWidth");
        // Narrow texts: the buttons decide, with the 200-pixel floor.
        QTest::newRow("floor") << 100 << 150 << 60 << 1 << 216 << 200;
        QTest::newRow("floor two") << 100 << 150 << 60 << 2 << 424 << 200;
        // A long caption widens every button.
        QTest::newRow("caption") << 100 << 150 << 300 << 2 << 640 << 308;
        // A long text widens the dialog and the buttons share it.
        QTest::newRow("text") << 900 << 150 << 60 << 2 << 916 << 446;
        // Wider than the screen: screen width less 2.
        QTest::newRow("screen") << 5000 << 150 << 60 << 3 << 1022 << 330;
    }

    void geometryRules() {
        QFETCH(int, textWidth);
        QFETCH(int, promptWidth);
        QFETCH(int, caption);
        QFETCH(int, n);
        const MesGeometry g = ComputeMesGeometry(textWidth, promptWidth, caption, n, QSize(1024, 768), 200, 60);
        QTEST(g.width, "W");
        QTEST(g.buttonWidth, "buttonWidth");
        QCOMPARE(g.left, std::max(0, (1024 - g.width) / 2 - 1));
        QCOMPARE(g.top, (768 - 200) / 2 - 1);
        QCOMPARE(g.promptLeft, (g.width - promptWidth) / 2 - 8);
        QCOMPARE(g.helpLeft, g.width - 60 - 10);
        QCOMPARE(int(g.buttonLefts.size()), n);
        QCOMPARE(g.buttonLefts.back(), 8 + (n - 1) * (g.buttonWidth + 8));
    }
};

QTEST_MAIN(MesDialogTest)
#include "mes_dialog_test.moc"
