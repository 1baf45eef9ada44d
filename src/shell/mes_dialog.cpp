#include "shell/mes_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <algorithm>

#include "shell/shell_icons.h"

namespace {

constexpr int kIconSize = 41;
constexpr int kMargin = 8;
constexpr int kButtonHeight = 30;
constexpr int kMinButtonWidth = 200;

QString Shown(const std::string& utf8) {
    // Catalogue texts break lines with CR LF, as the informer's tools wrote them.
    return QString::fromUtf8(utf8).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

int TextWidth(const QFontMetrics& fm, const QString& text) {
    int w = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) w = std::max(w, fm.horizontalAdvance(line));
    return w;
}

}  // namespace

MesGeometry ComputeMesGeometry(int textWidth, int promptWidth, int widestCaption, int n, QSize screen,
                               int dialogHeight, int helpWidth) {
    MesGeometry g;
    const int w = std::max(widestCaption + 8, kMinButtonWidth);
    int W = std::max(textWidth, promptWidth) + 16;
    if ((w + 8) * n + 8 > W) W = (w + 8) * n + 8;
    W = std::min(W, screen.width() - 2);
    g.width = W;
    g.left = std::max(0, (screen.width() - W) / 2 - 1);
    g.top = (screen.height() - dialogHeight) / 2 - 1;
    g.promptLeft = (W - promptWidth) / 2 - 8;
    g.helpLeft = W - helpWidth - 10;
    if (n > 0) {
        g.buttonWidth = (W - 8) / n - 8;
        for (int k = 1; k <= n; ++k) g.buttonLefts.push_back(8 + (k - 1) * (g.buttonWidth + 8));
    }
    return g;
}

TMes::TMes(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(QStringLiteral("Сообщение системы ИНФОРМАТОР"));
    setModal(true);
    for (int i = 0; i < 4; ++i) {
        Icons[i] = new QLabel(this);
        Icons[i]->setObjectName(QStringLiteral("I%1").arg(i));
        Icons[i]->setPixmap(MesIconPixmap(i, kIconSize));
        Icons[i]->setGeometry(kMargin, kMargin, kIconSize, kIconSize);
        Icons[i]->hide();
    }
    LbNum = new QLabel(this);
    LbNum->setObjectName(QStringLiteral("LbNum"));
    QFont bold = LbNum->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    LbNum->setFont(bold);

    MesL1 = new QLabel(this);
    MesL1->setObjectName(QStringLiteral("MesL1"));
    MesL1->setAutoFillBackground(true);
    QPalette info = MesL1->palette();
    info.setColor(QPalette::Window, QColor(255, 255, 225));  // the info (tool-tip) colour
    info.setColor(QPalette::WindowText, Qt::black);
    MesL1->setPalette(info);
    MesL1->setTextInteractionFlags(Qt::TextSelectableByMouse);

    MesL2 = new QLabel(this);
    MesL2->setObjectName(QStringLiteral("MesL2"));

    for (int i = 0; i < 6; ++i) {
        B[i] = new QPushButton(this);
        B[i]->setObjectName(QStringLiteral("B%1").arg(i + 1));
        B[i]->setCursor(Qt::PointingHandCursor);
        B[i]->setToolTip(QStringLiteral("Для выбора нужного варианта нажмите соответствующую кнопку"));
        B[i]->setAutoDefault(false);
        B[i]->hide();
        connect(B[i], &QPushButton::clicked, this, [this, i] {
            answer_ = i + 1;
            accept();
        });
    }
    MesBB_Help = new QPushButton(QStringLiteral("Помощь"), this);
    MesBB_Help->setObjectName(QStringLiteral("MesBB_Help"));
    MesBB_Help->setToolTip(QStringLiteral("Получение описания сообщения"));
    MesBB_Help->hide();
}

void TMes::Prepare(const MesRequest& request) {
    for (QPushButton* b : B) b->hide();
    for (QLabel* i : Icons) i->hide();
    LbNum->setText(QStringLiteral("№%1").arg(request.code));
    Icons[std::clamp(request.row ? request.row->icon : 3, 0, 3)]->show();

    buttons_ = std::min<int>(request.buttons.size(), 6);
    const QFontMetrics fm(font());
    int widest = 0;
    for (int p = 0; p < buttons_; ++p) {
        B[p]->setText(QString::fromUtf8(request.buttons[p].caption));
        widest = std::max(widest, fm.horizontalAdvance(B[p]->text()));
    }

    MesL1->setText(Shown(request.text));
    MesL2->setText(QString::fromUtf8(request.prompt));
    const int textWidth = TextWidth(MesL1->fontMetrics(), MesL1->text()) + 2 * kMargin;
    const int promptWidth = TextWidth(MesL2->fontMetrics(), MesL2->text());

    const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = scr ? scr->geometry().size() : QSize(1024, 768);

    // First the width, then the height that the text needs at that width, then the position.
    MesGeometry g = ComputeMesGeometry(textWidth, promptWidth, widest, buttons_, screenSize, 0,
                                       MesBB_Help->sizeHint().width());
    const int W = g.width;
    const int textBoxWidth = W - 2 * kMargin;
    // A text wider than the screen is wrapped at the dialog's edge rather than cut off.
    MesL1->setWordWrap(textWidth > textBoxWidth);
    MesL1->setMargin(kMargin);
    const int textHeight = MesL1->wordWrap() ? MesL1->heightForWidth(textBoxWidth) : MesL1->sizeHint().height();

    const int top1 = kMargin + kIconSize + kMargin;
    LbNum->setGeometry(kMargin + kIconSize + kMargin, kMargin, W - kIconSize - 3 * kMargin, kIconSize);
    MesL1->setGeometry(kMargin, top1, textBoxWidth, textHeight);
    const int top2 = top1 + textHeight + kMargin;
    const int promptHeight = MesL2->sizeHint().height();
    const int top3 = top2 + promptHeight + kMargin;
    const int H = top3 + kButtonHeight + kMargin;

    g = ComputeMesGeometry(textWidth, promptWidth, widest, buttons_, screenSize, H, MesBB_Help->sizeHint().width());
    MesL2->setGeometry(g.promptLeft, top2, promptWidth, promptHeight);
    MesBB_Help->setGeometry(g.helpLeft, kMargin, MesBB_Help->sizeHint().width(), kButtonHeight);
    for (int p = 0; p < buttons_; ++p) {
        B[p]->setGeometry(g.buttonLefts[p], top3, g.buttonWidth, kButtonHeight);
        B[p]->show();
    }
    setFixedSize(W, H);
    move(scr ? scr->geometry().left() + g.left : g.left, scr ? scr->geometry().top() + g.top : g.top);
    answer_ = 1;
}

int TMes::Run(const MesRequest& request) {
    Prepare(request);
    QApplication::beep();
    if (buttons_ > 0) {
        B[0]->setDefault(true);
        B[0]->setFocus();
    }
    exec();
    return answer_;
}

QtMesPresenter::QtMesPresenter() = default;
QtMesPresenter::~QtMesPresenter() = default;

int QtMesPresenter::PresentHere(const MesRequest& request) {
    if (!dialog_) dialog_ = std::make_unique<TMes>();
    return dialog_->Run(request);
}

int QtMesPresenter::Present(const MesRequest& request) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) return PresentHere(request);
    int answer = 1;
    QMetaObject::invokeMethod(app, [&] { answer = PresentHere(request); }, Qt::BlockingQueuedConnection);
    return answer;
}
