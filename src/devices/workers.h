#pragma once
// The work of a programmer slot's thread: the write worker for programmers with their
// application, the boot worker for programmers in their boot loader.
#include "devices/usb_cpr.h"

// Polls the cartridge, reports its changes, writes the image into each suitable cartridge while
// writing is on and reads a cartridge back while read-back is on. Returns after the end report.
void WriteWorker(TUsbCpr& cpr);

// Flashes the prepared firmware into a programmer in its boot loader and restarts it; then waits
// for the stop request. Returns after the end report.
void BootWorker(TUsbCpr& cpr);

// The main window's "set serial number": pauses the worker, sends command 27 and makes the worker
// read the cartridge again. Runs on the main thread; waits 500 ms.
void SetCartridgeSerial(TUsbCpr& cpr, int32_t number);

// The worker's waits, in milliseconds.
namespace waits {
constexpr int kThreadStart = 20;
constexpr int kWorkerStart = 250;
constexpr int kIdle = 100;
constexpr int kAfterPage = 10;
constexpr int kBeforeDone = 600;
constexpr int kPauseBeforeSerial = 500;
constexpr int kQuery = 1;
}  // namespace waits
