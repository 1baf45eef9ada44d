#pragma once
// One simulated cartridge programmer behind a pseudo-terminal. The program opens the slave side
// like any serial device; the simulator answers on the master side from its own thread.
//
// It models what the host relies on: the identification and kind-3 switch, the firmware record
// kept in the programmer's own flash (at 0x2FE0 of its 16 KB code area), a cartridge of any code
// with its memory, the address pointer that steps one page after each transfer, the "write
// complete" answer 255 after command 25 until the cartridge is taken out, and the boot loader
// (byte addresses, 128-byte pages). A restart (command 30) makes the device leave and, after a
// short pause, come back in its other mode as a new arrival.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devices/firmware.h"

namespace sim {

constexpr int kFlashSize = 16384;        // the programmer's code area
constexpr int kRecordOffset = 0x2FE0;    // where its firmware record lives in it
constexpr int kBootPageSize = 128;

// Byte answered to command 15.
constexpr uint8_t kKindReply8 = 96;
constexpr uint8_t kKindReply3 = 87;
constexpr uint8_t kKindReplyBoot = 112;

// Cartridge codes answered to command 1.
constexpr uint8_t kCodeFaulty = 0;
constexpr uint8_t kCodeNone = 1;
constexpr uint8_t kCodeDone = 255;

// The size and page size of a cartridge type (bits 2 to 5 of its code); 0 for an unknown type.
struct CartridgeGeometry {
    int megabytes = 0;
    int pageSize = 0;
    int bytes() const { return megabytes * 1048576; }
};
CartridgeGeometry GeometryOfCode(uint8_t code);

// A firmware record as the programmer keeps it (32 bytes, the layout of devices/firmware.h).
FirmwareRecord MakeFirmwareRecord(uint32_t version, uint16_t codeSize, uint8_t major, uint8_t minor);

struct Fault {
    enum class Type {
        NoReply,            // matching commands are read but never answered
        RefusePage,         // a page write answers 0x00 and writes nothing
        SlowReply,          // every matching reply waits delay first
        UnplugDuringWrite,  // the device disappears on a page write, before answering it
    };
    Type type = Type::NoReply;
    int command = -1;  // NoReply, SlowReply: the command it applies to, -1 for all
    int skip = 0;      // occasions that still go well first (commands that answer, or page writes)
    int times = -1;    // how many times it strikes; -1 for ever, 0 never
    std::chrono::milliseconds delay{0};
};

struct LogEntry {
    std::chrono::microseconds time{0};  // since the simulator's epoch
    int command = -1;                   // the command byte; -1 for an event (plugged, cartridge...)
    std::vector<uint8_t> args;          // parameter bytes (not the data of a page write)
    int64_t address = -1;               // page (or byte, in boot mode) a page command acted on
    std::vector<uint8_t> reply;         // what was answered (not the data of a page read)
    std::string note;                   // events, refusals, faults
};

struct SimEvent {
    enum class Type { Arrival, Removal };
    Type type;
    std::string devicePath;
    std::string friendlyName;
    std::string port;  // the pseudo-terminal's path
};

struct SimProgrammerConfig {
    uint8_t kindReply = kKindReply8;
    uint8_t value17 = 0;
    bool bootMode = false;  // starts in its boot loader
    // Written into the flash at creation: by default the application is current with the
    // program's built-in firmware.
    FirmwareRecord record = MakeFirmwareRecord(kBuiltInVersion, kBuiltInCodeSize, kBuiltInMajor, kBuiltInMinor);
    std::chrono::milliseconds restartDelay{150};  // how long a restarting device stays away
    std::chrono::microseconds pageWriteTime{0};   // programming time of one page
};

class SimProgrammer {
public:
    using Listener = std::function<void(const SimEvent&)>;

    // The device starts unplugged; plug() makes it appear. With a `linkFolder` the device is
    // reached through a link there that keeps its name across restarts, as a COM port or a
    // /dev/serial/by-id name does; without one, through the bare pseudo-terminal.
    SimProgrammer(int id, SimProgrammerConfig config, std::chrono::steady_clock::time_point epoch,
                  Listener listener, std::string linkFolder = {});
    ~SimProgrammer();
    SimProgrammer(const SimProgrammer&) = delete;
    SimProgrammer& operator=(const SimProgrammer&) = delete;

    int id() const { return id_; }
    std::string devicePath() const;
    // The path a program opens; empty while the device is away.
    std::string port() const;
    // The pseudo-terminal behind it now.
    std::string ttyPath() const;
    std::string friendlyName() const;
    bool plugged() const;
    bool bootMode() const;

    // Both return once the device is there or gone (false when it could not be made).
    bool plug();
    void unplug();
    // Waits while a restart is under way; true when the device is there afterwards.
    bool waitPlugged(std::chrono::milliseconds timeout);
    // Waits until the device is away and its removal announced; true when it is.
    bool waitUnplugged(std::chrono::milliseconds timeout);

    // Cartridge. Code 1 is the same as remove(). The memory of a known type starts blank (0xFF).
    void insert(uint8_t code);
    void insert(uint8_t code, std::vector<uint8_t> memory);
    void remove();
    // Replaces the answer to command 24 (normally the size in megabytes in bits 4 to 7).
    void setSizeReply(std::optional<uint8_t> reply);
    // Makes the programmer answer 255 as after command 25.
    void setWriteComplete(bool done);
    std::vector<uint8_t> cartridge() const;
    std::optional<uint8_t> cartridgeCode() const;
    bool writeComplete() const;

    void setKindReply(uint8_t reply);
    void setValue17(uint8_t value);
    void setRecord(const FirmwareRecord& record);
    void setFirmwareVersion(uint32_t version);
    FirmwareRecord record() const;
    std::vector<uint8_t> flash() const;

    void inject(const Fault& fault);
    void clearFaults();

    std::vector<LogEntry> log() const;
    void clearLog();
    // Waits until the log satisfies `done` (called with the lock held, keep it short).
    bool waitLog(const std::function<bool(const std::vector<LogEntry>&)>& done,
                 std::chrono::milliseconds timeout) const;

private:
    struct Cartridge {
        uint8_t code = kCodeNone;
        CartridgeGeometry geometry;
        std::vector<uint8_t> memory;
        bool done = false;
        std::optional<uint8_t> sizeReply;
    };

    void run();
    bool openPty();
    void closePty();
    void emit(SimEvent::Type type, const std::string& port);
    void serve();
    bool readExact(uint8_t* dst, size_t n, int timeoutMs);
    bool writeAll(const uint8_t* src, size_t n);
    void handle(uint8_t command);
    void restart();
    void addLog(LogEntry entry);   // takes the lock
    void addLogLocked(LogEntry entry);
    void addEvent(const std::string& note);
    void wake();
    // Fault lookups; the lock is held.
    std::optional<Fault> strikeLocked(Fault::Type type, int command);
    bool takeFault(Fault::Type type, int command);
    std::chrono::milliseconds slowDelayLocked(int command);
    int pageSizeLocked() const;

    const int id_;
    const std::chrono::steady_clock::time_point epoch_;
    const Listener listener_;

    mutable std::mutex mu_;
    mutable std::condition_variable cv_;
    SimProgrammerConfig config_;
    bool boot_ = false;
    bool switched_ = false;
    std::vector<uint8_t> flash_;
    Cartridge cart_;
    uint32_t address_ = 0;
    std::vector<Fault> faults_;
    std::vector<LogEntry> log_;
    bool wantPlugged_ = false;
    bool plugged_ = false;
    bool restarting_ = false;
    bool stop_ = false;
    std::string port_;
    std::string tty_;
    const std::string linkFolder_;

    // Owned by the device thread while it runs.
    int master_ = -1;
    int slaveKeep_ = -1;
    int wakeFd_ = -1;
    std::thread thread_;
};

}  // namespace sim
