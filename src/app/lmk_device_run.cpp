// The device side of lmk: slots, workers and a main loop without a window.
#include "app/lmk_device_run.h"

#include <poll.h>

#include <csignal>

#include "platform/posix_serial_port.h"
#include "sim/programmer_source.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int /*signal*/) { gInterrupted = 1; }

}  // namespace

std::vector<FoundDevice> FixedPortSource::enumerate() {
    std::vector<FoundDevice> found;
    for (const std::string& p : ports_) found.push_back({std::string(kProgrammerName) + " (" + p + ")", p});
    return found;
}

void CatchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Interrupted() { return gInterrupted != 0; }

DeviceRun::DeviceRun(const std::vector<std::string>& ports)
    : queue_([this](int m, int s, int32_t v) {
                 if (onReport_) onReport_(m, s, v);
                 if (m == kReportEnd) table_->RemoveDevice(s);
             },
             [this](int s, const WriteOutcome& o) {
                 if (onOutcome_) onOutcome_(s, o);
             }) {
    if (ports.empty()) {
        simulated_ = !SimFolderFromEnvironment().empty();
        source_ = MakeProgrammerSource();
        follow_ = true;
    } else {
        source_ = std::make_unique<FixedPortSource>(ports);
    }
    table_ = std::make_unique<UsbCprTable>(shared, queue_, *source_, PosixSerialPortFactory());
    table_->setMessagePump([this] { queue_.pump(); });
}

DeviceRun::~DeviceRun() { stop(); }

void DeviceRun::start() {
    if (follow_) {
        std::string error;
        if (!table_->RegisterDevNotify(error)) std::fprintf(stderr, "lmk: %s\n", error.c_str());
    }
    table_->EnumProgrammers();
    table_->AddFoundDevices();
}

bool DeviceRun::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        queue_.pump(std::chrono::milliseconds(5));
        if (source_->eventFd() >= 0) {
            pollfd p{source_->eventFd(), POLLIN, 0};
            if (poll(&p, 1, 0) > 0) table_->OnMyDeviceChange();
        }
        if (done()) return true;
        if (Interrupted()) return false;
        if (timeout.count() > 0 && std::chrono::steady_clock::now() > until) return false;
    }
}

bool DeviceRun::stop() {
    shared.WriteOn = false;
    shared.ReadOn = false;
    // A worker in the middle of a page read that gets nothing waits out its time-out (25.7 s at most).
    return table_->ShutDown([this] { queue_.pump(std::chrono::milliseconds(5)); }, std::chrono::seconds(60));
}

std::string CartridgeText(const TUsbCpr& cpr) {
    const uint8_t code = cpr.Code;
    if (code == kCodeNone) return "нет ЛМК";
    if (code == kCodeFaulty) return "ЛМК неисправен";
    const std::string size = std::to_string(cpr.FlashMb.load()) + " МБ";
    if (code == kCodeDone) return size + ", записан, ждет смены";
    if (cpr.PageSize == 0) return "ЛМК кода " + std::to_string(code) + " (неизвестный тип)";
    return size + " (код " + std::to_string(code) + ", страницы " + std::to_string(cpr.PageSize.load()) + ")";
}
