// The program's device side against simulated programmers over pseudo-terminals: what went over
// the wire (the simulator's log) and what the cartridges hold afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <thread>

#include "devices/workers.h"
#include "sim/device_bench.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

// Every marked block of the image is on the cartridge, and everything else is still blank.
void ExpectCartridgeHoldsImage(const DeviceBench& bench, const Bytes& cart) {
    ASSERT_FALSE(cart.empty());
    size_t differences = 0, firstDifference = 0;
    for (size_t block = 0; block < cart.size() / 256; ++block) {
        const bool marked = bench.pageMap[block] != 0;
        for (size_t i = 0; i < 256; ++i) {
            const uint8_t want = marked ? bench.image[block * 256 + i] : 0xFF;
            if (cart[block * 256 + i] != want && differences++ == 0) firstDifference = block * 256 + i;
        }
    }
    EXPECT_EQ(differences, 0u) << "first at byte " << firstDifference;
}

bool SlotGone(const DeviceBench& bench, int slot) { return bench.table.slot(slot) == nullptr; }

}  // namespace

TEST(DeviceEndToEnd, WritesOnlyTheMarkedPagesAfterOneAddress) {
    struct Case {
        uint8_t code;
        uint16_t firstPage;
        int pages;
    };
    // Blocks 32 to 40: pages 32 to 40 of 256 bytes, or pages 16 to 20 of 512.
    const Case cases[] = {{36, 32, 9}, {44, 16, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        DeviceBench bench;
        sim::SimProgrammer* p = bench.sim.add();
        p->insert(c.code);
        bench.mark(32, 40);
        bench.start();
        ASSERT_NE(bench.table.slot(0), nullptr);
        bench.shared.WriteOn = true;
        ASSERT_TRUE(bench.runUntil([&] { return p->writeComplete(); }));

        // The write, from its start to the completion command; the worker's next polls may
        // already be in the log.
        auto wire = From(Commands(p->log()), 0x16);
        ASSERT_FALSE(wire.empty());
        const auto done = std::find_if(wire.begin(), wire.end(), [](const auto& e) { return e.command == 0x19; });
        ASSERT_NE(done, wire.end());
        wire.erase(done + 1, wire.end());
        std::vector<int64_t> pages;
        for (const auto& e : wire)
            if (e.command == 0x13) pages.push_back(e.address);
        std::vector<int64_t> expected;
        for (int k = 0; k < c.pages; ++k) expected.push_back(c.firstPage + k);
        EXPECT_EQ(pages, expected);
        ASSERT_EQ(CountCommand(wire, 0x14), 1);
        EXPECT_EQ(wire[1].command, 0x14);
        EXPECT_EQ(wire[1].args, (Bytes{uint8_t(c.firstPage), 0}));
        EXPECT_EQ(wire.back().command, 0x19);
        EXPECT_EQ(CountCommand(wire, 0x1A), 0);
        ExpectCartridgeHoldsImage(bench, p->cartridge());

        // Done, and nothing more is written while the cartridge stays in.
        ASSERT_TRUE(bench.runUntil([&] { return bench.table.slot(0)->Code == 255; }));
        bench.runUntil([] { return false; }, 400ms);
        EXPECT_EQ(CountCommand(p->log(), 0x13), c.pages);
        ASSERT_EQ(bench.outcomes.size(), 1u);
        EXPECT_EQ(bench.outcomes[0].second.result, WriteOutcome::Result::Written);
        EXPECT_EQ(bench.outcomes[0].second.pagesWritten, c.pages);
    }
}

TEST(DeviceEndToEnd, TooSmallCartridgeTurnsRedOnceAndClearsOnRemoval) {
    DeviceBench bench;
    sim::SimProgrammer* p = bench.sim.add();
    bench.mark(32, 40);
    bench.shared.ImageLength = 2 * 1048576;
    bench.shared.WriteOn = true;
    bench.start();
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) >= 1; }));
    p->insert(36);
    ASSERT_TRUE(bench.runUntil([&] { return !bench.views.empty() && bench.views.back().second == -1; }));
    bench.runUntil([] { return false; }, 500ms);  // several more polls
    auto log = p->log();
    EXPECT_EQ(CountCommand(log, 0x1A), 1);
    EXPECT_EQ(CountCommand(log, 0x13), 0);
    EXPECT_EQ(bench.table.slot(0)->Status, -1);

    // Code changes at the poll; the view report follows once the change is handled.
    const size_t viewsBefore = bench.views.size();
    p->remove();
    ASSERT_TRUE(bench.runUntil(
        [&] { return bench.table.slot(0)->Code == 1 && bench.views.size() > viewsBefore; }));
    EXPECT_EQ(bench.views.back().second, 0);
    EXPECT_EQ(bench.table.slot(0)->Status, 0);
    EXPECT_EQ(CountCommand(p->log(), 0x1A), 1);
}

TEST(DeviceEndToEnd, TwoProgrammersWriteAtTheSameTime) {
    DeviceBench bench;
    sim::SimProgrammer* a = bench.sim.add();
    sim::SimProgrammer* b = bench.sim.add();
    a->insert(44);
    b->insert(52);
    bench.mark(32, 32 + 160);
    bench.start();
    ASSERT_EQ(bench.table.UsbCprCount(), 2);
    bench.shared.WriteOn = true;
    // The last progress report follows command 25; the poll after it sees 255.
    ASSERT_TRUE(bench.runUntil([&] { return bench.table.slot(0)->Code == 255 && bench.table.slot(1)->Code == 255; }));

    auto span = [](const std::vector<sim::LogEntry>& log) {
        std::pair<std::chrono::microseconds, std::chrono::microseconds> s{std::chrono::microseconds::max(), {}};
        for (const auto& e : log)
            if (e.command == 0x13) s = {std::min(s.first, e.time), std::max(s.second, e.time)};
        return s;
    };
    const auto sa = span(a->log()), sb = span(b->log());
    EXPECT_LT(sa.first, sb.second);
    EXPECT_LT(sb.first, sa.second);
    ExpectCartridgeHoldsImage(bench, a->cartridge());
    ExpectCartridgeHoldsImage(bench, b->cartridge());
    // Each slot's bar ends at ImageLength rounded to its page size, plus 512.
    const int32_t last = bench.shared.ImageLength + 512;
    for (int slot : {0, 1}) {
        EXPECT_EQ(bench.count(kReportInitBar, slot), 1);
        const auto it = std::find_if(bench.reports.rbegin(), bench.reports.rend(),
                                     [&](const Report& r) { return r.slot == slot && r.message == kReportSetBar; });
        ASSERT_NE(it, bench.reports.rend());
        EXPECT_EQ(it->value, last);
    }
}

TEST(DeviceEndToEnd, StopDuringWriteSendsFailureAfterTheCurrentPage) {
    DeviceBench bench;
    sim::SimProgrammer* p = bench.sim.add();
    p->insert(36);
    bench.mark(32, 32 + 2000);
    bench.start();
    bench.shared.WriteOn = true;
    ASSERT_TRUE(bench.runUntil([&] { return CountCommand(p->log(), 0x13) >= 20; }));
    bench.shared.WriteOn = false;
    // Command 26 has no reply: the simulator may log it after the worker has moved on.
    ASSERT_TRUE(bench.runUntil([&] { return !bench.outcomes.empty() && CountCommand(p->log(), 0x1A) == 1; }));

    const auto wire = From(Commands(p->log()), 0x16);
    const int pages = CountCommand(wire, 0x13);
    EXPECT_LT(pages, 2001);
    EXPECT_EQ(CountCommand(wire, 0x19), 0);
    // 26 follows the last page directly.
    auto lastPage = std::find_if(wire.rbegin(), wire.rend(), [](const auto& e) { return e.command == 0x13; });
    ASSERT_NE(lastPage, wire.rbegin());
    EXPECT_EQ((lastPage - 1)->command, 0x1A);
    EXPECT_EQ(bench.outcomes[0].second.result, WriteOutcome::Result::Failed);
    EXPECT_EQ(bench.outcomes[0].second.pagesWritten, pages);
    const Bytes cart = p->cartridge();
    EXPECT_TRUE(std::equal(cart.begin() + 32 * 256, cart.begin() + (32 + pages) * 256, bench.image.begin() + 32 * 256));
    EXPECT_EQ(cart[(32 + pages) * 256], 0xFF);
}

TEST(DeviceEndToEnd, UnplugDuringWriteEndsThatWorkerOnly) {
    DeviceBench bench;
    sim::SimProgrammer* a = bench.sim.add();
    sim::SimProgrammer* b = bench.sim.add();
    a->insert(44);
    b->insert(44);
    bench.mark(32, 32 + 200);
    bench.start();
    ASSERT_EQ(bench.table.UsbCprCount(), 2);
    a->inject({sim::Fault::Type::UnplugDuringWrite, -1, 10, 1});
    bench.shared.WriteOn = true;
    ASSERT_TRUE(bench.runUntil([&] { return SlotGone(bench, 0) && b->writeComplete(); }));
    EXPECT_EQ(bench.count(kReportEnd, 0), 1);
    EXPECT_EQ(bench.table.UsbCprCount(), 1);
    EXPECT_NE(bench.table.slot(1), nullptr);
    EXPECT_FALSE(a->writeComplete());
    EXPECT_EQ(CountCommand(a->log(), 0x13), 11);  // ten written, the eleventh lost with the device
    const Bytes cart = a->cartridge();
    EXPECT_TRUE(std::equal(cart.begin() + 32 * 256, cart.begin() + 52 * 256, bench.image.begin() + 32 * 256));
    EXPECT_EQ(cart[52 * 256], 0xFF);
    ExpectCartridgeHoldsImage(bench, b->cartridge());
}

TEST(DeviceEndToEnd, FlagBitsAroundTheTypeAreNotAChange) {
    DeviceBench bench;
    sim::SimProgrammer* p = bench.sim.add();
    bench.start();
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) >= 1; }));
    const int viewsBefore = bench.count(kReportView);
    p->insert(37);
    ASSERT_TRUE(bench.runUntil(
        [&] { return bench.table.slot(0)->Code == 36 && bench.count(kReportView) > viewsBefore; }));
    const int views = bench.count(kReportView);
    bench.runUntil([] { return false; }, 500ms);
    EXPECT_EQ(bench.count(kReportView), views);
    TUsbCpr* cpr = bench.table.slot(0);
    EXPECT_EQ(cpr->FlashMb, 1);
    EXPECT_EQ(cpr->PageSize, 256);
    EXPECT_EQ(cpr->PageCount, 4096);
}

TEST(DeviceEndToEnd, OpenSizesACartridgeThatWaitsToBeChanged) {
    struct Case {
        uint8_t code;
        uint8_t sizeReply;
        int8_t mb;
        int32_t pageSize;
        int32_t pageCount;
    };
    const Case cases[] = {{52, 0x40, 4, 512, 8192}, {36, 0x10, 1, 256, 4096}, {60, 0x80, 8, 256, 32768}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.sizeReply));
        DeviceBench bench;
        sim::SimProgrammer* p = bench.sim.add();
        p->insert(c.code);
        p->setWriteComplete(true);
        bench.start();
        TUsbCpr* cpr = bench.table.slot(0);
        ASSERT_NE(cpr, nullptr);
        EXPECT_EQ(cpr->FlashMb, c.mb);
        EXPECT_EQ(cpr->PageSize, c.pageSize);
        EXPECT_EQ(cpr->PageCount, c.pageCount);
        const auto log = Commands(p->log());
        auto poll = std::find_if(log.begin(), log.end(), [](const auto& e) { return e.command == 0x01; });
        ASSERT_NE(poll, log.end());
        ASSERT_NE(poll + 1, log.end());
        EXPECT_EQ((poll + 1)->command, 0x18);
        EXPECT_EQ((poll + 1)->reply, Bytes{c.sizeReply});
    }
    // A size of nothing is no programmer to work with: the slot goes again, without a message.
    RecordingPresenter mes;
    DeviceBench bench;
    sim::SimProgrammer* p = bench.sim.add();
    p->insert(52);
    p->setWriteComplete(true);
    p->setSizeReply(0x00);
    bench.start();
    EXPECT_EQ(bench.table.slot(0), nullptr);
    EXPECT_EQ(bench.table.UsbCprCount(), 0);
    EXPECT_TRUE(mes.Codes().empty());
}

TEST(DeviceEndToEnd, KindThreeIsSwitchedToKindEight) {
    DeviceBench bench;
    sim::SimProgrammerConfig config;
    config.kindReply = sim::kKindReply3;
    sim::SimProgrammer* p = bench.sim.add(config);
    p->insert(44);
    bench.start();
    TUsbCpr* cpr = bench.table.slot(0);
    ASSERT_NE(cpr, nullptr);
    EXPECT_EQ(cpr->Kind, 8);
    EXPECT_EQ(cpr->FlashMb, 2);
    const auto log = Commands(p->log());
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].command, 0x0F);
    EXPECT_EQ(log[1].command, 0x04);
    EXPECT_EQ(log[1].args, Bytes{0x07});
    EXPECT_EQ(log[1].reply, Bytes{0x20});
    EXPECT_EQ(log[2].command, 0x1D);
}

TEST(DeviceEndToEnd, FirmwareUpdateFromAnOldApplicationBackToReconnect) {
    struct Case {
        const char* what;
        FirmwareRecord record;
    };
    const Case cases[] = {
        {"older version", sim::MakeFirmwareRecord(kBuiltInVersion - 1, kBuiltInCodeSize, 1, 0)},
        {"no application", sim::MakeFirmwareRecord(kBuiltInVersion, 0xFFFF, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPresenter mes;
        DeviceBench bench;
        sim::SimProgrammerConfig config;
        config.record = c.record;
        sim::SimProgrammer* p = bench.sim.add(config);
        p->insert(44);
        const std::string port = p->port();
        bench.start();
        // The old application is sent into its boot loader and its slot goes at once.
        EXPECT_EQ(bench.table.slot(0), nullptr);
        EXPECT_EQ(bench.table.UsbCprCount(), 0);

        // Boot loader, flashing, restart, and the new application with the cartridge to reconnect.
        // Status turns -2 at the poll, before the cartridge is read again; the view report
        // comes when the worker is done with it.
        ASSERT_TRUE(bench.runUntil([&] {
            TUsbCpr* cpr = bench.table.slot(0);
            return cpr && cpr->Kind == 8 && !bench.views.empty() && bench.views.back() == std::pair<int, int32_t>{0, -2};
        }));
        const int pages = (bench.firmware.codeSize() + 127) / 128;
        ASSERT_EQ(bench.count(kReportInitBoot), 1);
        const auto init = std::find_if(bench.reports.begin(), bench.reports.end(),
                                       [](const Report& r) { return r.message == kReportInitBoot; });
        EXPECT_EQ(init->value, pages);
        EXPECT_EQ(bench.count(kReportSetBoot), pages);
        const auto end = std::find_if(init, bench.reports.end(), [](const Report& r) { return r.message == kReportEnd; });
        ASSERT_NE(end, bench.reports.end());
        EXPECT_EQ(end->value, 1);
        EXPECT_EQ(bench.table.slot(0)->PortName, port);

        const auto log = Commands(p->log());
        EXPECT_EQ(CountCommand(log, 0x1E), 2);  // into the boot loader, and back
        const Bytes flash = p->flash();
        EXPECT_TRUE(std::equal(flash.begin(), flash.begin() + pages * 128, bench.firmware.code()));
        EXPECT_TRUE(std::equal(flash.begin() + 0x2F80, flash.begin() + 0x3000, bench.firmware.code() + 0x2F80));
        EXPECT_EQ(p->record(), bench.firmware.record);
        EXPECT_TRUE(mes.Codes().empty());

        // Taking the cartridge out ends the reconnect state.
        p->remove();
        ASSERT_TRUE(bench.runUntil([&] { return bench.table.slot(0)->Status == 0; }));
    }
}

TEST(DeviceEndToEnd, ReadBackOfAFourMegabyteCartridge) {
    TempDir dir;
    DeviceBench bench;
    bench.shared.ReadBackFolder = dir.str();
    Bytes content(4 * 1048576);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 13 + (i >> 12));
    sim::SimProgrammer* p = bench.sim.add();
    p->insert(52, content);
    bool finished = false, readOk = false;
    bench.queue.setReadHandler([&](int, bool ok, int32_t) { finished = true, readOk = ok; });
    bench.start();
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) >= 1; }));
    bench.shared.ReadOn = true;
    ASSERT_TRUE(bench.runUntil([&] { return finished; }, 60s));
    EXPECT_TRUE(readOk);
    EXPECT_EQ(bench.shared.ImageLength, 4194304);
    ASSERT_TRUE(bench.runUntil([&] { return std::filesystem::exists(dir / "ReadedGrp2.bin"); }, 10s));
    EXPECT_EQ(std::filesystem::file_size(dir / "ReadedGrp.bin"), 4194304u);
    EXPECT_EQ(std::filesystem::file_size(dir / "ReadedGrp2.bin"), 4194304u);
    std::ifstream in(dir / "ReadedGrp2.bin", std::ios::binary);
    Bytes read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(read == content);
}

TEST(DeviceEndToEnd, ReadBackThatLosesAPageWritesNoFiles) {
    TempDir dir;
    DeviceBench bench;
    bench.shared.ReadBackFolder = dir.str();
    sim::SimProgrammer* p = bench.sim.add();
    p->insert(36);
    bool finished = false, readOk = true;
    bench.queue.setReadHandler([&](int, bool ok, int32_t) { finished = true, readOk = ok; });
    bench.start();
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) >= 1; }));
    p->inject({sim::Fault::Type::NoReply, 0x12, 100, 1});
    bench.shared.ReadOn = true;
    ASSERT_TRUE(bench.runUntil([&] { return finished; }, 60s));
    EXPECT_FALSE(readOk);
    bench.runUntil([] { return false; }, 300ms);
    EXPECT_FALSE(std::filesystem::exists(dir / "ReadedGrp.bin"));
    EXPECT_FALSE(std::filesystem::exists(dir / "ReadedGrp2.bin"));
}

TEST(DeviceEndToEnd, SerialNumberGoesToTheCartridgeAndIsReadBack) {
    DeviceBench bench;
    sim::SimProgrammer* p = bench.sim.add();
    p->insert(36);
    bench.start();
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) >= 1; }));
    const int views = bench.count(kReportView);
    SetCartridgeSerial(*bench.table.slot(0), 100123);
    ASSERT_TRUE(bench.runUntil([&] { return bench.count(kReportView) > views; }));
    EXPECT_EQ(bench.table.slot(0)->Serial, 100123);
    const Bytes cart = p->cartridge();
    EXPECT_EQ(Bytes(cart.begin(), cart.begin() + 4), (Bytes{0x1B, 0x87, 0x01, 0x00}));
}
