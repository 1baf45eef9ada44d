// The main window driven as the operator drives it, with simulated programmers behind it: which
// actions it allows, the group list, the options, the build's texts, the device panels, closing,
// and a whole write of the demo group into two cartridges.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QToolBar>
#include <QtTest>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

#include "devices/report_sink.h"
#include "devices/usb_cpr.h"
#include "image/group_build_image.h"
#include "platform/posix_serial_port.h"
#include "settings/qt_settings_store.h"
#include "settings/settings.h"
#include "shell/device_panel.h"
#include "shell/prog_form.h"
#include "sim/simulator.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

namespace {

const QString kDone = QStringLiteral("Выполнено, ждем смены ЛМК");

// Values stored in the settings key before the window starts: a number, or a text when `text` is
// set.
struct Stored {
    const char* name;
    int32_t value = 0;
    const char* text = nullptr;
};
using StoredList = std::vector<Stored>;

// A window over its own settings folder and simulated programmers.
struct Rig {
    TempDir home;
    sim::Simulator sim;
    std::unique_ptr<TProgF> win;

    // `programmers` are plugged in before the window starts; with `cartridge` each holds a blank
    // 2 MB cartridge of 512-byte pages.
    explicit Rig(int programmers = 0, bool cartridge = true, const StoredList& settings = {}) {
        qputenv("KORVIS_CONFIG_HOME", QByteArray::fromStdString(home.str()));
        if (!settings.empty()) {
            QtSettingsStore store;
            store.CreateKey(SettingsScope::User);
            for (const Stored& v : settings) {
                if (v.text)
                    store.WriteText(SettingsScope::User, v.name, v.text);
                else
                    store.WriteInt(SettingsScope::User, v.name, v.value);
            }
            store.Commit(SettingsScope::User);
        }
        InfoConfig = TInfoConfig{};
        for (int i = 0; i < programmers; ++i) {
            sim::SimProgrammer* p = sim.add();
            if (p && cartridge) p->insert(44);
        }
        start();
    }

    void start() {
        TProgF::Environment env;
        env.source = &sim;
        env.openPort = PosixSerialPortFactory();
        env.firmwareFolders = {home.str()};
        win = std::make_unique<TProgF>(env);
    }

    TInfoConfig StoredSettings() const {
        TInfoConfig c;
        QtSettingsStore store;
        LoadSettings(c, store);
        return c;
    }

    // Stops every worker whose slot is occupied before the reports are fed by hand, so that no
    // poll overwrites the fields a test sets.
    TUsbCpr& Paused(int slot) {
        TUsbCpr* cpr = win->Devices().slot(slot);
        cpr->Control = kControlPause;
        QTest::qWait(300);
        return *cpr;
    }
};

// The demo group in a folder of its own (the build writes packed voices beside their sources).
std::string CopyDemo(const TempDir& dir) {
    namespace fs = std::filesystem;
    fs::copy(fs::path(KORVIS_SOURCE_DIR) / "examples/demo", dir.path() / "demo", fs::copy_options::recursive);
    return (dir.path() / "demo/demo.mrg").string();
}

QString Write(const TempDir& dir, const char* name) {
    return QString::fromStdString(dir.write(name, "x"));
}

}  // namespace

class ProgFormTest : public QObject {
    Q_OBJECT

private slots:
    void updateActions_data() {
        QTest::addColumn<int>("programmers");
        QTest::addColumn<bool>("cartridge");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<bool>("built");
        QTest::addColumn<bool>("writeOn");
        QTest::addColumn<bool>("readOn");
        // Expected: aDelGrp aPutInfoMr aBuild aLoadFromLMK ckFillTab aStop aExit
        QTest::addColumn<QString>("enabled");
        QTest::newRow("empty list") << 0 << true << false << false << false << false << "0000101";
        QTest::newRow("group, no build") << 0 << true << true << false << false << false << "1010101";
        QTest::newRow("built, no programmer") << 0 << true << true << true << false << false << "1000101";
        QTest::newRow("built, one programmer") << 1 << true << true << true << false << false << "1101101";
        QTest::newRow("one programmer, no cartridge") << 1 << false << true << true << false << false << "1100101";
        QTest::newRow("two programmers") << 2 << true << true << true << false << false << "1100101";
        QTest::newRow("writing") << 1 << true << true << true << true << false << "1000010";
        QTest::newRow("reading back") << 1 << true << true << true << false << true << "1000010";
        QTest::newRow("writing, option changed") << 1 << true << true << false << true << false << "1010010";
    }
    void updateActions() {
        QFETCH(int, programmers);
        QFETCH(bool, cartridge);
        QFETCH(bool, listed);
        QFETCH(bool, built);
        QFETCH(bool, writeOn);
        QFETCH(bool, readOn);
        QFETCH(QString, enabled);
        Rig rig(programmers, cartridge);
        TProgF& w = *rig.win;
        QTRY_COMPARE(w.Devices().UsbCprCount(), programmers);
        if (cartridge && programmers > 0) QTRY_VERIFY(w.Devices().slot(programmers - 1)->PageSize != 0);
        if (listed) QVERIFY(w.AddGroup(Write(rig.home, "a.mrg")));
        w.Shared().GroupBuilt = built;
        w.Shared().WriteOn = writeOn;
        w.Shared().ReadOn = readOn;
        w.UpdateActions();
        QString seen;
        for (bool on : {w.aDelGrp->isEnabled(), w.aPutInfoMr->isEnabled(), w.aBuild->isEnabled(),
                        w.LoadFromLMKAllowed(), w.ckFillTab->isEnabled(), w.aStop->isEnabled(),
                        w.aExit->isEnabled()})
            seen += on ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(seen, enabled);
        QVERIFY(w.aAddGrp->isEnabled());
        QVERIFY(!w.aSetSer->isEnabled());  // its serial-number field is hidden
        w.Shared().WriteOn = false;
        w.Shared().ReadOn = false;
    }

    void toolbarInOrderWithHiddenOnesHidden() {
        Rig rig;
        QStringList order;
        for (QAction* a : rig.win->ToolBar1->actions()) {
            if (a->isSeparator()) {
                order << QStringLiteral("|");
                continue;
            }
            order << (a->objectName().isEmpty() ? QStringLiteral("edSerNum") : a->objectName());
            if (a->isVisible()) QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
        }
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("aAddGrp aDelGrp | aPutInfoMr aBuild aLoadFromLMK | aStop | aAbout aExit | aViewMr "
                                "aSetSer aNewMode aCmpInfoMr aClearInfo edSerNum"));
        QStringList visible;
        for (QAction* a : rig.win->ToolBar1->actions())
            if (!a->isSeparator() && a->isVisible()) visible << a->objectName();
        QCOMPARE(visible.join(QLatin1Char(' ')), QStringLiteral("aAddGrp aDelGrp aPutInfoMr aBuild aStop aAbout aExit"));
        QCOMPARE(rig.win->windowTitle(), QStringLiteral("Запись группы маршрутов в ЛМК через USB v1.7"));
        // The start height of 332 is below the window's minimum, which wins.
        QCOMPARE(rig.win->height(), 392);
    }

    void groupListAtStart_data() {
        QTest::addColumn<int>("grpName");  // 0 unset, 1 a missing file, 2 an existing file
        QTest::addColumn<int>("lines");
        QTest::newRow("first start") << 0 << 0;
        QTest::newRow("missing file") << 1 << 0;
        QTest::newRow("last group") << 2 << 1;
    }
    void groupListAtStart() {
        QFETCH(int, grpName);
        QFETCH(int, lines);
        TempDir files;
        const std::string existing = files.write("last.mrg", "x");
        const std::string gone = files.str() + "/gone.mrg";
        RecordingPresenter mes;
        StoredList settings;
        if (grpName == 1) settings.push_back({"GrpName", 0, gone.c_str()});
        if (grpName == 2) settings.push_back({"GrpName", 0, existing.c_str()});
        Rig rig(0, false, settings);
        TProgF& w = *rig.win;
        QCOMPARE(w.lbListGL->count(), lines);
        QVERIFY(mes.Codes().empty());
        QCOMPARE(w.aBuild->isEnabled(), lines == 1);
        QCOMPARE(w.aDelGrp->isEnabled(), lines == 1);
        QVERIFY(!w.aPutInfoMr->isEnabled());
        if (lines == 1) {
            QCOMPARE(w.lbListGL->currentItem()->text(), QString::fromStdString(existing));
            QVERIFY(w.lbListGL->currentItem()->isSelected());
        }
    }

    void groupListAddAndRemove() {
        RecordingPresenter mes;
        Rig rig;
        TProgF& w = *rig.win;
        const QString a = Write(rig.home, "a.mrg");
        const QString upper = Write(rig.home, "A.MRG");
        const QString b = Write(rig.home, "b.mrg");
        QVERIFY(w.AddGroup(a));
        QVERIFY(!w.AddGroup(a));
        QCOMPARE(mes.Codes(), std::vector<int32_t>{1025});
        QCOMPARE(w.lbListGL->count(), 1);
        QVERIFY(w.AddGroup(upper));  // another letter case is another line
        QVERIFY(w.AddGroup(b));
        QCOMPARE(w.lbListGL->currentRow(), 2);

        // Removing a line selects the one before it, which GrpName then follows.
        w.Shared().GroupBuilt = true;
        w.aDelGrpExecute();
        QCOMPARE(w.lbListGL->count(), 2);
        QCOMPARE(w.lbListGL->currentItem()->text(), upper);
        QVERIFY(!w.Shared().GroupBuilt);
        QCOMPARE(InfoConfig.GrpName.value_or(""), upper.toStdString());

        // Removing the first line leaves nothing selected and GrpName cleared.
        w.lbListGL->setCurrentRow(0);
        w.aDelGrpExecute();
        QCOMPARE(w.lbListGL->count(), 1);
        QVERIFY(!w.lbListGL->currentItem() || !w.lbListGL->currentItem()->isSelected());
        QVERIFY(!InfoConfig.GrpName.has_value());
        QVERIFY(!w.aDelGrp->isEnabled() && !w.aBuild->isEnabled());

        w.lbListGL->setCurrentRow(0);
        w.aDelGrpExecute();
        QCOMPARE(w.lbListGL->count(), 0);
        QVERIFY(!InfoConfig.GrpName.has_value());
        QVERIFY(!w.aDelGrp->isEnabled());
    }

    void selectingAnotherLineKeepsTheBuild() {
        Rig rig;
        TProgF& w = *rig.win;
        QVERIFY(w.AddGroup(Write(rig.home, "a.mrg")));
        QVERIFY(w.AddGroup(Write(rig.home, "b.mrg")));
        w.Shared().GroupBuilt = true;
        w.UpdateActions();
        QTest::mouseClick(w.lbListGL->viewport(), Qt::LeftButton, {},
                          w.lbListGL->visualItemRect(w.lbListGL->item(0)).center());
        QCOMPARE(w.lbListGL->currentRow(), 0);
        QVERIFY(w.Shared().GroupBuilt);
        QVERIFY(!w.aBuild->isEnabled());
    }

    void optionsClearTheBuild() {
        Rig rig(0, false, {{"IsLang2", 1}});
        TProgF& w = *rig.win;
        QVERIFY(w.AddGroup(Write(rig.home, "a.mrg")));
        const std::vector<std::pair<const char*, std::function<void()>>> changes = {
            {"ckFillTab", [&] { w.ckFillTab->click(); }},
            {"ckFillTab again", [&] { w.ckFillTab->click(); }},
            {"ckV27", [&] { w.ckV27->click(); }},
            {"ckChangeLetter", [&] { w.ckChangeLetter->click(); }},
            {"cbLang2ToV23", [&] { w.cbLang2ToV23->setCurrentIndex(2); }},
        };
        for (const auto& [what, change] : changes) {
            w.Shared().GroupBuilt = true;
            w.UpdateActions();
            QVERIFY(!w.aBuild->isEnabled());
            change();
            QVERIFY2(!w.Shared().GroupBuilt, what);
            QVERIFY2(w.aBuild->isEnabled(), what);
        }
        QCOMPARE(int(InfoConfig.Lang2ToV23), 3);
        // A variant chosen in the window lasts until the program ends, not in the settings.
        QVERIFY(w.close());
        QCOMPARE(int(rig.StoredSettings().Lang2ToV23), 0);
    }

    void variantList_data() {
        QTest::addColumn<int>("lang2");
        QTest::addColumn<int>("lang3");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("variant");
        QTest::newRow("one language") << 0 << 0 << 0 << QList<int>{0} << 0 << 0;
        QTest::newRow("language 2") << 1 << 0 << 3 << QList<int>{0, 1, 3} << 2 << 3;
        QTest::newRow("language 3") << 0 << 1 << 4 << QList<int>{0, 2, 4} << 2 << 4;
        QTest::newRow("both") << 1 << 1 << 4 << QList<int>{0, 1, 2, 3, 4} << 4 << 4;
        QTest::newRow("stored variant not listed") << 0 << 1 << 1 << QList<int>{0, 2, 4} << 0 << 0;
    }
    void variantList() {
        QFETCH(int, lang2);
        QFETCH(int, lang3);
        QFETCH(int, stored);
        QFETCH(QList<int>, codes);
        QFETCH(int, selected);
        QFETCH(int, variant);
        Rig rig(0, false, {{"IsLang2", lang2}, {"IsLang3", lang3}, {"Lang2ToV23", stored}});
        TProgF& w = *rig.win;
        QCOMPARE(QList<int>(w.VariantCodes().begin(), w.VariantCodes().end()), codes);
        QCOMPARE(w.cbLang2ToV23->count(), codes.size());
        QCOMPARE(w.cbLang2ToV23->itemText(0), QStringLiteral("1 язык (Совместимо с табло до v2.3)"));
        QCOMPARE(w.cbLang2ToV23->currentIndex(), selected);
        QCOMPARE(int(InfoConfig.Lang2ToV23), variant);
        QCOMPARE(w.cbLang2ToV23->isEnabled(), lang2 || lang3);
    }

    void buildShowsWhatItNeeds() {
        RecordingPresenter mes;
        Rig rig;
        TProgF& w = *rig.win;
        const QString group = QString::fromStdString(CopyDemo(rig.home));
        QVERIFY(w.AddGroup(group));
        w.aBuildExecute();
        QVERIFY2(mes.Codes().empty(), mes.Texts().empty() ? "" : mes.Texts()[0].c_str());
        const int32_t length = w.Shared().ImageLength;
        QVERIFY(length > 0 && length % 512 == 0);
        QCOMPARE(uint32_t(length), w.WorkImage().ImageLength());
        QCOMPARE(w.labFill->text(), QStringLiteral("Необходимо: %1").arg(length));
        QCOMPARE(w.labFillTbs->text(),
                 QStringLiteral("Таб1=%1  Таб2=%2").arg(w.Builder().TableSize).arg(w.Builder().DisplaySize));
        QVERIFY(w.Builder().TableSize > 0);
        QVERIFY(w.Shared().GroupBuilt);
        QVERIFY(!w.aBuild->isEnabled());
        QCOMPARE(InfoConfig.GrpName.value_or(""), group.toStdString());

        // A group that cannot be read: its message, nothing needed, nothing to write.
        const QString bad = QString::fromStdString(rig.home.write("bad.mrg", "not a group\n"));
        QVERIFY(w.AddGroup(bad));
        w.aBuildExecute();
        QCOMPARE(mes.Codes(), std::vector<int32_t>{1008});
        QVERIFY(!w.Shared().GroupBuilt);
        QCOMPARE(w.labFill->text(), QStringLiteral("Необходимо: 0"));
        QVERIFY(w.aBuild->isEnabled());
        QVERIFY(!w.aPutInfoMr->isEnabled());
    }

    void windowGrowsAsPanelsAppear() {
        Rig rig;
        TProgF& w = *rig.win;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        bool grew = false;
        for (int n = 0; n < 10; ++n) {
            const int box = w.gbComPort->height();
            const int height = w.height();
            QVERIFY(rig.sim.add());
            QTRY_VERIFY(w.Panel(n)->isVisible());
            QTRY_COMPARE(w.Devices().UsbCprCount(), n + 1);
            if (box < PanelBoxNeeded(n)) {
                QTRY_COMPARE(w.gbComPort->height(), PanelBoxGrown(n));
                grew = true;
            } else {
                QCOMPARE(w.height(), height);
            }
            const QRect panel = w.Panel(n)->geometry();
            QCOMPARE(panel.top(), 41 * n + 20);
            QVERIFY(panel.bottom() < w.gbComPort->height());
        }
        QVERIFY(grew);
    }

    void panelTexts_data() {
        QTest::addColumn<int>("serial");
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("portSuffix");
        QTest::addColumn<int>("colour");
        const int normal = int(PanelColour::Normal);
        QTest::newRow("serial B123") << 100123 << 512 << 44 << 0 << "Устройство открыто и готово" << " (№B123)" << normal;
        QTest::newRow("no letter") << 250000 << 512 << 44 << 0 << "Устройство открыто и готово" << " (№0)" << normal;
        QTest::newRow("no pages") << 100123 << 0 << 44 << 0 << "Устройство открыто и готово" << "" << normal;
        QTest::newRow("written") << 1 << 512 << 255 << 0 << "Выполнено, ждем смены ЛМК" << " (№1)" << normal;
        QTest::newRow("no cartridge") << 0 << 512 << 1 << 0 << "ЛМК нет в Vedmar" << " (№0)" << normal;
        QTest::newRow("faulty") << 0 << 512 << 0 << 0 << "ЛМК неисправен" << " (№0)" << normal;
        QTest::newRow("too small") << 0 << 512 << 44 << -1 << "Группа больше объема ЛМК" << " (№0)"
                                   << int(PanelColour::Red);
        QTest::newRow("updated") << 0 << 512 << 44 << -2 << "Переподключите ЛМК" << " (№0)" << int(PanelColour::Lime);
    }
    void panelTexts() {
        QFETCH(int, serial);
        QFETCH(int, pageSize);
        QFETCH(int, code);
        QFETCH(int, status);
        QFETCH(QString, state);
        QFETCH(QString, portSuffix);
        QFETCH(int, colour);
        Rig rig(1);
        TProgF& w = *rig.win;
        QTRY_VERIFY(w.Devices().slot(0) && w.Devices().slot(0)->PageSize != 0);
        TUsbCpr& cpr = rig.Paused(0);
        cpr.Serial = serial;
        cpr.PageSize = pageSize;
        cpr.Code = static_cast<uint8_t>(code);
        cpr.Status = status;
        w.HandleReport(kReportView, 0, status);
        DevicePanel& p = *w.Panel(0);
        QCOMPARE(p.lbStat->text(), state);
        QCOMPARE(p.lbCom->text(), QString::fromStdString(cpr.PortName) + portSuffix);
        QCOMPARE(p.lbIdent->text(), QStringLiteral("2M + 0К"));
        QCOMPARE(int(p.Colour()), colour);
        QCOMPARE(PanelRgb(p.Colour()), p.palette().color(QPalette::Window));
    }

    void progressOfASmallImage() {
        Rig rig(1);
        TProgF& w = *rig.win;
        QTRY_VERIFY(w.Devices().slot(0) && w.Devices().slot(0)->PageSize != 0);
        rig.Paused(0);
        w.Shared().ImageLength = 10240;
        w.Shared().WriteOn = true;
        w.HandleReport(kReportInitBar, 0, 0);
        DevicePanel& p = *w.Panel(0);
        QCOMPARE(p.lbStat->text(), QStringLiteral("Выполняется запись в ЛМК"));
        QCOMPARE(p.pbProg->maximum(), 10240);
        QCOMPARE(p.labProc->text(), QStringLiteral("0%"));
        // The last report counts the image rounded up to the page size and 512 more.
        w.HandleReport(kReportSetBar, 0, 10240 + 512);
        QCOMPARE(p.pbProg->value(), 10240);
        QCOMPARE(p.labProc->text(), QStringLiteral("105% (0 сек)"));
        // A report for a slot that holds nothing changes nothing.
        w.HandleReport(kReportView, 5, 0);
        w.HandleReport(kReportSetBar, 5, 100);
        QVERIFY(!w.Panel(5)->isVisible());
        w.Shared().WriteOn = false;
    }

    void closingRefusedWhileWriting() {
        Rig rig(1);
        TProgF& w = *rig.win;
        w.show();
        QTRY_COMPARE(w.Devices().UsbCprCount(), 1);
        const QString group = Write(rig.home, "a.mrg");
        QVERIFY(w.AddGroup(group));
        InfoConfig.GrpName = group.toStdString();
        w.Shared().WriteOn = true;
        w.UpdateActions();
        QVERIFY(!w.aExit->isEnabled());
        QVERIFY(!w.close());
        QVERIFY(w.isVisible());
        QVERIFY(w.aExit->isEnabled());
        QCOMPARE(w.Devices().UsbCprCount(), 1);
        QVERIFY(w.close());
        QCOMPARE(w.Devices().UsbCprCount(), 0);
        QCOMPARE(rig.StoredSettings().GrpName.value_or(""), group.toStdString());

        // Read-back alone is never closed over.
        rig.win.reset();
        rig.start();
        QTRY_COMPARE(rig.win->Devices().UsbCprCount(), 1);
        rig.win->Shared().ReadOn = true;
        rig.win->UpdateActions();
        QVERIFY(!rig.win->close());
        QVERIFY(!rig.win->close());
        rig.win->Shared().ReadOn = false;
    }

    void demoWrittenIntoTwoCartridges() {
        RecordingPresenter mes;
        Rig rig(2);
        TProgF& w = *rig.win;
        w.show();
        QTRY_COMPARE(w.Devices().UsbCprCount(), 2);
        const QString group = QString::fromStdString(CopyDemo(rig.home));
        QVERIFY(w.AddGroup(group));
        QTRY_VERIFY(w.aPutInfoMr->isEnabled() || w.aBuild->isEnabled());
        w.aPutInfoMrExecute();  // builds first, then writes
        QVERIFY(mes.Codes().empty());
        QVERIFY(w.Shared().GroupBuilt && w.Shared().WriteOn);
        QVERIFY(w.aStop->isEnabled() && !w.aExit->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(w.Panel(0)->lbStat->text() == kDone && w.Panel(1)->lbStat->text() == kDone, 60000);

        const CartridgeImage& image = w.WorkImage();
        int pages = 0;
        for (size_t i = 0; i < 2; ++i) {
            const std::vector<uint8_t> cart = rig.sim.programmer(i)->cartridge();
            QVERIFY(cart.size() >= image.ImageLength());
            for (size_t b = 0; b < image.PageMap.size(); ++b) {
                if (!image.PageMap[b]) continue;
                ++pages;
                QVERIFY2(std::equal(cart.begin() + b * 256, cart.begin() + (b + 1) * 256,
                                    image.ImageBuffer.begin() + b * 256),
                         qPrintable(QStringLiteral("cartridge %1, page %2").arg(i).arg(b)));
            }
        }
        QVERIFY(pages > 0);

        w.aStopExecute();
        QVERIFY(w.aExit->isEnabled());
        QVERIFY(w.close());
        QCOMPARE(w.Devices().UsbCprCount(), 0);
        QCOMPARE(rig.StoredSettings().GrpName.value_or(""), group.toStdString());
    }
};

QTEST_MAIN(ProgFormTest)
#include "prog_form_test.moc"
