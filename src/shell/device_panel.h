#pragma once
// One programmer's panel in the main window, and the rules that turn a programmer's reported
// state into the panel's texts and colour. The rules take plain values, so that they hold the
// same for a real programmer and a simulated one.
#include <QColor>
#include <QFrame>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;

// What a panel shows of a programmer, copied from its slot while the worker waits.
struct PanelSlotState {
    uint8_t code = 0;     // last cartridge code
    bool opened = false;  // the port is open
    int flashMb = 0;
    int32_t value17 = 0;
    int32_t status = 0;   // 0, -1 too small, -2 reconnect
    int32_t pageSize = 0;
    int32_t serial = 0;
    std::string portName;
};

enum class PanelColour { Normal, Red, Lime };

QColor PanelRgb(PanelColour c);

struct PanelView {
    QString state;
    QString size;
    QString port;
    std::optional<PanelColour> colour;  // unchanged when absent
    bool resetProgress = false;        // bar to 0 and "0%"
};

// The state change report of a write worker.
PanelView ViewUsbDevice(const PanelSlotState& s, bool writeOn, bool readOn);

// The port label: the port, and for a sized cartridge its serial number with the batch letter.
QString PortText(const std::string& portName, int32_t pageSize, int32_t serial);

// "2M + 0К"
QString SizeText(int flashMb, int32_t value17);

// "<percent>% (<seconds> сек)"; a zero maximum shows 0 %.
QString ProgressText(int64_t done, int64_t maximum, double elapsedSeconds);

class DevicePanel : public QFrame {
    Q_OBJECT
public:
    explicit DevicePanel(int index, QWidget* parent = nullptr);

    void SetColour(PanelColour c);
    PanelColour Colour() const { return colour_; }
    void SetTexts(const QString& state, const QString& size, const QString& port);
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
    PanelColour colour_ = PanelColour::Normal;
    int64_t maximum_ = 0;
};
