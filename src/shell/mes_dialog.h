#pragma once
// The message dialog of korvis and the presenter that shows ShowMes requests in it.
#include <QDialog>
#include <QRect>
#include <QSize>
#include <array>
#include <memory>
#include <vector>

#include "messages/show_mes.h"

class QLabel;
class QPushButton;

// Where the dialog puts itself and its buttons, from the measured widths of its texts.
struct MesGeometry {
    int width = 0;        // W
    int left = 0;         // of the dialog on the screen
    int top = 0;
    int promptLeft = 0;   // MesL2
    int helpLeft = 0;
    int buttonWidth = 0;
    std::vector<int> buttonLefts;
};

// textWidth and promptWidth: the client widths of MesL1 and MesL2; widestCaption: the widest
// button caption in the dialog's font; n: the number of buttons.
MesGeometry ComputeMesGeometry(int textWidth, int promptWidth, int widestCaption, int n, QSize screen,
                               int dialogHeight, int helpWidth);

class TMes : public QDialog {
    Q_OBJECT
public:
    explicit TMes(QWidget* parent = nullptr);

    // Shows the request modally; returns the position (1..n) of the button pressed, 1 when the
    // dialog was closed in any other way.
    int Run(const MesRequest& request);

    // Lays the request out without showing it (Run does this first).
    void Prepare(const MesRequest& request);

    QLabel* LbNum;
    QLabel* MesL1;
    QLabel* MesL2;
    std::array<QLabel*, 4> Icons;  // IGreen, IYellow, IRed, IFail
    std::array<QPushButton*, 6> B;
    QPushButton* MesBB_Help;

private:
    int answer_ = 1;
    int buttons_ = 0;
};

// ShowMes in the window: one TMes, made on first use, reused afterwards. A request from another
// thread is carried over to the thread of the application object and waited for there.
class QtMesPresenter : public MesPresenter {
public:
    QtMesPresenter();
    ~QtMesPresenter() override;
    int Present(const MesRequest& request) override;

    // The dialog, once made (nullptr before the first message).
    TMes* Dialog() const { return dialog_.get(); }

private:
    int PresentHere(const MesRequest& request);
    std::unique_ptr<TMes> dialog_;
};
