// The write worker (polling, cartridge changes, writing, read-back) and the boot worker.
#include "devices/workers.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/little_endian.h"
#include "devices/firmware.h"

namespace {

using Clock = std::chrono::steady_clock;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool IsSizedType(uint8_t code) { return code == 36 || code == 44 || code == 52 || code == 60; }

// The cartridge type a polled code stands for: bits 2 to 5, with the older codes 32 and 40.
uint8_t TypeOfPolledCode(uint8_t code) {
    if (code == kCodeNone || code == kCodeDone) return code;
    code &= 0x3C;
    if (code == 32) return 36;
    if (code == 40) return 44;
    return code;
}

// Back to run after a request was handled, unless a stop came in meanwhile: a stop must never be
// lost, or the slot would never be freed.
void ResetControl(TUsbCpr& cpr) {
    uint8_t v = cpr.Control.load();
    while (v != kControlStop && !cpr.Control.compare_exchange_weak(v, kControlRun)) {
    }
}

}  // namespace

// Marks a worker as busy with a cartridge, so that nobody changes the image under it.
class CartridgeScope {
public:
    explicit CartridgeScope(TUsbCpr& cpr) : cpr_(cpr) {
        cpr_.shared.CartridgesInProgress.fetch_add(1);
        cpr_.inCartridge_ = true;
    }
    ~CartridgeScope() { end(); }
    void end() {
        if (!active_) return;
        active_ = false;
        cpr_.inCartridge_ = false;
        cpr_.shared.CartridgesInProgress.fetch_sub(1);
    }

private:
    TUsbCpr& cpr_;
    bool active_ = true;
};

namespace {

// Ends the worker: after this report the object may be gone.
void ReportEnd(TUsbCpr& cpr, int32_t value) {
    ReportSink* sink = cpr.ReportWnd;
    const int slot = cpr.Slot;
    cpr.MarkWorkerEnded();
    if (sink) sink->report(kReportEnd, slot, value);
}

void Report(TUsbCpr& cpr, int message, int32_t value) {
    if (cpr.ReportWnd) cpr.ReportWnd->report(message, cpr.Slot, value);
}

// Reads every page the write sent and compares it with the image.
bool VerifyCartridge(TUsbCpr& cpr, const uint8_t* image, const uint8_t* map) {
    const int32_t pageSize = cpr.PageSize;
    const int32_t pageCount = cpr.PageCount;
    const int step = pageSize == 512 ? 2 : 1;
    const int32_t blocks = pageCount * step;
    int32_t next = -1;
    for (int32_t b = 0; b < blocks; b += step) {
        if (!map[b] && !(step == 2 && map[b + 1])) continue;
        if (cpr.Control == kControlStop) return false;
        const int32_t page = b / step;
        if (page != next) cpr.SetAddress(static_cast<uint32_t>(page));
        if (!cpr.ReadPage(cpr.Buf.data())) return false;
        if (!std::equal(cpr.Buf.begin(), cpr.Buf.begin() + pageSize, image + 256 * static_cast<size_t>(b)))
            return false;
        next = page + 1;
    }
    return true;
}

// Writes the marked pages of the image. Returns false when the worker must end (stop request;
// the end report has then been sent).
bool WriteCartridge(TUsbCpr& cpr) {
    WorkShared& sh = cpr.shared;
    CartridgeScope scope(cpr);
    const auto started = Clock::now();
    const uint8_t* image = sh.ImageBuffer;
    const uint8_t* map = sh.PageMap;
    const int32_t pageSize = cpr.PageSize;
    const int32_t pageCount = cpr.PageCount;
    const int step = pageSize == 512 ? 2 : 1;
    const int32_t end = pageCount * step;

    Report(cpr, kReportInitBar, 0);
    const int32_t length = sh.ImageLength;
    const int32_t last = (length + pageSize - 1) / pageSize * pageSize + 512;
    cpr.Query(cmd::kWriteBegin);

    WriteOutcome outcome;
    outcome.serial = cpr.Serial;
    outcome.flashBytes = cpr.FlashBytes;
    bool ok = image && map;
    int32_t written = 0;
    while (ok && written <= last) {
        if (cpr.Control == kControlStop) {
            outcome.result = WriteOutcome::Result::Stopped;
            outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
            scope.end();
            if (cpr.ReportWnd) cpr.ReportWnd->writeFinished(cpr.Slot, outcome);
            ReportEnd(cpr, 0);
            return false;
        }
        int32_t b = cpr.CurPage;
        while (b < end && map[b] == 0) ++b;
        int32_t p = b;
        if (step == 2) {
            b &= ~1;
            p = b / 2;
        }
        if (p >= pageCount) break;
        if (cpr.CurPage != b) cpr.SetAddress(static_cast<uint32_t>(p));
        cpr.CurPage = b;
        ok = cpr.WritePage(image + 256 * static_cast<size_t>(b));
        SleepMs(waits::kAfterPage);
        if (!ok) break;
        ++outcome.pagesWritten;
        cpr.CurPage = cpr.CurPage + step;
        if (cpr.CurPage % 8 == 0) Report(cpr, kReportSetBar, written);
        if (!sh.WriteOn) break;
        written += pageSize;
    }

    const bool complete = sh.WriteOn && ok;
    bool verified = true;
    if (complete && sh.VerifyWrite) verified = VerifyCartridge(cpr, image, map);
    if (complete && verified) {
        SleepMs(waits::kBeforeDone);
        cpr.SendCmd(cmd::kWriteDone);
        outcome.result = WriteOutcome::Result::Written;
    } else {
        cpr.SendCmd(cmd::kWriteFailed);
        outcome.result = complete ? WriteOutcome::Result::VerifyFailed : WriteOutcome::Result::Failed;
    }
    outcome.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    scope.end();
    if (cpr.ReportWnd) cpr.ReportWnd->writeFinished(cpr.Slot, outcome);
    if (outcome.result == WriteOutcome::Result::Written) Report(cpr, kReportSetBar, last);
    return true;
}

// Replaces `name` in `folder` with `size` bytes of `data`, through a temporary name.
bool WriteReadBackFile(const std::string& folder, const char* name, const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    const fs::path target = folder.empty() ? fs::path(name) : fs::path(folder) / name;
    fs::path temp = target;
    temp += ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

// Reads the whole cartridge into the read-back buffer. Returns false when the worker must end.
bool ReadCartridge(TUsbCpr& cpr) {
    WorkShared& sh = cpr.shared;
    uint8_t* buffer = sh.ReadBuffer;
    if (!buffer) {
        SleepMs(waits::kIdle);
        return true;
    }
    CartridgeScope scope(cpr);
    const int32_t pageSize = cpr.PageSize;
    const int32_t pageCount = cpr.PageCount;
    const int step = pageSize == 512 ? 2 : 1;
    const int32_t previousLength = sh.ImageLength;

    cpr.SetAddress(0);
    const int32_t length = pageSize * pageCount;
    sh.ImageLength = length;
    Report(cpr, kReportInitBar, length);
    bool ok = true;
    for (int32_t k = 0; k < pageCount; ++k) {
        if (cpr.Control == kControlStop) {
            sh.ImageLength = previousLength;
            scope.end();
            ReportEnd(cpr, 0);
            return false;
        }
        if (!cpr.ReadPage(buffer + static_cast<size_t>(k) * pageSize)) {
            ok = false;
            break;
        }
        cpr.CurPage = cpr.CurPage + step;
        if (k % 32 == 0) Report(cpr, kReportSetBar, k * pageSize);
        if (!sh.ReadOn) break;
    }

    if (!ok) {
        // A cartridge that could not be read in full is not a read-back: keep nothing, and give
        // the image back its own length.
        sh.ImageLength = previousLength;
        sh.ReadOn = false;
        scope.end();
        if (cpr.ReportWnd) cpr.ReportWnd->readFinished(cpr.Slot, false, 0);
        return true;
    }
    if (!sh.ReadOn) {
        // Cancelled: the image keeps its own length.
        sh.ImageLength = previousLength;
        scope.end();
        if (cpr.ReportWnd) cpr.ReportWnd->readFinished(cpr.Slot, false, 0);
        return true;
    }
    {
        sh.ReadOn = false;
        sh.GroupBuilt = true;
        scope.end();
        if (cpr.ReportWnd) cpr.ReportWnd->readFinished(cpr.Slot, true, length);
        Report(cpr, kReportSetBar, length);
        const uint8_t* image = sh.ImageBuffer;
        if (image && WriteReadBackFile(sh.ReadBackFolder, "ReadedGrp.bin", image, static_cast<size_t>(length)))
            WriteReadBackFile(sh.ReadBackFolder, "ReadedGrp2.bin", buffer, static_cast<size_t>(length));
    }
    return true;
}

// Handles a polled code that differs from the one already handled (or a re-identify request).
void HandleChange(TUsbCpr& cpr) {
    uint8_t code = cpr.Code;
    if (code != kCodeDone) {
        code = TypeOfPolledCode(code);
        const CartridgeType t = CartridgeOfCode(code);
        cpr.Code = code;
        cpr.FlashMb = t.flashMb;
        cpr.PageSize = t.pageSize;
        cpr.PageCount = t.pageCount;
        cpr.Value17 = cpr.Query(cmd::kValue17);
        cpr.FlashBytes = t.flashMb * 1048576;
        if (code == kCodeNone) cpr.Status = 0;
        cpr.Serial = 0;
        if (cpr.FlashBytes != 0 && cpr.SetAddress(0) && cpr.ReadPage(cpr.Buf.data()))
            cpr.Serial = static_cast<int32_t>(ReadLe32(cpr.Buf.data()));
    }
    ResetControl(cpr);
    Report(cpr, kReportView, cpr.Status);
    cpr.PrevCode = cpr.Code.load();
}

}  // namespace

void WriteWorker(TUsbCpr& cpr) {
    WorkShared& sh = cpr.shared;
    cpr.Code = 0;
    SleepMs(waits::kWorkerStart);
    for (;;) {
        const bool paused = cpr.Control == kControlPause;
        if (!paused) {
            cpr.DiscardInput();
            if (cpr.SendCmd(cmd::kPoll) && cpr.ReadByte(&cpr.Buf[0])) {
                // The programmer sets flag bits around the type (a poll of 37 is a 36); only the
                // type counts, or every poll would look like a new cartridge.
                const uint8_t code = TypeOfPolledCode(cpr.Buf[0]);
                cpr.Code = code;
                const int32_t flash = cpr.FlashBytes;
                const bool tooSmall = flash != 0 && flash < sh.ImageLength && sh.GroupBuilt && sh.WriteOn &&
                                      IsSizedType(code);
                const bool updated = cpr.Updated;
                if (updated || (tooSmall && cpr.Status == 0)) {
                    cpr.SendCmd(cmd::kWriteFailed);
                    cpr.Status = updated ? -2 : -1;
                    cpr.PrevCode = static_cast<uint8_t>(code - 1);
                    cpr.Updated = false;
                }
                if (code != cpr.PrevCode || cpr.Control == kControlReidentify) HandleChange(cpr);
            }
        }

        if (cpr.Control == kControlStop) {
            ReportEnd(cpr, 0);
            return;
        }

        const uint8_t code = cpr.Code;
        const bool notReady = code == kCodeDone || code == kCodeFaulty || code == kCodeNone || !cpr.LastIoOk ||
                              cpr.PageSize == 0;
        // While paused the main thread owns the port (it sends the serial number).
        if (paused || notReady || !((sh.GroupBuilt && sh.WriteOn) || sh.ReadOn) || cpr.Status != 0) {
            SleepMs(waits::kIdle);
            continue;
        }
        cpr.CurPage = 0;
        if (sh.WriteOn && cpr.FlashBytes >= sh.ImageLength) {
            if (!WriteCartridge(cpr)) return;
        } else if (sh.ReadOn) {
            if (!ReadCartridge(cpr)) return;
        } else {
            // Writing is on but the cartridge is too small: the next poll turns the panel red.
            SleepMs(waits::kIdle);
        }
    }
}

void BootWorker(TUsbCpr& cpr) {
    const PreparedFirmware& fw = cpr.shared.Firmware ? *cpr.shared.Firmware : BuiltInPrepared();
    cpr.PageSize = static_cast<int32_t>(kBootPageSize);
    const int32_t n = (fw.codeSize() + 127) / 128;
    Report(cpr, kReportInitBoot, n);
    cpr.SetAddress(0);
    bool ok = false;
    if (cpr.Control != kControlStop) {
        bool all = true;
        for (int32_t k = 1; k <= n; ++k) {
            if (!cpr.WritePage(fw.code() + (k - 1) * kBootPageSize)) {
                all = false;
                break;
            }
            Report(cpr, kReportSetBoot, k);
        }
        if (all) {
            cpr.SetAddress(kFirmwareRecordPage);
            ok = cpr.WritePage(fw.code() + kFirmwareRecordPage) && cpr.SendCmd(cmd::kRestart);
            if (ok) cpr.shared.Updated.add(cpr.PortName);
        }
    }
    while (cpr.Control != kControlStop) SleepMs(2);
    ReportEnd(cpr, ok ? 1 : 0);
    SleepMs(10);
}

void SetCartridgeSerial(TUsbCpr& cpr, int32_t number) {
    cpr.Control = kControlPause;
    SleepMs(waits::kPauseBeforeSerial);
    cpr.SendSerial(number);
    cpr.Serial = number;
    uint8_t expected = kControlPause;
    cpr.Control.compare_exchange_strong(expected, kControlReidentify);
}
