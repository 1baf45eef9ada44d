#include "shell/device_panel.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

QColor PanelRgb(PanelColour c) {
    switch (c) {
    case PanelColour::Red: return QColor(255, 0, 0);
    case PanelColour::Lime: return QColor(0, 255, 0);
    default: return QColor(227, 227, 227);  // the light edge colour of 3-D controls
    }
}

namespace {
constexpr int kStatWidth = 264;
constexpr int kBarWidth = 356;
constexpr int kRowHeight = 18;
}  // namespace

DevicePanel::DevicePanel(int index, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("pnCom%1").arg(index));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setAutoFillBackground(true);
    resize(478, 40);

    auto label = [this](const char* name, int index, const QString& text, Qt::Alignment align) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(index));
        l->setAlignment(align | Qt::AlignVCenter);
        return l;
    };
    lbStat = label("lbStat", index, QStringLiteral("Не определен"), Qt::AlignRight);
    lbCom = label("lbCom", index, QStringLiteral("Com00"), Qt::AlignHCenter);
    lbCom->setAutoFillBackground(true);
    QPalette yellow = lbCom->palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    yellow.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lbCom->setPalette(yellow);
    lbIdent = label("lbIdent", index, QStringLiteral("0 M"), Qt::AlignRight);
    pbProg = new QProgressBar(this);
    pbProg->setObjectName(QStringLiteral("pbProg%1").arg(index));
    pbProg->setTextVisible(false);
    pbProg->setRange(0, 100);
    pbProg->setValue(0);
    labProc = label("labProc", index, QStringLiteral("0%"), Qt::AlignLeft);
    SetColour(PanelColour::Normal);
}

void DevicePanel::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    // Fixed parts on the left, the rest of the width to the port and size labels.
    const int w = width();
    // The size text is short ("16M + 0К"); a port name can be a long device path, so the port
    // label takes everything else.
    const int ident = 64;
    const int com = std::max(0, w - kStatWidth - ident - 16);
    lbStat->setGeometry(3, 2, kStatWidth, kRowHeight);
    lbCom->setGeometry(kStatWidth + 7, 2, com, kRowHeight);
    lbIdent->setGeometry(kStatWidth + 11 + com, 2, ident, kRowHeight);
    const int barWidth = std::min(kBarWidth, std::max(40, w - 110));
    pbProg->setGeometry(3, 21, barWidth, 16);
    labProc->setGeometry(barWidth + 8, 20, std::max(0, w - barWidth - 10), kRowHeight);
    AlignPort();
}

void DevicePanel::AlignPort() {
    // A port text wider than its label keeps its end in sight: the device's own name and the
    // cartridge's serial number matter more than the folder it lives in.
    const bool fits = lbCom->fontMetrics().horizontalAdvance(lbCom->text()) <= lbCom->width();
    lbCom->setAlignment((fits ? Qt::AlignHCenter : Qt::AlignRight) | Qt::AlignVCenter);
}

void DevicePanel::SetColour(PanelColour c) {
    colour_ = c;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, PanelRgb(c));
    setPalette(pal);
}

void DevicePanel::SetTexts(const QString& state, const QString& size, const QString& port) {
    lbCom->setText(port);
    lbCom->setToolTip(port);
    AlignPort();
    lbIdent->setText(size);
    lbStat->setText(state);
}

void DevicePanel::Apply(const PanelView& view) {
    SetColour(view.colour);
    SetTexts(QString::fromStdString(view.state), QString::fromStdString(view.size), QString::fromStdString(view.port));
    if (view.resetProgress) ResetProgress();
}

void DevicePanel::InitBar(int64_t maximum) {
    maximum_ = maximum;
    // QProgressBar counts in int; byte counts of a 16 MB cartridge fit, but keep the scale safe.
    pbProg->setRange(0, static_cast<int>(std::clamp<int64_t>(maximum, 1, INT32_MAX)));
    pbProg->setValue(0);
    labProc->setText(QStringLiteral("0%"));
}

void DevicePanel::SetBar(int64_t done, double elapsedSeconds) {
    pbProg->setValue(static_cast<int>(std::clamp<int64_t>(done, 0, pbProg->maximum())));
    labProc->setText(QString::fromStdString(ProgressText(done, maximum_, elapsedSeconds)));
}

void DevicePanel::ResetProgress() {
    pbProg->setValue(0);
    labProc->setText(QStringLiteral("0%"));
}
