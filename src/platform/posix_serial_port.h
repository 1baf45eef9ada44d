#pragma once
// A programmer's serial port on Linux: a tty opened exclusively, in raw mode, with the
// Windows-style time-outs worked out with poll().
#include "devices/serial_port.h"

class PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;

    bool open(const std::string& path) override;
    bool isOpen() const override { return fd_ >= 0; }
    bool setTimeouts(const SerialTimeouts& timeouts) override;
    bool discardInput() override;
    SerialIo read(uint8_t* dst, size_t n) override;
    SerialIo write(const uint8_t* src, size_t n) override;
    void close() override;
    std::string openFailureAdvice() const override { return advice_; }

    int fd() const { return fd_; }

private:
    int fd_ = -1;
    std::string advice_;
    SerialTimeouts timeouts_{};
};

SerialPortFactory PosixSerialPortFactory();

// Where the udev rule for the programmers is installed.
constexpr const char* kProgrammerUdevRule = "/usr/lib/udev/rules.d/70-korvis-programmer.rules";

// What to do when `path` could not be opened with the error `err`: for a missing right, the udev
// rule or membership of the group that owns the device node; for a port in use, the other
// program. Empty for other errors.
std::string OpenFailureAdvice(int err, const std::string& path);
