#pragma once
// One programmer's panel in the main window: state, port and serial number, cartridge size,
// progress.
#include <QColor>
#include <QFrame>
#include <QString>
#include <cstdint>

#include "devices/panel_view.h"

class QLabel;
class QProgressBar;

// The panel's colours; which one a state gets is the device layer's rule (devices/panel_view.h).
QColor PanelRgb(PanelColour c);

class DevicePanel : public QFrame {
    Q_OBJECT
public:
    explicit DevicePanel(int index, QWidget* parent = nullptr);

    void SetColour(PanelColour c);
    PanelColour Colour() const { return colour_; }
    void SetTexts(const QString& state, const QString& size, const QString& port);
    // Texts, colour and (when the view says so) the progress reset of one view.
    void Apply(const PanelView& view);
    // Progress bar maximum; the position stops at it.
    void InitBar(int64_t maximum);
    void SetBar(int64_t done, double elapsedSeconds);
    void ResetProgress();
    int64_t BarMaximum() const { return maximum_; }

    QLabel* lbStat;
    QLabel* lbCom;
    QLabel* lbIdent;
    QProgressBar* pbProg;
    QLabel* labProc;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void AlignPort();

    PanelColour colour_ = PanelColour::Normal;
    int64_t maximum_ = 0;
};
