#include "sim/simulator.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace sim {

Simulator::Simulator() : epoch_(std::chrono::steady_clock::now()) {
    eventFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::string templ = (std::filesystem::temp_directory_path() / "korvis-sim-XXXXXX").string();
    if (mkdtemp(templ.data())) folder_ = templ;
}

Simulator::Simulator(std::string folder) : epoch_(std::chrono::steady_clock::now()), ownFolder_(false) {
    eventFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec || std::filesystem::is_directory(folder)) folder_ = std::move(folder);
}

Simulator::~Simulator() {
    // Programmers report their removal while they go; they must go before the queue does.
    std::vector<std::unique_ptr<SimProgrammer>> gone;
    {
        std::lock_guard lock(mu_);
        gone.swap(programmers_);
    }
    gone.clear();
    if (eventFd_ >= 0) close(eventFd_);
    std::error_code ec;
    if (ownFolder_ && !folder_.empty()) std::filesystem::remove_all(folder_, ec);
}

SimProgrammer* Simulator::addUnplugged(const SimProgrammerConfig& config) {
    std::lock_guard lock(mu_);
    int id = static_cast<int>(programmers_.size());
    programmers_.push_back(
        std::make_unique<SimProgrammer>(id, config, epoch_, [this](const SimEvent& e) { onEvent(e); }, folder_));
    return programmers_.back().get();
}

SimProgrammer* Simulator::add(const SimProgrammerConfig& config) {
    SimProgrammer* p = addUnplugged(config);
    return p->plug() ? p : nullptr;
}

SimProgrammer* Simulator::programmer(size_t index) const {
    std::lock_guard lock(mu_);
    return index < programmers_.size() ? programmers_[index].get() : nullptr;
}

SimProgrammer* Simulator::byPort(const std::string& port) const {
    std::lock_guard lock(mu_);
    for (const auto& p : programmers_)
        if (!port.empty() && p->port() == port) return p.get();
    return nullptr;
}

size_t Simulator::size() const {
    std::lock_guard lock(mu_);
    return programmers_.size();
}

std::vector<FoundDevice> Simulator::enumerate() {
    std::vector<FoundDevice> found;
    std::lock_guard lock(mu_);
    for (const auto& p : programmers_) {
        std::string name = p->friendlyName();
        if (!name.empty()) found.push_back({name, p->devicePath()});
    }
    return found;
}

bool Simulator::startMonitor(std::string& error) {
    if (eventFd_ < 0) {
        error = "no event descriptor for the simulated programmers";
        return false;
    }
    std::lock_guard lock(mu_);
    monitoring_ = true;
    return true;
}

std::vector<DeviceEvent> Simulator::takeEvents() {
    std::vector<DeviceEvent> out;
    std::lock_guard lock(mu_);
    uint64_t v;
    [[maybe_unused]] ssize_t n = read(eventFd_, &v, sizeof v);
    out.swap(events_);
    return out;
}

void Simulator::onEvent(const SimEvent& event) {
    // Called on a programmer's own thread; the lock is never held while a programmer is asked
    // to do something that waits for that thread, except enumerate(), which only reads.
    std::lock_guard lock(mu_);
    if (!monitoring_) return;
    events_.push_back({event.type == SimEvent::Type::Arrival ? DeviceEventKind::Arrival : DeviceEventKind::Removal,
                       event.devicePath});
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(eventFd_, &one, sizeof one);
}

}  // namespace sim
