// The programmer slots: discovery, arrival and removal, and the slots' lifecycle.
#include "devices/usb_cpr_table.h"

#include <cctype>
#include <utility>

#include "devices/workers.h"

namespace {

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool SamePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

}  // namespace

std::string PortOfFriendlyName(const std::string& friendlyName) {
    // "LMK USB Programmer (" is 20 characters; the name ends with ")".
    if (friendlyName.compare(0, 18, kProgrammerName) != 0 || friendlyName.size() <= 21) return {};
    return friendlyName.substr(20, friendlyName.size() - 21);
}

UsbCprTable::UsbCprTable(WorkShared& shared, ReportSink& sink, DeviceSource& source, SerialPortFactory openPort)
    : shared_(shared), sink_(sink), source_(source), openPort_(std::move(openPort)) {}

UsbCprTable::~UsbCprTable() {
    RequestStopAll();
    for (int s = 0; s < kSlots; ++s) {
        if (!slots_[s]) continue;
        TUsbCpr* cpr = slots_[s].get();
        if (!cpr->hThread.joinable() || cpr->WorkerEnded()) {
            freeSlot(s);
        } else {
            // Its end report has nowhere to go now; freeing the object would pull it from under
            // the worker.
            cpr->hThread.detach();
            (void)slots_[s].release();
        }
    }
    JoinEnded();
}

TUsbCpr* UsbCprTable::slot(int index) const {
    if (index < 0 || index >= kSlots) return nullptr;
    return slots_[index].get();
}

int UsbCprTable::occupiedSlots() const {
    int n = 0;
    for (const auto& s : slots_) n += s ? 1 : 0;
    return n;
}

void UsbCprTable::EnumProgrammers() {
    found_.clear();
    for (const FoundDevice& d : source_.enumerate()) {
        if (d.friendlyName.empty()) continue;
        const std::string port = PortOfFriendlyName(d.friendlyName);
        if (port.empty()) continue;
        if (found_.size() < static_cast<size_t>(kFoundMax)) found_.emplace_back(port, d.path);
    }
}

int UsbCprTable::EnumProgrammers(const std::string& wantedPath, std::string& portOut, std::string& pathOut) {
    portOut.clear();
    pathOut.clear();
    for (const FoundDevice& d : source_.enumerate()) {
        if (d.friendlyName.empty()) continue;
        const std::string port = PortOfFriendlyName(d.friendlyName);
        if (port.empty()) continue;
        if (SamePath(d.path, wantedPath)) {
            portOut = port;
            pathOut = d.path;
            return 0;
        }
    }
    return -1;
}

int UsbCprTable::FindSlot(const std::string& path) const {
    for (int s = 0; s < kSlots; ++s)
        if (slots_[s] && SamePath(slots_[s]->DevicePath, path)) return s;
    for (int s = 0; s < kSlots; ++s)
        if (!slots_[s]) return s;
    return -1;
}

int UsbCprTable::AddDevice(const std::string& port, const std::string& path) {
    JoinEnded();
    return addDevice(port, path);
}

int UsbCprTable::addDevice(const std::string& port, const std::string& path) {
    const int s = FindSlot(path);
    // No free slot, or the device already has one (a repeated arrival).
    if (s < 0 || slots_[s]) return -1;

    slots_[s] = std::make_unique<TUsbCpr>(s, shared_, &sink_, openPort_);
    counted_[s] = false;
    arrivedMeanwhile_[s].clear();
    TUsbCpr& cpr = *slots_[s];
    cpr.PortName = port;
    cpr.DevicePath = path;
    cpr.InUse = true;
    cpr.Control = kControlRun;
    cpr.CurPage = 0;
    if (observer_) observer_->slotAttached(s, cpr);

    opening_ = s;
    removeAfterOpen_ = false;
    const bool opened = cpr.Open();
    opening_ = -1;
    // The end report of a failed open asks for the slot to be freed; that waits until Open has
    // returned, so the object is not destroyed under it.
    if (!opened || removeAfterOpen_ || cpr.Control == kControlStop) {
        freeSlot(s);
        return -1;
    }
    if (observer_) observer_->slotOpened(s, cpr);
    cpr.Start();
    ++usbCprCount_;
    counted_[s] = true;
    return s;
}

void UsbCprTable::RemoveDevice(int s) {
    if (s < 0 || s >= kSlots) return;
    if (s == opening_) {
        removeAfterOpen_ = true;
        return;
    }
    if (!slots_[s]) return;
    SleepMs(10);
    freeSlot(s);
    if (slots_[s]) return;
    // A device back before its old worker ended, when it is still there. No joining: this runs
    // in that worker's end report, and the worker returns only when the report is handled.
    const std::string back = std::exchange(arrivedMeanwhile_[s], std::string());
    if (!back.empty() && !stoppingAll_) arrive(back, false);
}

void UsbCprTable::arrive(const std::string& wantedPath, bool joinEnded) {
    std::string port, path;
    if (EnumProgrammers(wantedPath, port, path) != 0 || port.empty()) return;
    const int s = FindSlot(path);
    if (s >= 0 && slots_[s]) {
        // Its slot is taken: a repeated arrival, or the device is back before the worker of its
        // last visit has ended. Look again when that slot is freed.
        arrivedMeanwhile_[s] = path;
        return;
    }
    if (joinEnded) JoinEnded();
    addDevice(port, path);
    if (observer_) observer_->devicesChanged();
}

void UsbCprTable::freeSlot(int s) {
    TUsbCpr* cpr = slots_[s].get();
    if (!cpr) return;
    if (cpr->hThread.joinable() && !cpr->WorkerEnded()) {
        // A worker that has not ended still uses the object: ask it to stop; its end report
        // frees the slot.
        cpr->Control = kControlStop;
        return;
    }
    cpr->Close();
    cpr->InUse = false;
    if (cpr->hThread.joinable()) ended_.push_back(std::move(cpr->hThread));
    cpr->Panel = nullptr;
    slots_[s].reset();
    if (observer_) observer_->slotRemoved(s);
    if (counted_[s]) {
        --usbCprCount_;
        counted_[s] = false;
    }
}

void UsbCprTable::AddFoundDevices() {
    usbCprCount_ = 0;
    for (const auto& [port, path] : found_) AddDevice(port, path);
}

bool UsbCprTable::RegisterDevNotify(std::string& error) { return source_.startMonitor(error); }

void UsbCprTable::OnMyDeviceChange() {
    if (pump_) pump_();
    SleepMs(2);
    for (const DeviceEvent& e : source_.takeEvents()) OnDeviceEvent(e);
}

void UsbCprTable::OnDeviceEvent(const DeviceEvent& event) {
    switch (event.kind) {
    case DeviceEventKind::Arrival:
        arrive(event.path, true);
        break;
    case DeviceEventKind::Removal: {
        const int s = FindSlot(event.path);
        if (s >= 0 && slots_[s] && SamePath(slots_[s]->DevicePath, event.path)) slots_[s]->Control = kControlStop;
        break;
    }
    case DeviceEventKind::Other:
        break;
    }
}

void UsbCprTable::RequestStopAll() {
    stoppingAll_ = true;
    for (auto& s : slots_)
        if (s) s->Control = kControlStop;
}

bool UsbCprTable::ShutDown(const std::function<void()>& pump, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    RequestStopAll();
    while (occupiedSlots() > 0 && std::chrono::steady_clock::now() < until) {
        if (pump) pump();
        SleepMs(2);
    }
    JoinEnded();
    return occupiedSlots() == 0;
}

bool UsbCprTable::AnyCartridgeInProgress() const {
    for (const auto& s : slots_)
        if (s && s->InCartridge()) return true;
    return false;
}

void UsbCprTable::JoinEnded() {
    for (std::thread& t : ended_)
        if (t.joinable()) t.join();
    ended_.clear();
}

bool UsbCprTable::SetSerial(int32_t number) {
    for (auto& s : slots_) {
        if (!s) continue;
        if (s->PageSize == 0) return false;
        SetCartridgeSerial(*s, number);
        return true;
    }
    return false;
}
