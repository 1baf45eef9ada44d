#pragma once
// What the main thread and every programmer worker share: the flags of the main window, the
// image being written, the read-back buffer and the list of freshly flashed ports.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

struct PreparedFirmware;

constexpr size_t kImageBufferSize = 16u * 1024 * 1024;  // one byte per cartridge address
constexpr size_t kPageMapSize = 65536;                  // one entry per 256-byte block

// Ports of programmers that have just been flashed; a boot worker adds, Open takes.
class UpdatedPorts {
public:
    static constexpr int kEntries = 16;
    // False when all entries are taken (the port is then not remembered).
    bool add(const std::string& port);
    // True (and the entry emptied) when `port` was listed.
    bool take(const std::string& port);
    bool contains(const std::string& port) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::array<std::string, kEntries> entries_{};
};

struct WorkShared {
    std::atomic<bool> GroupBuilt{false};
    std::atomic<bool> WriteOn{false};
    std::atomic<bool> ReadOn{false};
    // The amount a cartridge must hold; read-back sets it to the cartridge's size.
    std::atomic<int32_t> ImageLength{0};

    // The image workers write from: kImageBufferSize bytes and kPageMapSize page-map entries.
    // The owner may change the bytes (a new build) or the pointers only while
    // CartridgesInProgress is 0 and writing is off; workers only read them.
    std::atomic<const uint8_t*> ImageBuffer{nullptr};
    std::atomic<const uint8_t*> PageMap{nullptr};
    // kImageBufferSize bytes that read-back fills; nullptr disables read-back.
    std::atomic<uint8_t*> ReadBuffer{nullptr};

    // Workers in the middle of a cartridge write or read right now.
    std::atomic<int> CartridgesInProgress{0};

    // Read every written page back and compare it before the write counts as complete.
    std::atomic<bool> VerifyWrite{false};

    // Where read-back puts "ReadedGrp.bin" and "ReadedGrp2.bin"; empty = the current directory.
    // Set before workers start.
    std::string ReadBackFolder;

    // The firmware that programmers are brought up to (FindFirmware); nullptr = never update
    // by version. Set before any programmer is opened.
    const PreparedFirmware* Firmware = nullptr;

    UpdatedPorts Updated;
};
