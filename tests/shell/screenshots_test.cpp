// The window in the states an operator sees most: writing into two cartridges at once, the about
// window, a message dialog. Each state is checked; with KORVIS_SCREENSHOT_DIR set the window is
// also saved there as a PNG (scripts/screenshots.sh runs this under Xvfb for the documentation).
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <memory>

#include "platform/posix_serial_port.h"
#include "settings/settings.h"
#include "shell/about_form.h"
#include "shell/device_panel.h"
#include "shell/mes_dialog.h"
#include "shell/prog_form.h"
#include "sim/simulator.h"
#include "support/temp_dir.h"

namespace {

// Saves `w` as <dir>/<name>.png: through ImageMagick's import on a real X display (frames and
// fonts as the server draws them), otherwise from the widget's own painting.
void Shoot(QWidget* w, const char* name) {
    const QString dir = qEnvironmentVariable("KORVIS_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    const QString file = dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    QApplication::processEvents();
    QTest::qWait(200);
    const QString import = QStandardPaths::findExecutable(QStringLiteral("import"));
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !import.isEmpty()) {
        const int rc = QProcess::execute(
            import, {QStringLiteral("-window"), QString::number(w->window()->winId()), QStringLiteral("-depth"),
                     QStringLiteral("8"), file});
        if (rc == 0) return;
    }
    QVERIFY(w->window()->grab().save(file));
}

}  // namespace

class ScreenshotsTest : public QObject {
    Q_OBJECT
    TempDir home_;
    sim::Simulator sim_;
    std::unique_ptr<TProgF> win_;

private slots:
    void initTestCase() {
        qputenv("KORVIS_CONFIG_HOME", QByteArray::fromStdString(home_.str()));
        sim::SimProgrammerConfig slow;
        slow.pageWriteTime = std::chrono::milliseconds(15);  // long enough to see the write go on
        for (int i = 0; i < 2; ++i) {
            sim::SimProgrammer* p = sim_.add(slow);
            QVERIFY(p);
            p->insert(44);
        }
        TProgF::Environment env;
        env.source = &sim_;
        env.openPort = PosixSerialPortFactory();
        env.firmwareFolders = {home_.str()};
        win_ = std::make_unique<TProgF>(env);
        win_->resize(1000, win_->height());
        win_->show();
        QVERIFY(QTest::qWaitForWindowExposed(win_.get()));
    }
    void cleanupTestCase() {
        if (!win_) return;
        win_->aStopExecute();
        QVERIFY(win_->close());
        win_.reset();
    }

    void writingIntoTwoCartridges() {
        namespace fs = std::filesystem;
        fs::copy(fs::path(KORVIS_SOURCE_DIR) / "examples/demo", home_.path() / "demo", fs::copy_options::recursive);
        TProgF& w = *win_;
        QTRY_COMPARE(w.Devices().UsbCprCount(), 2);
        QVERIFY(w.AddGroup(QString::fromStdString((home_.path() / "demo/demo.mrg").string())));
        w.aPutInfoMrExecute();
        QVERIFY(w.Shared().WriteOn);
        const QString writing = QStringLiteral("Выполняется запись в ЛМК");
        QTRY_VERIFY_WITH_TIMEOUT(w.Panel(0)->lbStat->text() == writing && w.Panel(1)->lbStat->text() == writing &&
                                     w.Panel(0)->pbProg->value() > 0 && w.Panel(1)->pbProg->value() > 0,
                                 30000);
        QVERIFY(w.labFill->text().startsWith(QStringLiteral("Необходимо: ")));
        QVERIFY(w.Panel(0)->labProc->text().contains(QStringLiteral(" сек)")));
        Shoot(&w, "main-window-writing");
        QTRY_VERIFY_WITH_TIMEOUT(w.Panel(0)->lbStat->text() == QStringLiteral("Выполнено, ждем смены ЛМК") &&
                                     w.Panel(1)->lbStat->text() == QStringLiteral("Выполнено, ждем смены ЛМК"),
                                 60000);
        Shoot(&w, "main-window-written");
    }

    void aboutWindowKeepsTheTimeOfItsFirstOpening() {
        QString first;
        for (int i = 0; i < 2; ++i) {
            if (i == 1) QTest::qWait(1100);  // a minute may turn; the line must not follow it
            QTimer::singleShot(300, [&, i] {
                TAboutF* about = win_->AboutWindow();
                if (!about) return;
                const auto close = qScopeGuard([about] { about->bbExit->click(); });
                QVERIFY(about->isVisible());
                const QString text = about->Memo1->toPlainText();
                QVERIFY(text.contains(QStringLiteral("УСПЕШНОЙ ВАМ РАБОТЫ!!")));
                QVERIFY(text.contains(QStringLiteral("Сейчас: ")));
                if (i == 0) {
                    first = text;
                    Shoot(about, "about-window");
                } else {
                    QCOMPARE(text, first);
                }
            });
            win_->aAboutExecute();
        }
        QVERIFY(!first.isEmpty());
    }

    void messageDialog() {
        QtMesPresenter presenter;
        MesPresenter* before = SetMesPresenter(&presenter);
        bool seen = false;
        QTimer::singleShot(300, [&] {
            TMes* dlg = presenter.Dialog();
            if (!dlg) return;
            const auto close = qScopeGuard([dlg] { dlg->B[1]->click(); });
            QVERIFY(dlg->isVisible());
            QCOMPARE(dlg->MesL1->text(), QStringLiteral("Очистить протокол движения в информаторе?"));
            seen = true;
            Shoot(dlg, "message-dialog");
        });
        QCOMPARE(ShowMes(1045), 3);
        SetMesPresenter(before);
        QVERIFY(seen);
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "screenshots_test.moc"
