#pragma once
// The byte link to one programmer. The programmer is a USB device that shows up as a serial
// port; the program never sets speed or framing, only time-outs.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Windows-style time-outs: a read ends when `readIntervalMs` pass between two bytes or when
// readTotalPerByteMs * n + readTotalConstMs pass in all; a write gives up after
// writeTotalPerByteMs * n + writeTotalConstMs. Zero disables that limit.
struct SerialTimeouts {
    int readIntervalMs = 0;
    int readTotalPerByteMs = 0;
    int readTotalConstMs = 0;
    int writeTotalPerByteMs = 0;
    int writeTotalConstMs = 0;
};

// The result of one read or write call: `ok` is false only when the call itself failed (the port
// is gone, an error); a time-out is ok with fewer bytes `done`.
struct SerialIo {
    bool ok = false;
    size_t done = 0;
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens the device for reading and writing, exclusively; false when it cannot be opened.
    virtual bool open(const std::string& path) = 0;
    virtual bool isOpen() const = 0;
    // False when the port refuses the settings (the caller treats the port as unusable).
    virtual bool setTimeouts(const SerialTimeouts& timeouts) = 0;
    // Drops whatever the device sent that nobody has read yet.
    virtual bool discardInput() = 0;
    // Reads up to n bytes, waiting at most as the time-outs allow.
    virtual SerialIo read(uint8_t* dst, size_t n) = 0;
    virtual SerialIo write(const uint8_t* src, size_t n) = 0;
    virtual void close() = 0;
    // After a failed open: what the operator can do about it (for example, how to get the right
    // to open the device), or empty when there is nothing to say.
    virtual std::string openFailureAdvice() const { return {}; }
};

// Makes a fresh, closed port object. The platform layer gives the real one; tests give fakes.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;
