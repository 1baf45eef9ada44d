#pragma once
// One connection to one cartridge programmer: its port, identification, the cartridge in it,
// and the byte commands that the workers drive it with.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "devices/firmware.h"
#include "devices/report_sink.h"
#include "devices/serial_port.h"
#include "devices/work_shared.h"

// Command bytes of the programmer.
namespace cmd {
constexpr uint8_t kPoll = 1;          // reply: cartridge code
constexpr uint8_t kSwitchKind = 4;    // followed by 07; reply 0x20 = switched to the kind-8 set
constexpr uint8_t kSwitchKindArg = 7;
constexpr uint8_t kIdentify = 15;     // reply: kind
constexpr uint8_t kValue17 = 17;      // reply: second capacity figure
constexpr uint8_t kReadPage = 18;     // reply: PageSize bytes
constexpr uint8_t kWritePage = 19;    // then PageSize bytes; reply 0x20
constexpr uint8_t kSetAddress = 20;   // then low, high; no reply
constexpr uint8_t kWriteBegin = 22;   // reply: one byte, not examined
constexpr uint8_t kCartSize = 24;     // reply: bits 4-7 = megabytes
constexpr uint8_t kWriteDone = 25;    // no reply
constexpr uint8_t kWriteFailed = 26;  // no reply
constexpr uint8_t kSetSerial = 27;    // then 4 bytes; no reply
constexpr uint8_t kReadSerial = 28;   // reply: 4 bytes
constexpr uint8_t kReadRecord = 29;   // reply: 32 bytes
constexpr uint8_t kRestart = 30;      // no reply
constexpr uint8_t kPageOk = 0x20;
}  // namespace cmd

// Cartridge codes (reply to the poll) that are not cartridge types.
constexpr uint8_t kCodeFaulty = 0;
constexpr uint8_t kCodeNone = 1;
constexpr uint8_t kCodeDone = 255;

// Requests to the worker.
enum : uint8_t { kControlRun = 0, kControlStop = 1, kControlPause = 2, kControlReidentify = 3 };

// Programmer kinds after identification; 0 = not identified.
constexpr int8_t kKindApplication = 8;
constexpr int8_t kKindBoot = 9;

// The kind for a reply to command 15, or 0 when the reply names no programmer.
int8_t KindOfReply(int reply);

struct CartridgeType {
    int8_t flashMb = 0;
    int32_t pageSize = 0;
    int32_t pageCount = 0;
};
// The table of cartridge codes 36, 44, 52 and 60; anything else has no size.
CartridgeType CartridgeOfCode(uint8_t code);

class TUsbCpr {
public:
    enum class Proc { None, Write, Boot };

    TUsbCpr(int32_t slot, WorkShared& shared, ReportSink* sink, SerialPortFactory openPort);
    ~TUsbCpr();
    TUsbCpr(const TUsbCpr&) = delete;
    TUsbCpr& operator=(const TUsbCpr&) = delete;

    // Transfer primitives; each fails at once when the port is not open.
    bool WriteBytes(const uint8_t* data, size_t n);
    bool ReadBytes(uint8_t* dst, size_t n);
    bool SendCmd(uint8_t c);
    bool ReadByte(uint8_t* dst);
    // The reply byte (0-255), or -1.
    int Query(uint8_t c);
    // A page number for a cartridge, a byte address in boot mode; sends nothing while PageSize is 0.
    bool SetAddress(uint32_t a);
    bool WritePage(const uint8_t* src);
    bool ReadPage(uint8_t* dst);
    // The cartridge's serial number, or -1.
    int32_t ReadSerial();
    // Sends 1B and the number.
    bool SendSerial(int32_t number);
    bool DiscardInput();

    // Opens, identifies and sizes the programmer and picks its worker. On failure Control is
    // stop and the end report (1027) has been sent; the caller frees the slot.
    bool Open();
    void Close();

    // Starts the worker chosen by Open (the suspended thread resumed). Once the worker has sent
    // its end report it no longer touches this object.
    void Start();
    // True while the worker writes or reads a cartridge.
    bool InCartridge() const { return inCartridge_.load(); }
    // True once the worker has begun its end report.
    bool WorkerEnded() const { return workerEnded_.load(); }
    // Called by a worker right before its end report.
    void MarkWorkerEnded() { workerEnded_ = true; }

    // Fields, named as the programmer's record has them. Those the main thread reads while the
    // worker runs are atomic.
    std::unique_ptr<SerialPort> hCom;
    std::thread hThread;
    ReportSink* ReportWnd = nullptr;
    int32_t Slot = 0;
    int32_t PanelIndex = 0;
    std::atomic<double> StartTime{0};  // for the panel's elapsed seconds, set by the main thread
    Proc ThreadProc = Proc::None;
    std::atomic<int32_t> LastAsked{0};
    std::atomic<uint32_t> LastDone{0};
    std::atomic<int32_t> Serial{0};
    std::atomic<int32_t> Status{0};
    std::atomic<int32_t> FlashBytes{0};
    std::atomic<int32_t> Value17{0};
    std::atomic<bool> Updated{false};
    std::atomic<bool> Opened{false};
    std::atomic<int8_t> FlashMb{0};
    std::atomic<int8_t> Kind{0};
    std::atomic<uint8_t> Code{0};
    std::atomic<uint8_t> PrevCode{0};
    std::atomic<uint8_t> Control{0};
    std::atomic<bool> LastIoOk{false};
    std::atomic<int32_t> PageSize{0};
    std::atomic<int32_t> PageCount{0};
    std::atomic<int32_t> CurPage{0};
    FirmwareRecord FwRecord{};  // written by Open before the worker starts
    std::atomic<bool> InUse{false};
    std::array<uint8_t, 513> Buf{};  // the worker's
    std::string PortName;            // fixed before Open
    std::string DevicePath;
    void* Panel = nullptr;  // the window's own
    // Identify and size only: a programmer that needs new firmware is not sent into its boot
    // loader (NeedsFirmware tells). For listing programmers without changing them.
    bool ProbeOnly = false;
    bool NeedsFirmware = false;

    WorkShared& shared;

private:
    friend void WriteWorker(TUsbCpr& cpr);
    friend void BootWorker(TUsbCpr& cpr);
    friend class CartridgeScope;

    SerialPortFactory openPort_;
    // The port is the worker's, but the main thread sends command 27 while the worker pauses.
    std::mutex io_;
    std::atomic<bool> inCartridge_{false};
    std::atomic<bool> workerEnded_{false};
};
