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

    int fd() const { return fd_; }

private:
    int fd_ = -1;
    SerialTimeouts timeouts_{};
};

SerialPortFactory PosixSerialPortFactory();
