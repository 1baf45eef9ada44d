#include "sim/sim_programmer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/little_endian.h"

namespace sim {

namespace {

// How long the rest of a command may take to arrive after its first byte.
constexpr int kArgTimeoutMs = 1000;

}  // namespace

CartridgeGeometry GeometryOfCode(uint8_t code) {
    switch (code & 0x3C) {
        case 32:
        case 36: return {1, 256};
        case 40:
        case 44: return {2, 512};
        case 52: return {4, 512};
        case 60: return {8, 256};
        default: return {};
    }
}

FirmwareRecord MakeFirmwareRecord(uint32_t version, uint16_t codeSize, uint8_t major, uint8_t minor) {
    FirmwareRecord r{};
    WriteLe16(&r[0], codeSize);
    WriteLe32(&r[4], version);
    r[13] = 3;
    r[14] = major;
    r[15] = minor;
    r[20] = 0x94;
    r[21] = 0x82;
    return r;
}

SimProgrammer::SimProgrammer(int id, SimProgrammerConfig config, std::chrono::steady_clock::time_point epoch,
                             Listener listener, std::string linkFolder)
    : id_(id), epoch_(epoch), listener_(std::move(listener)), config_(config), flash_(kFlashSize, 0xFF),
      linkFolder_(std::move(linkFolder)) {
    boot_ = config.bootMode;
    std::copy(config.record.begin(), config.record.end(), flash_.begin() + kRecordOffset);
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    thread_ = std::thread([this] { run(); });
}

SimProgrammer::~SimProgrammer() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
        wantPlugged_ = false;
    }
    cv_.notify_all();
    wake();
    thread_.join();
    if (wakeFd_ >= 0) close(wakeFd_);
}

std::string SimProgrammer::devicePath() const { return "/sys/devices/virtual/korvis-sim/lmk" + std::to_string(id_); }

std::string SimProgrammer::port() const {
    std::lock_guard lock(mu_);
    return port_;
}

std::string SimProgrammer::ttyPath() const {
    std::lock_guard lock(mu_);
    return tty_;
}

std::string SimProgrammer::friendlyName() const {
    std::string p = port();
    return p.empty() ? std::string() : "LMK USB Programmer (" + p + ")";
}

bool SimProgrammer::plugged() const {
    std::lock_guard lock(mu_);
    return plugged_;
}

bool SimProgrammer::bootMode() const {
    std::lock_guard lock(mu_);
    return boot_;
}

bool SimProgrammer::plug() {
    std::unique_lock lock(mu_);
    wantPlugged_ = true;
    cv_.notify_all();
    lock.unlock();
    wake();
    lock.lock();
    cv_.wait_for(lock, std::chrono::seconds(5), [&] { return plugged_ || stop_; });
    return plugged_;
}

void SimProgrammer::unplug() {
    std::unique_lock lock(mu_);
    wantPlugged_ = false;
    cv_.notify_all();  // a restart waiting to come back gives up
    lock.unlock();
    wake();
    lock.lock();
    cv_.wait_for(lock, std::chrono::seconds(5), [&] { return (!plugged_ && !restarting_) || stop_; });
}

bool SimProgrammer::waitPlugged(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mu_);
    cv_.wait_for(lock, timeout, [&] { return (plugged_ && !restarting_) || stop_; });
    return plugged_;
}

bool SimProgrammer::waitUnplugged(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, timeout, [&] { return !plugged_; });
}

void SimProgrammer::insert(uint8_t code) {
    CartridgeGeometry g = GeometryOfCode(code);
    insert(code, std::vector<uint8_t>(g.bytes(), 0xFF));
}

void SimProgrammer::insert(uint8_t code, std::vector<uint8_t> memory) {
    if (code == kCodeNone) {
        remove();
        return;
    }
    {
        std::lock_guard lock(mu_);
        cart_ = Cartridge{};
        cart_.code = code;
        cart_.geometry = code == kCodeFaulty ? CartridgeGeometry{} : GeometryOfCode(code);
        memory.resize(cart_.geometry.bytes(), 0xFF);
        cart_.memory = std::move(memory);
    }
    addEvent("cartridge " + std::to_string(code) + " inserted");
}

void SimProgrammer::remove() {
    {
        std::lock_guard lock(mu_);
        cart_ = Cartridge{};
    }
    addEvent("cartridge removed");
}

void SimProgrammer::setSizeReply(std::optional<uint8_t> reply) {
    std::lock_guard lock(mu_);
    cart_.sizeReply = reply;
}

void SimProgrammer::setWriteComplete(bool done) {
    std::lock_guard lock(mu_);
    cart_.done = done && cart_.code != kCodeNone;
}

std::vector<uint8_t> SimProgrammer::cartridge() const {
    std::lock_guard lock(mu_);
    return cart_.memory;
}

std::optional<uint8_t> SimProgrammer::cartridgeCode() const {
    std::lock_guard lock(mu_);
    if (cart_.code == kCodeNone) return std::nullopt;
    return cart_.code;
}

bool SimProgrammer::writeComplete() const {
    std::lock_guard lock(mu_);
    return cart_.done;
}

void SimProgrammer::setKindReply(uint8_t reply) {
    std::lock_guard lock(mu_);
    config_.kindReply = reply;
    switched_ = false;
}

void SimProgrammer::setValue17(uint8_t value) {
    std::lock_guard lock(mu_);
    config_.value17 = value;
}

void SimProgrammer::setRecord(const FirmwareRecord& record) {
    std::lock_guard lock(mu_);
    std::copy(record.begin(), record.end(), flash_.begin() + kRecordOffset);
}

void SimProgrammer::setFirmwareVersion(uint32_t version) {
    std::lock_guard lock(mu_);
    WriteLe32(&flash_[kRecordOffset + 4], version);
}

FirmwareRecord SimProgrammer::record() const {
    std::lock_guard lock(mu_);
    FirmwareRecord r;
    std::copy_n(flash_.begin() + kRecordOffset, r.size(), r.begin());
    return r;
}

std::vector<uint8_t> SimProgrammer::flash() const {
    std::lock_guard lock(mu_);
    return flash_;
}

void SimProgrammer::inject(const Fault& fault) {
    std::lock_guard lock(mu_);
    faults_.push_back(fault);
}

void SimProgrammer::clearFaults() {
    std::lock_guard lock(mu_);
    faults_.clear();
}

std::vector<LogEntry> SimProgrammer::log() const {
    std::lock_guard lock(mu_);
    return log_;
}

void SimProgrammer::clearLog() {
    std::lock_guard lock(mu_);
    log_.clear();
}

bool SimProgrammer::waitLog(const std::function<bool(const std::vector<LogEntry>&)>& done,
                            std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, timeout, [&] { return done(log_); });
}

void SimProgrammer::addLogLocked(LogEntry entry) {
    entry.time = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - epoch_);
    log_.push_back(std::move(entry));
    cv_.notify_all();
}

void SimProgrammer::addLog(LogEntry entry) {
    std::lock_guard lock(mu_);
    addLogLocked(std::move(entry));
}

void SimProgrammer::addEvent(const std::string& note) {
    LogEntry e;
    e.note = note;
    addLog(std::move(e));
}

void SimProgrammer::wake() {
    uint64_t one = 1;
    if (wakeFd_ >= 0) [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

std::optional<Fault> SimProgrammer::strikeLocked(Fault::Type type, int command) {
    // A fault strikes `times` times after `skip` occasions; NoReply and SlowReply only on their
    // command when they name one.
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->type != type) continue;
        if ((type == Fault::Type::NoReply || type == Fault::Type::SlowReply) && it->command != -1 &&
            it->command != command)
            continue;
        if (it->times == 0) continue;  // spent, or never meant to strike
        if (it->skip > 0) {
            --it->skip;
            continue;
        }
        const Fault struck = *it;
        if (it->times > 0 && --it->times == 0) faults_.erase(it);
        return struck;
    }
    return std::nullopt;
}

bool SimProgrammer::takeFault(Fault::Type type, int command) { return strikeLocked(type, command).has_value(); }

std::chrono::milliseconds SimProgrammer::slowDelayLocked(int command) {
    const std::optional<Fault> slow = strikeLocked(Fault::Type::SlowReply, command);
    return slow ? slow->delay : std::chrono::milliseconds(0);
}

int SimProgrammer::pageSizeLocked() const {
    if (boot_) return kBootPageSize;
    // Without a usable cartridge the data of a page write is still taken off the line.
    return cart_.geometry.pageSize ? cart_.geometry.pageSize : 256;
}

// ---- the device thread ----

void SimProgrammer::run() {
    std::unique_lock lock(mu_);
    while (!stop_) {
        if (wantPlugged_ && !plugged_) {
            lock.unlock();
            bool ok = openPty();
            lock.lock();
            if (!ok) {
                wantPlugged_ = false;
                cv_.notify_all();
                continue;
            }
            // The device is announced before plug() returns, as a real one is by the time
            // anybody could look.
            std::string p = port_;
            lock.unlock();
            addEvent("plugged in at " + p);
            emit(SimEvent::Type::Arrival, p);
            lock.lock();
            plugged_ = true;
            cv_.notify_all();
            continue;
        }
        if (!wantPlugged_ && plugged_) {
            std::string p = port_;
            port_.clear();
            lock.unlock();
            closePty();
            addEvent("unplugged");
            emit(SimEvent::Type::Removal, p);
            lock.lock();
            plugged_ = false;
            cv_.notify_all();
            continue;
        }
        if (plugged_) {
            lock.unlock();
            serve();
            lock.lock();
        } else {
            cv_.wait(lock, [&] { return stop_ || wantPlugged_ != plugged_; });
        }
    }
    if (plugged_) {
        std::string p = port_;
        port_.clear();
        lock.unlock();
        closePty();
        emit(SimEvent::Type::Removal, p);
        lock.lock();
        plugged_ = false;
        cv_.notify_all();
    }
}

bool SimProgrammer::openPty() {
    int m = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0) return false;
    char name[128];
    if (grantpt(m) != 0 || unlockpt(m) != 0 || ptsname_r(m, name, sizeof name) != 0) {
        close(m);
        return false;
    }
    // Holding the slave open keeps the master from hanging up while no program has it open,
    // as a real device stays there between a program's sessions.
    int s = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        close(m);
        return false;
    }
    std::string port = name;
    if (!linkFolder_.empty()) {
        port = linkFolder_ + "/ttyLMK" + std::to_string(id_);
        const std::string temp = port + ".new";
        ::unlink(temp.c_str());
        if (symlink(name, temp.c_str()) != 0 || rename(temp.c_str(), port.c_str()) != 0) {
            ::unlink(temp.c_str());
            close(s);
            close(m);
            return false;
        }
    }
    fcntl(m, F_SETFL, fcntl(m, F_GETFL) | O_NONBLOCK);
    master_ = m;
    slaveKeep_ = s;
    std::lock_guard lock(mu_);
    port_ = port;
    tty_ = name;
    address_ = 0;
    switched_ = false;
    return true;
}

void SimProgrammer::closePty() {
    if (!linkFolder_.empty()) ::unlink((linkFolder_ + "/ttyLMK" + std::to_string(id_)).c_str());
    if (master_ >= 0) close(master_);
    if (slaveKeep_ >= 0) close(slaveKeep_);
    master_ = slaveKeep_ = -1;
}

void SimProgrammer::emit(SimEvent::Type type, const std::string& port) {
    if (!listener_) return;
    SimEvent e{type, devicePath(), "LMK USB Programmer (" + port + ")", port};
    listener_(e);
}

// Serves commands until a plug or stop request needs the run loop.
void SimProgrammer::serve() {
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = read(wakeFd_, &v, sizeof v);
            std::lock_guard lock(mu_);
            if (stop_ || !wantPlugged_) return;
        }
        if (fds[0].revents & POLLIN) {
            uint8_t c;
            ssize_t n = read(master_, &c, 1);
            if (n == 1) {
                handle(c);
                std::lock_guard lock(mu_);
                if (!plugged_ || stop_ || !wantPlugged_) return;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Cannot happen while the slave is held open; avoid spinning if it does.
            poll(fds + 1, 1, 10);
        }
    }
}

bool SimProgrammer::readExact(uint8_t* dst, size_t n, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t got = 0;
    while (got < n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        int r = poll(fds, 2, static_cast<int>(left.count()));
        if (r < 0 && errno != EINTR) return false;
        if (fds[1].revents & POLLIN) {
            std::lock_guard lock(mu_);
            if (stop_ || !wantPlugged_) return false;
        }
        if (fds[0].revents & POLLIN) {
            ssize_t k = read(master_, dst + got, n - got);
            if (k > 0) got += static_cast<size_t>(k);
        }
    }
    return true;
}

bool SimProgrammer::writeAll(const uint8_t* src, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t k = write(master_, src + done, n - done);
        if (k > 0) {
            done += static_cast<size_t>(k);
            continue;
        }
        if (k < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd fd{master_, POLLOUT, 0};
        if (poll(&fd, 1, 1000) <= 0) return false;
    }
    return true;
}

void SimProgrammer::handle(uint8_t command) {
    LogEntry entry;
    entry.command = command;
    std::vector<uint8_t> reply;
    bool unplugNow = false;
    bool restartNow = false;

    // Arguments first: they are on the line whatever the programmer makes of them.
    size_t argCount = 0;
    switch (command) {
        case 0x04: argCount = 1; break;
        case 0x14: argCount = 2; break;
        case 0x1B: argCount = 4; break;
        default: break;
    }
    if (argCount) {
        entry.args.resize(argCount);
        if (!readExact(entry.args.data(), argCount, kArgTimeoutMs)) {
            entry.note = "incomplete command";
            addLog(std::move(entry));
            return;
        }
    }
    std::vector<uint8_t> data;
    if (command == 0x13) {
        size_t size;
        {
            std::lock_guard lock(mu_);
            size = static_cast<size_t>(pageSizeLocked());
        }
        data.resize(size);
        if (!readExact(data.data(), size, kArgTimeoutMs)) {
            entry.note = "incomplete page";
            addLog(std::move(entry));
            return;
        }
        std::chrono::microseconds programming;
        {
            std::lock_guard lock(mu_);
            programming = config_.pageWriteTime;
        }
        if (programming.count() > 0) std::this_thread::sleep_for(programming);
    }

    std::chrono::milliseconds delay{0};
    bool silent = false;
    {
        std::lock_guard lock(mu_);
        const bool cartUsable = cart_.code != kCodeNone && cart_.code != kCodeFaulty && cart_.geometry.pageSize;
        switch (command) {
            case 0x01:
                reply.push_back(cart_.code != kCodeNone && cart_.done ? kCodeDone : cart_.code);
                break;
            case 0x04:
                if (!boot_ && config_.kindReply == kKindReply3 && entry.args[0] == 0x07) {
                    switched_ = true;
                    reply.push_back(0x20);
                } else {
                    reply.push_back(0x00);
                }
                break;
            case 0x0F: reply.push_back(boot_ ? kKindReplyBoot : config_.kindReply); break;
            case 0x11:
                if (!boot_) reply.push_back(config_.value17);
                break;
            case 0x12: {
                if (boot_) {
                    entry.address = address_;
                    if (address_ + kBootPageSize <= kFlashSize) {
                        reply.assign(flash_.begin() + address_, flash_.begin() + address_ + kBootPageSize);
                        address_ += kBootPageSize;
                    }
                } else if (cartUsable) {
                    const uint32_t ps = cart_.geometry.pageSize;
                    entry.address = address_;
                    if ((address_ + 1) * ps <= cart_.memory.size()) {
                        reply.assign(cart_.memory.begin() + address_ * ps, cart_.memory.begin() + (address_ + 1) * ps);
                        ++address_;
                    }
                }
                if (reply.empty()) entry.note = "nothing to read";
                break;
            }
            case 0x13: {
                entry.address = address_;
                if (takeFault(Fault::Type::UnplugDuringWrite, command)) {
                    entry.note = "unplugged during the page write";
                    unplugNow = true;
                    break;
                }
                if (takeFault(Fault::Type::RefusePage, command)) {
                    entry.note = "page refused";
                    reply.push_back(0x00);
                    break;
                }
                if (boot_) {
                    if (address_ + kBootPageSize <= kFlashSize) {
                        std::copy(data.begin(), data.end(), flash_.begin() + address_);
                        address_ += kBootPageSize;
                        reply.push_back(0x20);
                    } else {
                        entry.note = "beyond the flash";
                        reply.push_back(0x00);
                    }
                } else if (cartUsable && (address_ + 1) * data.size() <= cart_.memory.size()) {
                    std::copy(data.begin(), data.end(), cart_.memory.begin() + address_ * data.size());
                    ++address_;
                    reply.push_back(0x20);
                } else {
                    entry.note = cartUsable ? "beyond the cartridge" : "no cartridge to write";
                    reply.push_back(0x00);
                }
                break;
            }
            case 0x14:
                address_ = ReadLe16(entry.args.data());
                break;
            case 0x16:
                address_ = 0;
                reply.push_back(0x20);
                break;
            case 0x18:
                if (cart_.sizeReply) {
                    reply.push_back(*cart_.sizeReply);
                } else {
                    reply.push_back(static_cast<uint8_t>(cart_.geometry.megabytes << 4));
                }
                break;
            case 0x19:
                if (cart_.code != kCodeNone) cart_.done = true;
                break;
            case 0x1A: break;
            case 0x1B:
                if (cart_.memory.size() >= 4) std::copy(entry.args.begin(), entry.args.end(), cart_.memory.begin());
                else entry.note = "no cartridge for the serial number";
                break;
            case 0x1C:
                if (cart_.memory.size() >= 4) reply.assign(cart_.memory.begin(), cart_.memory.begin() + 4);
                else reply.assign(4, 0xFF);
                break;
            case 0x1D: reply.assign(flash_.begin() + kRecordOffset, flash_.begin() + kRecordOffset + 32); break;
            case 0x1E: restartNow = true; break;
            default: entry.note = "unknown command"; break;
        }
        if (!unplugNow && !reply.empty() && takeFault(Fault::Type::NoReply, command)) {
            silent = true;
            entry.note = entry.note.empty() ? "not answered" : entry.note + ", not answered";
        }
        // Only a reply that goes out can be slow: a command without one, or one left unanswered,
        // is no occasion, or a strike would be spent on nothing.
        if (!unplugNow && !silent && !reply.empty()) delay = slowDelayLocked(command);
        if (delay.count() > 0) {
            const std::string slow = "reply delayed " + std::to_string(delay.count()) + " ms";
            entry.note = entry.note.empty() ? slow : entry.note + ", " + slow;
        }
        if (!silent && command != 0x12) entry.reply = reply;
        if (silent) entry.reply.clear();
        addLogLocked(entry);
    }

    if (unplugNow) {
        std::lock_guard lock(mu_);
        wantPlugged_ = false;  // the run loop closes the terminal and reports the removal
        return;
    }
    if (!silent && !reply.empty()) {
        if (delay.count() > 0) std::this_thread::sleep_for(delay);
        writeAll(reply.data(), reply.size());
    }
    if (restartNow) restart();
}

void SimProgrammer::restart() {
    // A restart drops the USB connection; the device re-enumerates in its other mode.
    std::string p;
    {
        std::lock_guard lock(mu_);
        restarting_ = true;
        p = port_;
    }
    closePty();
    bool toBoot;
    {
        std::lock_guard lock(mu_);
        port_.clear();
        boot_ = !boot_;
        toBoot = boot_;
        cart_.done = false;
    }
    addEvent(std::string("restarting into the ") + (toBoot ? "boot loader" : "application"));
    emit(SimEvent::Type::Removal, p);
    std::unique_lock lock(mu_);
    plugged_ = false;
    cv_.notify_all();
    cv_.wait_for(lock, config_.restartDelay, [&] { return stop_ || !wantPlugged_; });
    bool back = !stop_ && wantPlugged_;
    lock.unlock();
    bool ok = back && openPty();
    if (ok) {
        std::string np = port();
        addEvent("plugged in at " + np);
        emit(SimEvent::Type::Arrival, np);
    }
    lock.lock();
    restarting_ = false;
    if (ok) plugged_ = true;
    else wantPlugged_ = false;
    cv_.notify_all();
}

}  // namespace sim
