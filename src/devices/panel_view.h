#pragma once
// What a device panel shows for its slot: the texts and colour the reports lead to. The window
// puts them into its controls; lmk prints them.
#include <cstdint>
#include <string>

class TUsbCpr;

enum class PanelColour { Normal, Red, Lime };

struct PanelView {
    std::string state;
    std::string size;
    std::string port;
    PanelColour colour = PanelColour::Normal;
    bool resetProgress = false;  // bar to 0 and "0%"
};

// Report 1026.
PanelView ViewUsbDevice(const TUsbCpr& cpr, bool writeOn, bool readOn);
// "2M + 0К"
std::string SizeText(int flashMb, int32_t value17);
// The port name with the cartridge's serial number when the cartridge has pages.
std::string PortText(const std::string& portName, int32_t pageSize, int32_t serial);

// Report 1028: the state text and colour while a write or read runs (size and port as before).
PanelView InitBarView(const TUsbCpr& cpr, bool readOn);
// Report 1030, with the firmware's version in the size text (port as before).
PanelView InitBootView(const TUsbCpr& cpr, uint8_t major, uint8_t minor);

// Reports 1029 and 1031: "N% (S сек)" with the percentage done * 100 / maximum.
std::string ProgressText(int64_t done, int64_t maximum, double seconds);
