// The slot table: discovery at start, arrivals and removals, and slots coming and going while
// workers run.
#include <gtest/gtest.h>

#include <map>

#include "device_helpers.h"
#include "devices/report_queue.h"
#include "devices/usb_cpr_table.h"
#include "fake_programmer.h"

namespace {

class FakeSource : public DeviceSource {
public:
    std::vector<FoundDevice> devices;
    std::vector<DeviceEvent> events;
    std::vector<FoundDevice> enumerate() override { return devices; }
    bool startMonitor(std::string&) override { return true; }
    int eventFd() const override { return -1; }
    std::vector<DeviceEvent> takeEvents() override { return std::exchange(events, {}); }
};

// Opens the fake programmer registered under the port's name.
class RoutedPort : public SerialPort {
public:
    explicit RoutedPort(std::map<std::string, std::shared_ptr<FakeProgrammer>>& devs) : devs_(devs) {}
    bool open(const std::string& path) override {
        auto it = devs_.find(path);
        if (it == devs_.end()) return false;
        port_ = std::make_unique<FakePort>(it->second);
        return port_->open(path);
    }
    bool isOpen() const override { return port_ && port_->isOpen(); }
    bool setTimeouts(const SerialTimeouts& t) override { return port_->setTimeouts(t); }
    bool discardInput() override { return port_->discardInput(); }
    SerialIo read(uint8_t* d, size_t n) override { return port_->read(d, n); }
    SerialIo write(const uint8_t* s, size_t n) override { return port_->write(s, n); }
    void close() override {
        if (port_) port_->close();
    }

private:
    std::map<std::string, std::shared_ptr<FakeProgrammer>>& devs_;
    std::unique_ptr<FakePort> port_;
};

struct Observer : SlotObserver {
    std::vector<int> attached, opened, removed;
    int changes = 0;
    void slotAttached(int s, TUsbCpr&) override { attached.push_back(s); }
    void slotOpened(int s, TUsbCpr&) override { opened.push_back(s); }
    void slotRemoved(int s) override { removed.push_back(s); }
    void devicesChanged() override { ++changes; }
};

struct Bench {
    std::map<std::string, std::shared_ptr<FakeProgrammer>> devs;
    FakeSource source;
    WorkShared shared;
    UsbCprTable* table = nullptr;
    std::vector<SeenReport> reports;
    ReportQueue queue{[this](int m, int s, int32_t v) {
        reports.push_back({m, s, v});
        if (m == kReportEnd) table->RemoveDevice(s);
    }};
    std::unique_ptr<UsbCprTable> owned;
    Observer observer;
    std::vector<uint8_t> image = std::vector<uint8_t>(kImageBufferSize, 0x11);
    std::vector<uint8_t> map = std::vector<uint8_t>(kPageMapSize, 0);

    Bench() {
        owned = std::make_unique<UsbCprTable>(shared, queue, source, [this] {
            return std::unique_ptr<SerialPort>(new RoutedPort(devs));
        });
        table = owned.get();
        table->setObserver(&observer);
        table->setMessagePump([this] { queue.pump(); });
        shared.ImageBuffer = image.data();
        shared.PageMap = map.data();
    }
    ~Bench() { EXPECT_TRUE(table->ShutDown([this] { queue.pump(); }, std::chrono::seconds(20))); }

    // A programmer present on `port`, known by `path`.
    std::shared_ptr<FakeProgrammer> plug(const std::string& port, const std::string& path, int cartridge = 1) {
        auto dev = std::make_shared<FakeProgrammer>();
        dev->setCartridge(cartridge);
        devs[port] = dev;
        source.devices.push_back({"LMK USB Programmer (" + port + ")", path});
        return dev;
    }
    bool pumpUntil(const std::function<bool()>& done) {
        return WaitFor([&] {
            queue.pump(std::chrono::milliseconds(5));
            return done();
        });
    }
};

TEST(ProgrammerSlots, FriendlyNameGivesThePort) {
    const std::pair<const char*, const char*> cases[] = {
        {"LMK USB Programmer (COM5)", "COM5"},
        {"LMK USB Programmer (COM12)", "COM12"},
        {"LMK USB Programmer (/dev/ttyACM0)", "/dev/ttyACM0"},
        {"lmk usb programmer (COM5)", ""},
        {"LMK USB Programmer", ""},
        {"LMK USB Programmer ()", ""},
        {"USB Serial Device (COM3)", ""},
    };
    for (const auto& [name, port] : cases) EXPECT_EQ(PortOfFriendlyName(name), port) << name;
}

TEST(ProgrammerSlots, ProgrammersPresentAtStartFillSlotsInOrder) {
    Bench b;
    b.plug("/dev/ttyACM3", "/sys/a");
    b.source.devices.push_back({"USB Mouse", "/sys/mouse"});
    b.source.devices.push_back({"", "/sys/nameless"});
    auto bad = b.plug("/dev/ttyACM4", "/sys/b");
    bad->kindReply = -1;  // does not identify itself
    b.plug("/dev/ttyACM5", "/sys/c");
    b.table->EnumProgrammers();
    ASSERT_EQ(b.table->foundDevices().size(), 3u);
    b.table->AddFoundDevices();
    EXPECT_EQ(b.table->UsbCprCount(), 2);
    ASSERT_NE(b.table->slot(0), nullptr);
    ASSERT_NE(b.table->slot(1), nullptr);
    EXPECT_EQ(b.table->slot(2), nullptr);
    EXPECT_EQ(b.table->slot(0)->PortName, "/dev/ttyACM3");
    EXPECT_EQ(b.table->slot(1)->PortName, "/dev/ttyACM5");
    EXPECT_EQ(b.table->slot(1)->DevicePath, "/sys/c");
    // The failed one's slot 1 was freed at once and given to the next.
    EXPECT_EQ(b.observer.attached, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(b.observer.removed, (std::vector<int>{1}));
    EXPECT_EQ(b.observer.opened, (std::vector<int>{0, 1}));
    ASSERT_EQ(b.reports.size(), 1u);
    EXPECT_EQ(b.reports[0].message, kReportEnd);
}

TEST(ProgrammerSlots, SeventeenthProgrammerAndRepeatedArrivalsAreIgnored) {
    Bench b;
    for (int i = 0; i < 17; ++i) b.plug("/dev/ttyACM" + std::to_string(i), "/sys/p" + std::to_string(i));
    b.table->EnumProgrammers();
    EXPECT_EQ(b.table->foundDevices().size(), 16u);
    b.table->AddFoundDevices();
    EXPECT_EQ(b.table->UsbCprCount(), 16);
    EXPECT_EQ(b.table->AddDevice("/dev/ttyACM16", "/sys/p16"), -1);
    b.source.events.push_back({DeviceEventKind::Arrival, "/sys/p16"});
    b.source.events.push_back({DeviceEventKind::Arrival, "/SYS/P3"});
    b.table->OnMyDeviceChange();
    EXPECT_EQ(b.table->UsbCprCount(), 16);
    EXPECT_EQ(b.table->slot(3)->DevicePath, "/sys/p3");
    EXPECT_EQ(b.devs["/dev/ttyACM3"]->count(15), 1u);  // opened once only
    EXPECT_EQ(b.devs["/dev/ttyACM16"]->count(15), 0u);
}

TEST(ProgrammerSlots, ArrivalAndRemovalEvents) {
    Bench b;
    b.table->EnumProgrammers();
    b.table->AddFoundDevices();
    EXPECT_EQ(b.table->UsbCprCount(), 0);

    b.plug("/dev/ttyACM0", "/sys/x");
    b.source.events.push_back({DeviceEventKind::Other, "/sys/x"});
    b.source.events.push_back({DeviceEventKind::Arrival, "/sys/unknown"});
    b.table->OnMyDeviceChange();
    EXPECT_EQ(b.table->occupiedSlots(), 0);
    EXPECT_EQ(b.observer.changes, 0);

    b.source.events.push_back({DeviceEventKind::Arrival, "/SYS/X"});
    b.table->OnMyDeviceChange();
    ASSERT_NE(b.table->slot(0), nullptr);
    EXPECT_EQ(b.table->slot(0)->DevicePath, "/sys/x");
    EXPECT_EQ(b.observer.changes, 1);
    ASSERT_TRUE(b.pumpUntil([&] { return !b.reports.empty(); }));  // the first view report

    b.source.events.push_back({DeviceEventKind::Removal, "/sys/other"});
    b.table->OnMyDeviceChange();
    EXPECT_EQ(b.table->slot(0)->Control, kControlRun);
    b.source.events.push_back({DeviceEventKind::Removal, "/Sys/X"});
    b.table->OnMyDeviceChange();
    ASSERT_TRUE(b.pumpUntil([&] { return b.table->slot(0) == nullptr; }));
    EXPECT_EQ(b.table->UsbCprCount(), 0);
    EXPECT_EQ(b.observer.removed, std::vector<int>{0});
}

// Unplugged and plugged back before the old worker has ended: the arrival finds the slot still
// taken, and the device must get it once the old worker is gone, not stay without a slot.
TEST(ProgrammerSlots, DeviceBackBeforeItsOldWorkerEndedGetsASlot) {
    Bench b;
    auto first = b.plug("/dev/ttyACM0", "/sys/x");
    b.table->EnumProgrammers();
    b.table->AddFoundDevices();
    ASSERT_EQ(b.table->UsbCprCount(), 1);
    ASSERT_TRUE(b.pumpUntil([&] { return !b.reports.empty(); }));

    first->unplug();
    auto second = std::make_shared<FakeProgrammer>();
    second->setCartridge(1);
    b.devs["/dev/ttyACM0"] = second;
    b.source.events.push_back({DeviceEventKind::Removal, "/sys/x"});
    b.source.events.push_back({DeviceEventKind::Arrival, "/sys/x"});
    b.table->OnMyDeviceChange();
    ASSERT_TRUE(b.pumpUntil([&] { return second->count(15) == 1 && b.table->slot(0) != nullptr; }));
    EXPECT_EQ(b.table->UsbCprCount(), 1);
    EXPECT_EQ(b.observer.removed, std::vector<int>{0});
    EXPECT_EQ(b.observer.opened, (std::vector<int>{0, 0}));

    // Back, and gone again before the old slot was freed: nothing is added for it.
    second->unplug();
    b.source.events.push_back({DeviceEventKind::Removal, "/sys/x"});
    b.source.events.push_back({DeviceEventKind::Arrival, "/sys/x"});
    b.table->OnMyDeviceChange();
    b.source.devices.clear();
    ASSERT_TRUE(b.pumpUntil([&] { return b.table->slot(0) == nullptr; }));
    WaitFor([&] {
        b.queue.pump(std::chrono::milliseconds(5));
        return false;
    }, std::chrono::milliseconds(300));
    EXPECT_EQ(b.table->UsbCprCount(), 0);
    EXPECT_EQ(b.table->occupiedSlots(), 0);
}

TEST(ProgrammerSlots, UnpluggingOneProgrammerDuringWritesLeavesTheOtherWriting) {
    Bench b;
    for (int blk = 32; blk < 32 + 400; ++blk) b.map[blk] = 1;
    b.shared.ImageLength = (32 + 400) * 256;
    b.shared.GroupBuilt = true;
    b.shared.WriteOn = true;
    auto one = b.plug("/dev/ttyACM0", "/sys/one", 36);
    auto two = b.plug("/dev/ttyACM1", "/sys/two", 36);
    b.table->EnumProgrammers();
    b.table->AddFoundDevices();
    ASSERT_EQ(b.table->UsbCprCount(), 2);
    ASSERT_TRUE(b.pumpUntil([&] { return one->count(19) > 20 && two->count(19) > 20; }));
    EXPECT_TRUE(b.table->AnyCartridgeInProgress());
    EXPECT_EQ(b.shared.CartridgesInProgress, 2);

    one->unplug();
    b.source.devices.erase(b.source.devices.begin());
    b.source.events.push_back({DeviceEventKind::Removal, "/sys/one"});
    b.table->OnMyDeviceChange();
    ASSERT_TRUE(b.pumpUntil([&] { return b.table->slot(0) == nullptr; }));
    EXPECT_LT(one->count(19), 400u);
    ASSERT_TRUE(b.pumpUntil([&] { return two->count(25) == 1; }));
    EXPECT_EQ(two->count(19), 400u);
    EXPECT_EQ(b.table->UsbCprCount(), 1);
}

TEST(ProgrammerSlots, SerialNumberGoesToTheLowestOccupiedSlot) {
    Bench b;
    auto first = b.plug("/dev/ttyACM0", "/sys/0", 1);
    auto second = b.plug("/dev/ttyACM1", "/sys/1", 36);
    b.table->EnumProgrammers();
    b.table->AddFoundDevices();
    // No cartridge in the lowest slot: nothing is sent anywhere.
    EXPECT_FALSE(b.table->SetSerial(7));
    EXPECT_EQ(first->count(27) + second->count(27), 0u);
    ASSERT_TRUE(b.pumpUntil([&] { return b.reports.size() >= 2; }));
    first->setCartridge(44);
    ASSERT_TRUE(b.pumpUntil([&] { return b.table->slot(0)->PageSize == 512; }));
    EXPECT_TRUE(b.table->SetSerial(7));
    EXPECT_EQ(first->argsOf(27), std::vector<uint32_t>{7});
    EXPECT_EQ(second->count(27), 0u);
}

}  // namespace
