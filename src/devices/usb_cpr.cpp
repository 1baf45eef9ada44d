// The programmer link: transfer primitives, Open with its identification and sizing, Close.
#include "devices/usb_cpr.h"

#include <chrono>
#include <thread>

#include "base/little_endian.h"
#include "devices/firmware.h"
#include "devices/workers.h"
#include "messages/show_mes.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The programmer answers within milliseconds; the limits only bound how long a dead link blocks.
const SerialTimeouts kLinkTimeouts{50, 50, 100, 50, 100};

}  // namespace

int8_t KindOfReply(int reply) {
    switch (reply) {
    case 84: return 7;
    case 85: return 1;
    case 86: return 2;
    case 87: return 3;
    case 88: return 4;
    case 89:
    case 90: return 5;
    case 96: return kKindApplication;
    case 112: return kKindBoot;
    default: return 0;
    }
}

CartridgeType CartridgeOfCode(uint8_t code) {
    switch (code) {
    case 36: return {1, 256, 4096};
    case 44: return {2, 512, 4096};
    case 52: return {4, 512, 8192};
    case 60: return {8, 256, 32768};
    default: return {};
    }
}

TUsbCpr::TUsbCpr(int32_t slot, WorkShared& shared, ReportSink* sink, SerialPortFactory openPort)
    : ReportWnd(sink), Slot(slot), PanelIndex(slot), shared(shared), openPort_(std::move(openPort)) {}

TUsbCpr::~TUsbCpr() {
    if (hThread.joinable()) {
        if (hThread.get_id() == std::this_thread::get_id())
            hThread.detach();
        else
            hThread.join();
    }
    std::lock_guard<std::mutex> lock(io_);
    if (hCom) hCom->close();
}

bool TUsbCpr::WriteBytes(const uint8_t* data, size_t n) {
    if (!Opened) return false;
    std::lock_guard<std::mutex> lock(io_);
    if (!hCom) return false;
    SerialIo r = hCom->write(data, n);
    LastAsked = static_cast<int32_t>(n);
    LastDone = static_cast<uint32_t>(r.done);
    LastIoOk = r.ok;
    return r.ok && r.done == n;
}

bool TUsbCpr::ReadBytes(uint8_t* dst, size_t n) {
    if (!Opened) return false;
    std::lock_guard<std::mutex> lock(io_);
    if (!hCom) return false;
    SerialIo r = hCom->read(dst, n);
    LastAsked = static_cast<int32_t>(n);
    LastDone = static_cast<uint32_t>(r.done);
    LastIoOk = r.ok;
    return r.ok && r.done == n;
}

bool TUsbCpr::SendCmd(uint8_t c) { return WriteBytes(&c, 1); }

bool TUsbCpr::ReadByte(uint8_t* dst) { return ReadBytes(dst, 1); }

int TUsbCpr::Query(uint8_t c) {
    if (!SendCmd(c)) return -1;
    SleepMs(waits::kQuery);
    if (!ReadByte(&Buf[0])) return -1;
    return Buf[0];
}

bool TUsbCpr::SetAddress(uint32_t a) {
    if (PageSize == 0) return false;
    const uint8_t bytes[3] = {cmd::kSetAddress, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8)};
    WriteBytes(bytes, sizeof bytes);
    return true;
}

bool TUsbCpr::WritePage(const uint8_t* src) {
    // Stop at the first failed step: data bytes sent after a lost command byte would be read by
    // the programmer as commands.
    if (!SendCmd(cmd::kWritePage)) return false;
    if (!WriteBytes(src, static_cast<size_t>(PageSize.load()))) return false;
    uint8_t reply = 0;
    if (!ReadByte(&reply)) return false;
    return reply == cmd::kPageOk;
}

bool TUsbCpr::ReadPage(uint8_t* dst) {
    SendCmd(cmd::kReadPage);
    return ReadBytes(dst, static_cast<size_t>(PageSize.load()));
}

int32_t TUsbCpr::ReadSerial() {
    uint8_t b[4] = {};
    if (!SendCmd(cmd::kReadSerial) || !ReadBytes(b, 4)) return -1;
    return static_cast<int32_t>(ReadLe32(b));
}

bool TUsbCpr::SendSerial(int32_t number) {
    uint8_t b[5] = {cmd::kSetSerial};
    WriteLe32(b + 1, static_cast<uint32_t>(number));
    return WriteBytes(b, sizeof b);
}

bool TUsbCpr::DiscardInput() {
    if (!Opened) return false;
    std::lock_guard<std::mutex> lock(io_);
    return hCom && hCom->discardInput();
}

bool TUsbCpr::Open() {
    if (Opened) return true;
    LastIoOk = true;
    FlashBytes = 0;
    PageSize = 0;
    PageCount = 0;

    auto fail = [this] {
        Control = kControlStop;
        if (ReportWnd) ReportWnd->report(kReportEnd, Slot, 0);
        return false;
    };

    {
        std::lock_guard<std::mutex> lock(io_);
        hCom = openPort_ ? openPort_() : nullptr;
        if (!hCom || !hCom->open(PortName)) {
            // The operator reads what to do right after the port's name.
            const std::string advice = hCom ? hCom->openFailureAdvice() : std::string();
            hCom.reset();
            ShowMes(1041, MesArg::Text(advice.empty() ? PortName : PortName + " (" + advice + ")"));
            return fail();
        }
        Opened = hCom->setTimeouts(kLinkTimeouts);
    }
    if (!Opened) {
        ShowMes(1041, MesArg::Text(PortName));
        {
            // Close() acts only on an open link; the half-set-up port goes all the same.
            std::lock_guard<std::mutex> lock(io_);
            hCom->close();
            hCom.reset();
        }
        Close();
        return fail();
    }

    {
        std::lock_guard<std::mutex> lock(io_);
        hCom->discardInput();
        hCom->setTimeouts(kLinkTimeouts);
    }
    Code = 0;
    PrevCode = 0x81;

    Kind = KindOfReply(Query(cmd::kIdentify));
    if (Kind == 0) return fail();

    if (Kind == 3) {
        const uint8_t sw[2] = {cmd::kSwitchKind, cmd::kSwitchKindArg};
        Opened = WriteBytes(sw, 2);
        uint8_t reply = 0;
        if (ReadByte(&reply) && reply == cmd::kPageOk) Kind = kKindApplication;
    }

    if (Kind == kKindApplication || Kind == kKindBoot) {
        FwRecord.fill(0);
        if (SendCmd(cmd::kReadRecord)) ReadBytes(FwRecord.data(), FwRecord.size());
    }

    if (Kind == kKindBoot) {
        ThreadProc = Proc::Boot;
        return true;
    }

    if (shared.Updated.take(PortName)) Updated = true;

    Value17 = Query(cmd::kValue17);

    if (Kind == kKindApplication) {
        const PreparedFirmware& fw = shared.Firmware ? *shared.Firmware : BuiltInPrepared();
        const uint16_t codeSize = RecordCodeSize(FwRecord);
        if (codeSize == 0xFFFF || RecordWordA(FwRecord) == 0xFFFF ||
            (codeSize != 0 && fw.version() > RecordVersion(FwRecord))) {
            NeedsFirmware = true;
            if (!ProbeOnly) {
                SendCmd(cmd::kRestart);
                return fail();
            }
        }
        int code = Query(cmd::kPoll);
        if (code < 0) return fail();
        Code = static_cast<uint8_t>(code);
        PrevCode = static_cast<uint8_t>(code - 1);
        if (code == kCodeDone) {
            int m = Query(cmd::kCartSize);
            if (m < 0) return fail();
            int8_t mb = static_cast<int8_t>((m >> 4) & 15);
            if (mb == 0) return fail();
            FlashMb = mb;
            PageSize = (mb == 1 || mb == 8) ? 256 : 512;
        } else {
            CartridgeType t = CartridgeOfCode(static_cast<uint8_t>(code));
            FlashMb = t.flashMb;
            PageSize = t.pageSize;
        }
    }

    FlashBytes = FlashMb * 1048576;
    if (PageSize != 0) PageCount = FlashBytes / PageSize;
    Serial = ReadSerial();
    ThreadProc = Proc::Write;
    return true;
}

void TUsbCpr::Close() {
    if (!Opened) return;
    {
        std::lock_guard<std::mutex> lock(io_);
        if (hCom) hCom->close();
        hCom.reset();
    }
    Opened = false;
    FlashMb = 0;
    Kind = 0;
    FlashBytes = 0;
    PageSize = 0;
}

void TUsbCpr::Start() {
    if (hThread.joinable() || ThreadProc == Proc::None) return;
    const Proc proc = ThreadProc;
    hThread = std::thread([this, proc] {
        SleepMs(waits::kThreadStart);
        if (proc == Proc::Boot)
            BootWorker(*this);
        else
            WriteWorker(*this);
    });
}
