#pragma once
// A bare tty client for talking to a simulated programmer byte by byte, without the program's
// own serial code.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class RawLink {
public:
    explicit RawLink(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIFLUSH);
    }
    ~RawLink() {
        if (fd_ >= 0) ::close(fd_);
    }
    RawLink(const RawLink&) = delete;
    RawLink& operator=(const RawLink&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool send(const std::vector<uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Up to n bytes, waiting at most `wait` for each.
    std::vector<uint8_t> receive(size_t n, std::chrono::milliseconds wait = std::chrono::milliseconds(300)) {
        std::vector<uint8_t> out;
        while (out.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(wait.count())) <= 0 || !(p.revents & POLLIN)) break;
            uint8_t buf[1024];
            ssize_t k = ::read(fd_, buf, std::min(sizeof buf, n - out.size()));
            if (k <= 0) break;
            out.insert(out.end(), buf, buf + k);
        }
        return out;
    }
    std::vector<uint8_t> ask(const std::vector<uint8_t>& bytes, size_t replyBytes) {
        send(bytes);
        return receive(replyBytes);
    }

private:
    int fd_ = -1;
};
