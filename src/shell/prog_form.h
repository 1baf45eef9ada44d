#pragma once
// The main window of korvis: the group list, the build options, the build, writing into
// cartridges and the panels of up to 16 programmers.
#include <QMainWindow>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/firmware.h"
#include "devices/serial_port.h"
#include "devices/usb_cpr_table.h"
#include "devices/work_shared.h"
#include "image/cartridge_image.h"
#include "shell/about_form.h"

class DeviceSource;
class DevicePanel;
class TGroupBuildImage;
class TAboutF;
class WindowReportSink;
class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QSocketNotifier;
class QTimer;
class QToolBar;

// The device box's height below which panel `slot` does not fit, and the height it is grown to.
constexpr int PanelBoxNeeded(int slot) { return 41 * slot + 60; }
constexpr int PanelBoxGrown(int slot) { return 41 * slot + 68; }

class TProgF : public QMainWindow, private SlotObserver {
    Q_OBJECT
public:
    // Where programmers come from and how their ports are opened: the udev source and POSIX
    // ports in the program, the simulator in tests and demonstrations.
    struct Environment {
        DeviceSource* source = nullptr;  // not owned; outlives the window
        SerialPortFactory openPort;
        std::vector<std::string> firmwareFolders;  // empty: DefaultFirmwareFolders()
    };

    explicit TProgF(Environment env, QWidget* parent = nullptr);
    ~TProgF() override;

    // Appends a group file to the list and selects it; message 1025 and false when it is listed.
    bool AddGroup(const QString& path);
    void UpdateActions();
    // One report of a worker (1026 to 1031), on the main thread; a report for an empty slot is
    // ignored.
    void HandleReport(int message, int slot, int32_t value);

    // The variant code of each position of cbLang2ToV23.
    const std::vector<int>& VariantCodes() const { return variantCodes_; }
    WorkShared& Shared() { return shared_; }
    UsbCprTable& Devices() { return *table_; }
    // The image the workers write from (the last build, published between cartridges).
    const CartridgeImage& WorkImage() const { return workImage_; }
    TGroupBuildImage& Builder() { return *builder_; }
    bool Building() const { return building_; }
    // Whether aLoadFromLMK may run now (the action itself is hidden, and hidden actions are never
    // enabled).
    bool LoadFromLMKAllowed() const { return loadAllowed_; }
    // cppcheck-suppress CastIntegerToAddressAtReturn ; pnCom holds pointers, cppcheck misreads the array
    DevicePanel* Panel(int slot) const { return pnCom[slot]; }
    TAboutF* AboutWindow() const { return about_.get(); }

    QAction* aAddGrp;
    QAction* aDelGrp;
    QAction* aPutInfoMr;
    QAction* aBuild;
    QAction* aLoadFromLMK;
    QAction* aStop;
    QAction* aAbout;
    QAction* aExit;
    QAction* aViewMr;
    QAction* aSetSer;
    QAction* aNewMode;
    QAction* aCmpInfoMr;
    QAction* aClearInfo;

    QToolBar* ToolBar1;
    QLineEdit* edSerNum;
    QAction* edSerNumAction;  // the tool bar's place of edSerNum; hidden with it
    QLabel* lbTimeSys;
    QCheckBox* ckFillTab;
    QCheckBox* ckV27;
    QCheckBox* ckChangeLetter;
    QLabel* labVariant;
    QComboBox* cbLang2ToV23;
    QGroupBox* gbProc;
    QLabel* labAction;
    QLabel* labFile;
    QLabel* labFill;
    QLabel* labFillTbs;
    QLabel* labGroups;
    QListWidget* lbListGL;
    QMenu* pmListGL;
    QGroupBox* gbComPort;
    std::array<DevicePanel*, UsbCprTable::kSlots> pnCom{};
    QFileDialog* opDlgG;

public slots:
    void aAddGrpExecute();
    void aDelGrpExecute();
    void aBuildExecute();
    void aPutInfoMrExecute();
    void aStopExecute();
    void aLoadFromLMKExecute();
    void aSetSerExecute();
    void aAboutExecute();
    void aExitExecute();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void MakeActions();
    void MakeControls();
    void FormCreate();
    void ShowTime();
    void FillVariants();
    void OptionChanged();
    void VariantChanged(int index);
    bool RunBuild(const std::string& groupFile);
    void PublishImage();
    void EnsurePanelVisible(int slot);
    int DeviceBoxHeight();
    void OnDeviceChange();

    // Reports of the workers, on the main thread.
    void OnViewUsbDevice(int slot);
    void OnDelUsbDevice(int slot);
    void OnInitBarUsbDevice(int slot, int32_t maximum);
    void OnSetBarUsbDevice(int slot, int32_t done);
    void OnInitBarUsbBoot(int slot, int32_t pages);

    // SlotObserver.
    void slotAttached(int slot, TUsbCpr& cpr) override;
    void slotOpened(int slot, TUsbCpr& cpr) override;
    void slotRemoved(int slot) override;

    Environment env_;
    WorkShared shared_;
    PreparedFirmware firmware_;
    CartridgeImage workImage_;   // what the workers write from
    CartridgeImage buildImage_;  // what a build writes into
    std::vector<uint8_t> readBuffer_;
    std::unique_ptr<TGroupBuildImage> builder_;
    std::unique_ptr<WindowReportSink> sink_;
    std::unique_ptr<UsbCprTable> table_;
    QSocketNotifier* deviceNotifier_ = nullptr;
    QTimer* devicePoll_ = nullptr;
    std::unique_ptr<TAboutF> about_;
    SystemVersion systemVersion_;

    std::vector<int> variantCodes_;
    bool building_ = false;
    bool secondCloseGoesThrough_ = false;
    bool closing_ = false;
    bool loadAllowed_ = false;
    bool inDeviceChange_ = false;
};
