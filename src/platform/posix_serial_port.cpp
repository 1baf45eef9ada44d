// The programmer's tty: exclusive, raw, and with time-outs measured by poll().
#include "platform/posix_serial_port.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline` (never negative), or -1 for no limit.
int Remaining(bool limited, Clock::time_point deadline) {
    if (!limited) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() { PosixSerialPort::close(); }

std::string OpenFailureAdvice(int err, const std::string& path) {
    if (err == EACCES || err == EPERM) {
        std::string owner;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            // getgrgid_r would need a buffer of unknown size; this runs on the main thread only.
            if (const struct group* g = ::getgrgid(st.st_gid)) owner = g->gr_name;  // NOLINT(concurrency-mt-unsafe)
        }
        std::string advice = "нет прав на " + path + ": установите правило udev " + kProgrammerUdevRule +
                             " (пакет korvis) и переподключите программатор";
        if (!owner.empty())
            advice += ", или добавьте пользователя в группу " + owner + " (sudo usermod -aG " + owner +
                      " $USER) и войдите в систему заново";
        return advice;
    }
    if (err == EBUSY || err == EWOULDBLOCK)
        return path + " занят другой программой: закройте её и переподключите программатор";
    return {};
}

bool PosixSerialPort::open(const std::string& path) {
    close();
    advice_.clear();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        advice_ = OpenFailureAdvice(errno, path);
        return false;
    }
    // Two programs talking to one programmer would mix their commands and replies.
    if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        advice_ = OpenFailureAdvice(errno, path);
        ::close(fd);
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return false;
    }
    // Raw bytes both ways: the command bytes 0x11 and 0x13 are XON and XOFF to a tty in its
    // usual mode, and 0x0D would become 0x0A. Speed and framing stay as the driver has them.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool PosixSerialPort::setTimeouts(const SerialTimeouts& timeouts) {
    if (fd_ < 0) return false;
    timeouts_ = timeouts;
    return true;
}

bool PosixSerialPort::discardInput() {
    if (fd_ < 0) return false;
    return ::tcflush(fd_, TCIFLUSH) == 0;
}

SerialIo PosixSerialPort::read(uint8_t* dst, size_t n) {
    SerialIo r;
    if (fd_ < 0) return r;
    const long long total = static_cast<long long>(timeouts_.readTotalPerByteMs) * static_cast<long long>(n) +
                            timeouts_.readTotalConstMs;
    const bool limited = total > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total);
    while (r.done < n) {
        int wait = Remaining(limited, deadline);
        if (r.done > 0 && timeouts_.readIntervalMs > 0 && (wait < 0 || wait > timeouts_.readIntervalMs))
            wait = timeouts_.readIntervalMs;
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, wait);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return r;
        }
        if (ready == 0) {
            r.ok = true;  // a time-out: fewer bytes, not an error
            return r;
        }
        if (!(p.revents & POLLIN) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return r;
        const ssize_t got = ::read(fd_, dst + r.done, n - r.done);
        if (got > 0) {
            r.done += static_cast<size_t>(got);
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            return r;  // the device went away, or the read failed
        }
    }
    r.ok = true;
    return r;
}

SerialIo PosixSerialPort::write(const uint8_t* src, size_t n) {
    SerialIo r;
    if (fd_ < 0) return r;
    const long long total = static_cast<long long>(timeouts_.writeTotalPerByteMs) * static_cast<long long>(n) +
                            timeouts_.writeTotalConstMs;
    const bool limited = total > 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total);
    while (r.done < n) {
        const ssize_t put = ::write(fd_, src + r.done, n - r.done);
        if (put > 0) {
            r.done += static_cast<size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EINTR) return r;
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, Remaining(limited, deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return r;
        }
        if (ready == 0) {
            r.ok = true;
            return r;
        }
        if (!(p.revents & POLLOUT) && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return r;
    }
    r.ok = true;
    return r;
}

void PosixSerialPort::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
}

SerialPortFactory PosixSerialPortFactory() {
    return [] { return std::unique_ptr<SerialPort>(new PosixSerialPort()); };
}
