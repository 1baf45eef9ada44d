// The texts and colours of a device panel.
#include "devices/panel_view.h"

#include <cmath>

#include "devices/usb_cpr.h"

std::string SizeText(int flashMb, int32_t value17) {
    return std::to_string(flashMb) + "M + " + std::to_string(value17) + "К";
}

std::string PortText(const std::string& portName, int32_t pageSize, int32_t serial) {
    if (pageSize == 0) return portName;
    std::string text = portName + " (№";
    switch (serial / 50000) {
    case 1: text += "A"; break;
    case 2: text += "B"; break;
    case 4: text += "C"; break;
    case 8: text += "D"; break;
    default: break;
    }
    return text + std::to_string(serial % 50000) + ")";
}

PanelView ViewUsbDevice(const TUsbCpr& cpr, bool writeOn, bool readOn) {
    PanelView v;
    const uint8_t code = cpr.Code;
    v.state = "Vedmar не готово";
    if (code == kCodeDone)
        v.state = "Выполнено, ждем смены ЛМК";
    else if (cpr.Opened)
        v.state = code == kCodeFaulty ? "ЛМК неисправен" : code == kCodeNone ? "ЛМК нет в Vedmar" : "Устройство открыто и готово";
    v.size = SizeText(cpr.FlashMb, cpr.Value17);
    switch (cpr.Status.load()) {
    case -1:
        v.colour = PanelColour::Red;
        v.state = "Группа больше объема ЛМК";
        break;
    case -2:
        v.colour = PanelColour::Lime;
        v.state = "Переподключите ЛМК";
        break;
    default:
        v.colour = PanelColour::Normal;
        break;
    }
    v.port = PortText(cpr.PortName, cpr.PageSize, cpr.Serial);
    v.resetProgress = (!writeOn && !readOn) || code == kCodeNone;
    return v;
}

PanelView InitBarView(const TUsbCpr& cpr, bool readOn) {
    PanelView v;
    if (cpr.Status != 0) {
        v.colour = PanelColour::Red;
        v.state = "Группа больше объема ЛМК";
    } else {
        v.state = readOn ? "Выполняется чтение из ЛМК" : "Выполняется запись в ЛМК";
    }
    v.size = SizeText(cpr.FlashMb, cpr.Value17);
    v.port = PortText(cpr.PortName, cpr.PageSize, cpr.Serial);
    v.resetProgress = true;
    return v;
}

PanelView InitBootView(const TUsbCpr& cpr, uint8_t major, uint8_t minor) {
    PanelView v;
    v.port = PortText(cpr.PortName, cpr.PageSize, cpr.Serial);
    v.colour = PanelColour::Lime;
    v.state = "Обновление программы";
    v.size = "Vedmar v" + std::to_string(major) + "." + std::to_string(minor);
    v.resetProgress = true;
    return v;
}

std::string ProgressText(int64_t done, int64_t maximum, double seconds) {
    const int64_t percent = maximum > 0 ? done * 100 / maximum : 0;
    const int64_t secs = static_cast<int64_t>(std::llround(seconds));
    return std::to_string(percent) + "% (" + std::to_string(secs) + " сек)";
}
