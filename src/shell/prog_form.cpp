#include "shell/prog_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <chrono>
#include <cstring>
#include <thread>

#include "devices/panel_view.h"
#include "devices/usb_cpr.h"
#include "devices/workers.h"
#include "image/group_build_image.h"
#include "messages/show_mes.h"
#include "model/lexer.h"
#include "model/standard_words.h"
#include "settings/settings.h"
#include "shell/device_panel.h"
#include "shell/shell_icons.h"
#include "shell/window_report_sink.h"
#include "voice/voice_item.h"

namespace {

constexpr int kStartHeight = 332;
constexpr int kPanelStep = 41;
constexpr int kPanelTop = 20;

// The board text variants: code, text, and which language switch lists it (0 = always).
struct Variant {
    int code;
    const char* text;
    int needs;  // 0 always, 2 IsLang2, 3 IsLang3
};
constexpr Variant kVariants[] = {
    {0, "1 язык (Совместимо с табло до v2.3)", 0},
    {1, "1 и 2 языки (Совместимо с табло до v2.3)", 2},
    {2, "1 и 3 языки (Совместимо с табло до v2.3)", 3},
    {3, "1 и 2 языки (Совместимо с табло v2.3 и выше)", 2},
    {4, "1 и 3 языки (Совместимо с табло v2.3 и выше)", 3},
};

QString Hint(const char* text) {
    // The hints were written with CR LF line breaks.
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

double NowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The device group box keeps its panels at fixed places, one row of 41 pixels per slot, and
// stretches them to its width.
class DeviceBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void resizeEvent(QResizeEvent* e) override {
        QGroupBox::resizeEvent(e);
        for (QObject* child : children())
            if (auto* panel = qobject_cast<DevicePanel*>(child)) panel->resize(std::max(100, width() - 16), 40);
    }
};

}  // namespace

TProgF::TProgF(Environment env, QWidget* parent) : QMainWindow(parent), env_(std::move(env)) {
    setObjectName(QStringLiteral("TProgF"));
    setWindowIcon(AppIcon());
    MakeActions();
    MakeControls();

    sink_ = std::make_unique<WindowReportSink>(
        [this](int message, int slot, int32_t value) { HandleReport(message, slot, value); });
    table_ = std::make_unique<UsbCprTable>(shared_, *sink_, *env_.source, env_.openPort);
    table_->setObserver(this);
    // The pump runs inside the handling of a device change, so it must not start another one.
    table_->setMessagePump([] { QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers); });

    // Device notifications first, so that nothing plugged in during the start-up is missed.
    std::string error;
    if (!table_->RegisterDevNotify(error)) {
        QMessageBox::warning(nullptr, QApplication::applicationName(), QString::fromStdString(error));
    } else if (env_.source->eventFd() >= 0) {
        deviceNotifier_ = new QSocketNotifier(env_.source->eventFd(), QSocketNotifier::Read, this);
        connect(deviceNotifier_, &QSocketNotifier::activated, this, [this] { OnDeviceChange(); });
    } else {
        devicePoll_ = new QTimer(this);
        connect(devicePoll_, &QTimer::timeout, this, [this] { OnDeviceChange(); });
        devicePoll_->start(100);
    }
    FormCreate();
}

TProgF::~TProgF() {
    // A window destroyed without its close (a test, an exception) still ends its workers first.
    if (table_) {
        table_->RequestStopAll();
        for (int s = 0; s < UsbCprTable::kSlots; ++s)
            while (table_->slot(s)) {
                QCoreApplication::processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        table_->JoinEnded();
    }
    table_.reset();
    builder_.reset();
}

void TProgF::MakeActions() {
    auto make = [this](const char* name, const char* caption, const char* hint, ToolGlyph glyph) {
        auto* a = new QAction(ToolIcon(glyph), QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(Hint(hint));
        a->setStatusTip(Hint(hint));
        return a;
    };
    aAddGrp = make("aAddGrp", "Добавить", "Добавить в список групп маршрутов", ToolGlyph::AddGroup);
    aDelGrp = make("aDelGrp", "Удалить", "Удалить группу маршрутов из списка", ToolGlyph::DeleteGroup);
    aBuild = make("aBuild", "Построить",
                  "Упаковать голосовые файлы, проверить и построить описание группы маршрутов", ToolGlyph::Build);
    aPutInfoMr = make("aPutInfoMr", "Зашить", "Зашить описание группы маршрутов и/или рекламы в ЛМК", ToolGlyph::Write);
    aStop = make("aStop", "Прервать", "Прервать процесс связи с UsbCpr", ToolGlyph::Stop);
    aLoadFromLMK = make("aLoadFromLMK", "Загрузить из ЛМК", "Загрузить содержимое из ЛМК", ToolGlyph::Load);
    aSetSer = make("aSetSer", "Уст. серийный №", "Установить серийный № ЛМК", ToolGlyph::Serial);
    aAbout = make("aAbout", "О программе...", "Общие сведения о программе Korvis", ToolGlyph::About);
    aExit = make("aExit", "Выход", "Закрыть окно работы с информаторами", ToolGlyph::Exit);
    aExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    aViewMr = make("aViewMr", "Структура", "Показать структуру построенного маршрута", ToolGlyph::View);
    aNewMode = make("aNewMode", "Новый метод",
                    "Зашить новым методом описание группы маршрутов и/или рекламы в информаторы", ToolGlyph::NewMode);
    aCmpInfoMr = make("aCmpInfoMr", "Сравнить", "Сравнить описание группы маршрутов и/или рекламы с содержимым ЛМК",
                      ToolGlyph::Compare);
    aClearInfo = make("aClearInfo", "Очистить", "Очистить память в ЛМК", ToolGlyph::Clear);
    for (QAction* hidden : {aLoadFromLMK, aViewMr, aSetSer, aNewMode, aCmpInfoMr, aClearInfo}) hidden->setVisible(false);

    connect(aAddGrp, &QAction::triggered, this, &TProgF::aAddGrpExecute);
    connect(aDelGrp, &QAction::triggered, this, &TProgF::aDelGrpExecute);
    connect(aBuild, &QAction::triggered, this, &TProgF::aBuildExecute);
    connect(aPutInfoMr, &QAction::triggered, this, &TProgF::aPutInfoMrExecute);
    connect(aStop, &QAction::triggered, this, &TProgF::aStopExecute);
    connect(aLoadFromLMK, &QAction::triggered, this, &TProgF::aLoadFromLMKExecute);
    connect(aSetSer, &QAction::triggered, this, &TProgF::aSetSerExecute);
    connect(aAbout, &QAction::triggered, this, &TProgF::aAboutExecute);
    connect(aExit, &QAction::triggered, this, &TProgF::aExitExecute);
}

void TProgF::MakeControls() {
    QFont font = QApplication::font();
    setFont(font);
    setMinimumSize(724, 392);
    resize(995, 821);

    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(22, 22));
    ToolBar1->setFixedHeight(28 + 4);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar1->addAction(aAddGrp);
    ToolBar1->addAction(aDelGrp);
    ToolBar1->addSeparator();
    ToolBar1->addAction(aPutInfoMr);
    ToolBar1->addAction(aBuild);
    ToolBar1->addAction(aLoadFromLMK);
    ToolBar1->addSeparator();
    ToolBar1->addAction(aStop);
    ToolBar1->addSeparator();
    ToolBar1->addAction(aAbout);
    ToolBar1->addAction(aExit);
    ToolBar1->addSeparator();
    ToolBar1->addAction(aViewMr);
    ToolBar1->addAction(aSetSer);
    ToolBar1->addAction(aNewMode);
    ToolBar1->addAction(aCmpInfoMr);
    ToolBar1->addAction(aClearInfo);
    edSerNum = new QLineEdit(ToolBar1);
    edSerNum->setObjectName(QStringLiteral("edSerNum"));
    edSerNum->setValidator(new QIntValidator(0, 2147483647, edSerNum));
    edSerNum->setFixedWidth(90);
    edSerNumAction = ToolBar1->addWidget(edSerNum);

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(6);

    auto* left = new QWidget(central);
    auto* col = new QVBoxLayout(left);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(4);
    lbTimeSys = new QLabel(left);
    lbTimeSys->setObjectName(QStringLiteral("lbTimeSys"));
    lbTimeSys->setAutoFillBackground(true);
    lbTimeSys->setMargin(3);
    QPalette info = lbTimeSys->palette();
    info.setColor(QPalette::Window, QColor(255, 255, 225));
    info.setColor(QPalette::WindowText, Qt::black);
    lbTimeSys->setPalette(info);
    col->addWidget(lbTimeSys);

    ckFillTab = new QCheckBox(QStringLiteral("Компактное построение"), left);
    ckFillTab->setObjectName(QStringLiteral("ckFillTab"));
    ckFillTab->setToolTip(QStringLiteral("Строить компактно таблицы группы маршрутов"));
    ckV27 = new QCheckBox(QStringLiteral("Символьные табло ранее v2.7"), left);
    ckV27->setObjectName(QStringLiteral("ckV27"));
    ckV27->setToolTip(QStringLiteral("Генерировать информацию с учетом особенностей символьных табло ранее v2.7"));
    ckV27->setChecked(true);
    ckChangeLetter = new QCheckBox(QStringLiteral("Выполнять подмену татарских букв похожими"), left);
    ckChangeLetter->setObjectName(QStringLiteral("ckChangeLetter"));
    ckChangeLetter->setChecked(true);
    for (QCheckBox* ck : {ckFillTab, ckV27, ckChangeLetter}) {
        col->addWidget(ck);
        // A click, not a programmatic change: the start state from the settings is no option change.
        connect(ck, &QCheckBox::clicked, this, [this] { OptionChanged(); });
    }

    labVariant = new QLabel(QStringLiteral("Вариант текстов для символьных табло:"), left);
    col->addWidget(labVariant);
    cbLang2ToV23 = new QComboBox(left);
    cbLang2ToV23->setObjectName(QStringLiteral("cbLang2ToV23"));
    cbLang2ToV23->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    col->addWidget(cbLang2ToV23);
    connect(cbLang2ToV23, &QComboBox::currentIndexChanged, this, &TProgF::VariantChanged);

    gbProc = new QGroupBox(QStringLiteral("Общая информационная панель"), left);
    gbProc->setObjectName(QStringLiteral("gbProc"));
    auto* proc = new QVBoxLayout(gbProc);
    proc->setSpacing(2);
    labAction = new QLabel(gbProc);
    labAction->setObjectName(QStringLiteral("labAction"));
    labFile = new QLabel(gbProc);
    labFile->setObjectName(QStringLiteral("labFile"));
    labFile->setWordWrap(true);
    labFill = new QLabel(gbProc);
    labFill->setObjectName(QStringLiteral("labFill"));
    labFillTbs = new QLabel(QStringLiteral("Табл1:"), gbProc);
    labFillTbs->setObjectName(QStringLiteral("labFillTbs"));
    for (QLabel* l : {labAction, labFile, labFill, labFillTbs}) {
        l->setMinimumHeight(l->fontMetrics().height());
        proc->addWidget(l);
    }
    col->addWidget(gbProc);

    labGroups = new QLabel(QStringLiteral("Список доступных групп маршрутов"), left);
    col->addWidget(labGroups);
    lbListGL = new QListWidget(left);
    lbListGL->setObjectName(QStringLiteral("lbListGL"));
    lbListGL->setToolTip(QStringLiteral("Список группп маршрутов"));
    lbListGL->setContextMenuPolicy(Qt::CustomContextMenu);
    lbListGL->setTextElideMode(Qt::ElideLeft);
    col->addWidget(lbListGL, 1);
    pmListGL = new QMenu(this);
    pmListGL->setObjectName(QStringLiteral("pmListGL"));
    pmListGL->addAction(aAddGrp);
    pmListGL->addAction(aDelGrp);
    connect(lbListGL, &QListWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pmListGL->popup(lbListGL->viewport()->mapToGlobal(at)); });
    // A double click anywhere in the list adds a group, on a line or below the last one.
    lbListGL->viewport()->installEventFilter(this);

    left->setMinimumWidth(220);
    left->setMaximumWidth(480);
    row->addWidget(left, 2);

    gbComPort = new DeviceBox(QStringLiteral("Список доступных устройств"), central);
    gbComPort->setObjectName(QStringLiteral("gbComPort"));
    gbComPort->setMinimumWidth(478 + 16);
    for (int n = 0; n < UsbCprTable::kSlots; ++n) {
        pnCom[n] = new DevicePanel(n, gbComPort);
        pnCom[n]->move(8, kPanelStep * n + kPanelTop);
        pnCom[n]->hide();
    }
    row->addWidget(gbComPort, 3);
    setCentralWidget(central);

    opDlgG = new QFileDialog(this, QStringLiteral("Выбор файла описания группы маршрутов"));
    opDlgG->setObjectName(QStringLiteral("opDlgG"));
    opDlgG->setNameFilter(QStringLiteral("Группа маршрутов (*.mrg)"));
    opDlgG->setDefaultSuffix(QStringLiteral("mrg"));
    opDlgG->setFileMode(QFileDialog::ExistingFile);
    opDlgG->setAcceptMode(QFileDialog::AcceptOpen);
    opDlgG->setOption(QFileDialog::DontUseNativeDialog, true);
}

void TProgF::FormCreate() {
    setWindowTitle(QStringLiteral("Запись группы маршрутов в ЛМК через USB ") + QStringLiteral("v1.7"));
    cbLang2ToV23->setToolTip(Hint("Выберите вариант включения текстов\r\nдля символьных табло до версий 2.3 или последующих"));
    ckChangeLetter->setToolTip(
        Hint("Генерировать тексты символьных табло с подменой татарских букв похожими\r\n(для символьных табло версий до 2.9)"));
    edSerNumAction->setVisible(false);
    aSetSer->setEnabled(false);
    resize(width(), kStartHeight);

    FindFirmware(firmware_, env_.firmwareFolders.empty() ? DefaultFirmwareFolders() : env_.firmwareFolders);
    shared_.Firmware = &firmware_;

    readBuffer_.assign(kImageBufferSize, 0);
    shared_.ImageBuffer = workImage_.ImageBuffer.data();
    shared_.PageMap = workImage_.PageMap.data();
    shared_.ReadBuffer = readBuffer_.data();
    builder_ = std::make_unique<TGroupBuildImage>(buildImage_);
    // The name character table is a constant of the image library; nothing to build here.

    systemVersion_ = QuerySystemVersion();
    LoadSettings();
    ckChangeLetter->setChecked(InfoConfig.ChangeTat != 0);
    FillVariants();

    lbListGL->clear();
    if (InfoConfig.GrpName && !InfoConfig.GrpName->empty()) {
        const QString last = QString::fromStdString(*InfoConfig.GrpName);
        if (QFileInfo(last).isFile()) AddGroup(last);
    }
    InitLexer();

    labFile->clear();
    labAction->clear();
    labFill->clear();
    if (lbListGL->count() > 0) lbListGL->setCurrentRow(0);

    table_->EnumProgrammers();
    table_->AddFoundDevices();
    ShowTime();
    UpdateActions();
}

void TProgF::ShowTime() {
    const QDateTime now = QDateTime::currentDateTime();
    const int sundayFirst = now.date().dayOfWeek() % 7 + 1;  // Qt counts from Monday = 1
    lbTimeSys->setText(QLocale::system().toString(now, QLocale::ShortFormat) + QLatin1Char(' ') +
                       QString::fromUtf8(WeekdayNames[sundayFirst]));
}

void TProgF::FillVariants() {
    const QSignalBlocker quiet(cbLang2ToV23);
    cbLang2ToV23->clear();
    variantCodes_.clear();
    const bool lang2 = InfoConfig.IsLang2 != 0;
    const bool lang3 = InfoConfig.IsLang3 != 0;
    for (const Variant& v : kVariants) {
        if ((v.needs == 2 && !lang2) || (v.needs == 3 && !lang3)) continue;
        cbLang2ToV23->addItem(QString::fromUtf8(v.text));
        variantCodes_.push_back(v.code);
    }
    cbLang2ToV23->setEnabled(lang2 || lang3);
    int chosen = -1;
    for (size_t i = 0; i < variantCodes_.size() && i < 5; ++i)
        if (variantCodes_[i] == InfoConfig.Lang2ToV23) {
            chosen = static_cast<int>(i);
            break;
        }
    if (chosen < 0) {
        chosen = 0;
        InfoConfig.Lang2ToV23 = 0;
    }
    cbLang2ToV23->setCurrentIndex(chosen);
}

void TProgF::OptionChanged() {
    shared_.GroupBuilt = false;
    UpdateActions();
}

void TProgF::VariantChanged(int index) {
    InfoConfig.Lang2ToV23 = static_cast<uint8_t>(index >= 0 && index < static_cast<int>(variantCodes_.size())
                                                     ? variantCodes_[index]
                                                     : 0);
    shared_.GroupBuilt = false;
    UpdateActions();
}

void TProgF::UpdateActions() {
    const bool sel = lbListGL->currentRow() >= 0 && lbListGL->currentItem() && lbListGL->currentItem()->isSelected();
    const bool busy = shared_.ReadOn || shared_.WriteOn;
    const bool built = shared_.GroupBuilt;

    aDelGrp->setEnabled(sel);
    aPutInfoMr->setEnabled(table_->UsbCprCount() > 0 && sel && built && !busy);

    bool load = false;
    if (table_->UsbCprCount() == 1) {
        for (int s = 0; s < UsbCprTable::kSlots; ++s)
            if (const TUsbCpr* cpr = table_->slot(s)) load = cpr->PageSize != 0;
    }
    // A hidden action never reports itself enabled, so the rule's result is kept apart.
    loadAllowed_ = load && !busy && !building_;
    aLoadFromLMK->setEnabled(loadAllowed_);
    aSetSer->setEnabled(loadAllowed_ && edSerNumAction->isVisible());
    aBuild->setEnabled(sel && !built);
    ckFillTab->setEnabled(!busy);
    aStop->setEnabled(busy);
    aExit->setEnabled(!busy);

    if (building_) {
        // A build in progress answers nothing else until it is done.
        for (QAction* a : {aAddGrp, aDelGrp, aPutInfoMr, aLoadFromLMK, aSetSer, aBuild, aExit}) a->setEnabled(false);
        ckFillTab->setEnabled(false);
    } else {
        aAddGrp->setEnabled(true);
    }
}

bool TProgF::AddGroup(const QString& path) {
    for (int i = 0; i < lbListGL->count(); ++i)
        if (lbListGL->item(i)->text() == path) {
            ShowMes(1025);
            return false;
        }
    lbListGL->addItem(path);
    lbListGL->setCurrentRow(lbListGL->count() - 1);
    UpdateActions();
    return true;
}

void TProgF::aAddGrpExecute() {
    if (building_) return;
    opDlgG->selectFile(QString());
    if (opDlgG->exec() == QDialog::Accepted) {
        const QStringList files = opDlgG->selectedFiles();
        if (!files.isEmpty() && !files.first().isEmpty()) AddGroup(files.first());
    }
    shared_.GroupBuilt = false;
    UpdateActions();
}

void TProgF::aDelGrpExecute() {
    if (building_) return;
    const int row = lbListGL->currentRow();
    if (row >= 0 && lbListGL->currentItem() && lbListGL->currentItem()->isSelected()) {
        delete lbListGL->takeItem(row);
        // The line before the one removed takes its place; removing the first leaves none.
        if (row > 0) {
            lbListGL->setCurrentRow(row - 1);
        } else {
            lbListGL->setCurrentRow(-1);
            lbListGL->clearSelection();
        }
        shared_.GroupBuilt = false;
        UpdateActions();
    }
    const QListWidgetItem* now = lbListGL->currentRow() >= 0 ? lbListGL->currentItem() : nullptr;
    if (now && now->isSelected() && !now->text().isEmpty() && now->text() != QStringLiteral(" "))
        InfoConfig.GrpName = now->text().toStdString();
    else
        InfoConfig.GrpName.reset();
}

bool TProgF::RunBuild(const std::string& groupFile) {
    // The build runs on a thread of its own while this one keeps the window painted and the
    // programmers' reports answered; its messages are shown here through the presenter.
    struct Doing {
        std::mutex mutex;
        BuildStep step = BuildStep::Route;
        std::string file;
        bool any = false;
    } doing;
    builder_->Progress = [&doing](BuildStep step, const std::string& file) {
        const std::lock_guard<std::mutex> lock(doing.mutex);
        doing.step = step;
        doing.file = file;
        doing.any = true;
    };
    std::atomic<bool> done{false};
    bool ok = false;
    QEventLoop loop;
    std::thread worker([&] {
        ok = builder_->Build(groupFile);
        done = true;
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        BuildStep step = BuildStep::Route;
        std::string file;
        {
            const std::lock_guard<std::mutex> lock(doing.mutex);
            if (!doing.any) return;
            step = doing.step;
            file = doing.file;
        }
        const QString action =
            step == BuildStep::PackVoice ? QStringLiteral("Упаковка голосового файла") : QStringLiteral("Построение маршрута");
        labAction->setText(QStringLiteral("%1 (%2 сек)").arg(action).arg(clock.elapsed() / 1000));
        labFile->setText(QString::fromStdString(file));
    });
    tick.start(100);
    if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    builder_->Progress = nullptr;
    return ok;
}

void TProgF::PublishImage() {
    // Workers write from workImage_; while any of them is in the middle of a cartridge the image
    // stays as it is. GroupBuilt is clear, so no new cartridge starts meanwhile.
    if (table_->AnyCartridgeInProgress()) {
        labAction->setText(QStringLiteral("Ожидание окончания записи ЛМК"));
        while (table_->AnyCartridgeInProgress()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    std::memcpy(workImage_.ImageBuffer.data(), buildImage_.ImageBuffer.data(), workImage_.ImageBuffer.size());
    std::memcpy(workImage_.PageMap.data(), buildImage_.PageMap.data(), workImage_.PageMap.size());
    workImage_.ImageEnd = buildImage_.ImageEnd;
    shared_.ImageLength = static_cast<int32_t>(workImage_.ImageLength());
}

void TProgF::aBuildExecute() {
    if (building_) return;
    const int row = lbListGL->currentRow();
    if (row < 0) return;
    const QString path = lbListGL->item(row)->text();
    ShowTime();
    InfoConfig.GrpName = path.toStdString();
    shared_.GroupBuilt = false;
    buildImage_.ImageEnd = 0;

    builder_->Options.compact = ckFillTab->isChecked();
    builder_->Options.substituteTatar = ckChangeLetter->isChecked();
    builder_->Options.boardsBeforeV27 = ckV27->isChecked();
    builder_->Options.lang2ToV23 = InfoConfig.Lang2ToV23;
    builder_->Options.isLang2 = InfoConfig.IsLang2 != 0;
    builder_->Options.isLang3 = InfoConfig.IsLang3 != 0;

    building_ = true;
    // Device arrivals wait until the build is done: an open that fails shows a message, and only
    // one message can be up at a time.
    if (deviceNotifier_) deviceNotifier_->setEnabled(false);
    if (devicePoll_) devicePoll_->stop();
    UpdateActions();
    labAction->setText(QStringLiteral("Построение группы маршрутов"));
    labFile->setText(path);
    const bool ok = RunBuild(path.toStdString());
    PublishImage();
    building_ = false;
    if (deviceNotifier_) deviceNotifier_->setEnabled(true);
    if (devicePoll_) devicePoll_->start(100);

    labAction->clear();
    labFile->clear();
    const int32_t length = shared_.ImageLength;
    labFill->setText(QStringLiteral("Необходимо: ") + QString::number(length));
    labFillTbs->setText(QStringLiteral("Таб1=") + QString::number(builder_->TableSize) + QStringLiteral("  Таб2=") +
                        QString::number(builder_->DisplaySize));
    shared_.GroupBuilt = ok && length > 0;
    UpdateActions();
}

void TProgF::aPutInfoMrExecute() {
    if (building_) return;
    if (!shared_.GroupBuilt) aBuildExecute();
    if (shared_.GroupBuilt) shared_.WriteOn = true;
    secondCloseGoesThrough_ = false;
    UpdateActions();
}

void TProgF::aStopExecute() {
    shared_.ReadOn = false;
    shared_.WriteOn = false;
    secondCloseGoesThrough_ = false;
    UpdateActions();
}

void TProgF::aLoadFromLMKExecute() {
    if (!loadAllowed_) return;
    shared_.ReadOn = true;
    UpdateActions();
}

void TProgF::aSetSerExecute() {
    bool ok = false;
    const int32_t number = edSerNum->text().toInt(&ok);
    if (!ok) return;  // nothing typed: no number to give the cartridge
    table_->SetSerial(number);
}

void TProgF::aAboutExecute() {
    if (!about_) about_ = std::make_unique<TAboutF>(systemVersion_, this);
    about_->exec();
}

void TProgF::aExitExecute() {
    shared_.WriteOn = false;
    table_->RequestStopAll();
    close();
}

void TProgF::closeEvent(QCloseEvent* event) {
    if (building_ || closing_) {
        event->ignore();
        return;
    }
    if (!aExit->isEnabled() && !secondCloseGoesThrough_) {
        if (shared_.WriteOn) {
            aExit->setEnabled(true);
            // Reports may disable aExit again before the operator's second try; that try still
            // goes through.
            secondCloseGoesThrough_ = true;
        }
        event->ignore();
        return;
    }
    closing_ = true;
    for (int s = 0; s < UsbCprTable::kSlots; ++s) {
        if (TUsbCpr* cpr = table_->slot(s)) {
            cpr->Control = kControlStop;
            while (table_->slot(s)) {
                QCoreApplication::processEvents();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    }
    table_->JoinEnded();
    builder_.reset();
    ReleaseAllVoices();
    if (!SaveSettings())
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Не удалось сохранить настройки программы"));
    closing_ = false;
    event->accept();
}

void TProgF::OnDeviceChange() {
    if (inDeviceChange_) return;
    inDeviceChange_ = true;
    if (deviceNotifier_) deviceNotifier_->setEnabled(false);
    table_->OnMyDeviceChange();
    if (deviceNotifier_ && !building_) deviceNotifier_->setEnabled(true);
    inDeviceChange_ = false;
    table_->JoinEnded();
    UpdateActions();
}

void TProgF::EnsurePanelVisible(int slot) {
    // Panel n sits at 41 n + 20 in the device box; a box lower than 41 n + 60 cannot show it, so
    // the window grows until the box is 41 n + 68 high.
    const int box = DeviceBoxHeight();
    if (box < PanelBoxNeeded(slot)) resize(width(), height() + PanelBoxGrown(slot) - box);
}

int TProgF::DeviceBoxHeight() {
    // Before the window is first shown (programmers found at start) its layout has not run yet.
    if (layout()) layout()->activate();
    if (centralWidget() && centralWidget()->layout()) centralWidget()->layout()->activate();
    return gbComPort->height();
}

bool TProgF::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lbListGL->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        if (aAddGrp->isEnabled()) aAddGrpExecute();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TProgF::slotAttached(int slot, TUsbCpr& cpr) {
    DevicePanel* p = pnCom[slot];
    cpr.Panel = p;
    cpr.PanelIndex = slot;
    p->move(8, kPanelStep * slot + kPanelTop);
    p->resize(std::max(100, gbComPort->width() - 16), 40);
    p->show();
    EnsurePanelVisible(slot);
    p->lbCom->setText(QString::fromStdString(cpr.PortName));
}

void TProgF::slotOpened(int slot, TUsbCpr& cpr) {
    DevicePanel* p = pnCom[slot];
    p->lbStat->setText(QStringLiteral("Устройство открыто"));
    p->lbIdent->setText(QString::fromStdString(SizeText(cpr.FlashMb, cpr.Value17)));
}

void TProgF::slotRemoved(int slot) { pnCom[slot]->hide(); }

void TProgF::HandleReport(int message, int slot, int32_t value) {
    if (slot < 0 || slot >= UsbCprTable::kSlots || !table_->slot(slot)) return;
    switch (message) {
    case kReportView: OnViewUsbDevice(slot); break;
    case kReportEnd: OnDelUsbDevice(slot); break;
    case kReportInitBar: OnInitBarUsbDevice(slot, value); break;
    case kReportSetBar: OnSetBarUsbDevice(slot, value); break;
    case kReportInitBoot: OnInitBarUsbBoot(slot, value); break;
    case kReportSetBoot: OnSetBarUsbDevice(slot, value); break;
    default: break;
    }
}

void TProgF::OnViewUsbDevice(int slot) {
    const TUsbCpr& cpr = *table_->slot(slot);
    pnCom[slot]->Apply(ViewUsbDevice(cpr, shared_.WriteOn, shared_.ReadOn));
    UpdateActions();
}

void TProgF::OnDelUsbDevice(int slot) {
    table_->RemoveDevice(slot);
    UpdateActions();
}

void TProgF::OnInitBarUsbDevice(int slot, int32_t maximum) {
    TUsbCpr& cpr = *table_->slot(slot);
    DevicePanel* p = pnCom[slot];
    const PanelView v = InitBarView(cpr, shared_.ReadOn);
    p->SetColour(v.colour);
    p->lbStat->setText(QString::fromStdString(v.state));
    p->InitBar(maximum != 0 ? maximum : shared_.ImageLength.load());
    cpr.StartTime = NowSeconds();
}

void TProgF::OnSetBarUsbDevice(int slot, int32_t done) {
    const TUsbCpr& cpr = *table_->slot(slot);
    pnCom[slot]->SetBar(done, NowSeconds() - cpr.StartTime);
    if (!shared_.WriteOn && !shared_.ReadOn) UpdateActions();
}

void TProgF::OnInitBarUsbBoot(int slot, int32_t pages) {
    TUsbCpr& cpr = *table_->slot(slot);
    DevicePanel* p = pnCom[slot];
    p->Apply(InitBootView(cpr, firmware_.major(), firmware_.minor()));
    p->InitBar(pages != 0 ? pages : p->BarMaximum());
    cpr.StartTime = NowSeconds();
}
