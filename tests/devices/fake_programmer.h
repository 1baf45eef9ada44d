#pragma once
// A scripted programmer behind a SerialPort, answering each command at once. Enough of the
// device to check the host's bytes and decisions; the pseudo-terminal simulator covers the rest.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "devices/serial_port.h"

struct LoggedCommand {
    uint8_t cmd = 0;
    uint32_t arg = 0;  // address for 20, page for 19 and 18, number for 27
};

class FakeProgrammer {
public:
    // What the programmer answers.
    int kindReply = 96;        // -1: silent
    int switchReply = 0x20;    // to 04 07
    std::vector<uint8_t> record = std::vector<uint8_t>(32, 0);
    int value17 = 0;
    int sizeReply = 0x40;      // to 24; -1: silent
    uint32_t serial = 0;       // to 28
    bool openFails = false;
    bool timeoutsFail = false;
    std::set<uint32_t> refusedPages;  // 19 answers 0 there
    std::set<uint32_t> unreadablePages;  // 18 answers short there

    void setCartridge(int code, int pageSize = -1) {
        std::lock_guard<std::mutex> l(m_);
        code_ = code;
        done_ = false;
        pageSize_ = pageSize >= 0 ? pageSize : PageSizeOf(code);
        memory_.clear();
    }
    void unplug() {
        std::lock_guard<std::mutex> l(m_);
        gone_ = true;
    }
    std::vector<LoggedCommand> log() const {
        std::lock_guard<std::mutex> l(m_);
        return log_;
    }
    std::vector<uint8_t> commands() const {
        std::lock_guard<std::mutex> l(m_);
        std::vector<uint8_t> c;
        for (const auto& e : log_) c.push_back(e.cmd);
        return c;
    }
    size_t count(uint8_t cmd) const {
        auto c = commands();
        return static_cast<size_t>(std::count(c.begin(), c.end(), cmd));
    }
    std::vector<uint32_t> argsOf(uint8_t cmd) const {
        std::vector<uint32_t> a;
        for (const auto& e : log())
            if (e.cmd == cmd) a.push_back(e.arg);
        return a;
    }
    std::map<uint32_t, std::vector<uint8_t>> pages() const {
        std::lock_guard<std::mutex> l(m_);
        return memory_;
    }
    // Page 0 as the cartridge holds it (its first four bytes are the serial number).
    void setPage(uint32_t page, std::vector<uint8_t> bytes) {
        std::lock_guard<std::mutex> l(m_);
        memory_[page] = std::move(bytes);
    }

    // The port side.
    bool open() const { return !openFails; }
    bool gone() const {
        std::lock_guard<std::mutex> l(m_);
        return gone_;
    }
    void feed(const uint8_t* p, size_t n) {
        std::lock_guard<std::mutex> l(m_);
        for (size_t i = 0; i < n; ++i) take(p[i]);
    }
    size_t drain(uint8_t* dst, size_t n) {
        std::lock_guard<std::mutex> l(m_);
        size_t k = 0;
        while (k < n && !out_.empty()) {
            dst[k++] = out_.front();
            out_.pop_front();
        }
        return k;
    }
    void discard() {
        std::lock_guard<std::mutex> l(m_);
        out_.clear();
    }

private:
    static int PageSizeOf(int code) {
        switch (code) {
        case 36: case 37: case 32: case 60: return 256;
        case 44: case 40: case 52: return 512;
        default: return 0;
        }
    }
    void reply(uint8_t b) { out_.push_back(b); }
    void logCmd(uint8_t c, uint32_t arg = 0) { log_.push_back({c, arg}); }

    void take(uint8_t b) {
        if (cmd_ == 0) {
            start(b);
            return;
        }
        args_.push_back(b);
        if (args_.size() < need_) return;
        const uint8_t c = cmd_;
        cmd_ = 0;
        finish(c);
    }
    void start(uint8_t c) {
        args_.clear();
        switch (c) {
        case 4: need_ = 1; cmd_ = c; return;
        case 19: need_ = static_cast<size_t>(pageSize_); cmd_ = c; if (need_ == 0) finish(c); return;
        case 20: need_ = 2; cmd_ = c; return;
        case 27: need_ = 4; cmd_ = c; return;
        default: break;
        }
        switch (c) {
        case 1: logCmd(c); reply(done_ ? 255 : static_cast<uint8_t>(code_)); break;
        case 15: logCmd(c); if (kindReply >= 0) reply(static_cast<uint8_t>(kindReply)); break;
        case 17: logCmd(c); reply(static_cast<uint8_t>(value17)); break;
        case 18: {
            logCmd(c, address_);
            std::vector<uint8_t> page = pageAt(address_);
            size_t n = unreadablePages.count(address_) ? page.size() / 2 : page.size();
            for (size_t i = 0; i < n; ++i) reply(page[i]);
            ++address_;
            break;
        }
        case 22: logCmd(c); reply(0x20); break;
        case 24: logCmd(c); if (sizeReply >= 0) reply(static_cast<uint8_t>(sizeReply)); break;
        case 25: logCmd(c); done_ = true; break;
        case 28: logCmd(c); for (int i = 0; i < 4; ++i) reply(static_cast<uint8_t>(serial >> (8 * i))); break;
        case 29: logCmd(c); for (uint8_t r : record) reply(r); break;
        default: logCmd(c); break;
        }
    }
    void finish(uint8_t c) {
        switch (c) {
        case 4: logCmd(c, args_[0]); reply(static_cast<uint8_t>(switchReply)); break;
        case 19: {
            logCmd(c, address_);
            const bool refused = refusedPages.count(address_) != 0;
            if (!refused) memory_[address_] = args_;
            reply(refused ? 0 : 0x20);
            ++address_;
            break;
        }
        case 20: address_ = args_[0] | (args_[1] << 8); logCmd(c, address_); break;
        case 27: {
            uint32_t v = args_[0] | (args_[1] << 8) | (args_[2] << 16) | (uint32_t(args_[3]) << 24);
            logCmd(c, v);
            break;
        }
        default: break;
        }
    }
    std::vector<uint8_t> pageAt(uint32_t page) const {
        auto it = memory_.find(page);
        if (it != memory_.end()) return it->second;
        std::vector<uint8_t> fill(static_cast<size_t>(pageSize_));
        for (size_t i = 0; i < fill.size(); ++i) fill[i] = static_cast<uint8_t>(page * 7 + i);
        return fill;
    }

    mutable std::mutex m_;
    int code_ = 1;
    int pageSize_ = 0;
    bool done_ = false;
    bool gone_ = false;
    uint32_t address_ = 0;
    uint8_t cmd_ = 0;
    size_t need_ = 0;
    std::vector<uint8_t> args_;
    std::deque<uint8_t> out_;
    std::vector<LoggedCommand> log_;
    std::map<uint32_t, std::vector<uint8_t>> memory_;
};

class FakePort : public SerialPort {
public:
    explicit FakePort(std::shared_ptr<FakeProgrammer> dev) : dev_(std::move(dev)) {}
    bool open(const std::string& path) override {
        openedPath = path;
        open_ = dev_->open();
        return open_;
    }
    bool isOpen() const override { return open_; }
    bool setTimeouts(const SerialTimeouts&) override { return !dev_->timeoutsFail; }
    bool discardInput() override {
        dev_->discard();
        return true;
    }
    SerialIo read(uint8_t* dst, size_t n) override {
        if (dev_->gone()) return {false, 0};
        return {true, dev_->drain(dst, n)};
    }
    SerialIo write(const uint8_t* src, size_t n) override {
        if (dev_->gone()) return {false, 0};
        dev_->feed(src, n);
        return {true, n};
    }
    void close() override { open_ = false; }

    std::string openedPath;

private:
    std::shared_ptr<FakeProgrammer> dev_;
    bool open_ = false;
};

inline SerialPortFactory FakeFactory(std::shared_ptr<FakeProgrammer> dev) {
    return [dev] { return std::unique_ptr<SerialPort>(new FakePort(dev)); };
}
