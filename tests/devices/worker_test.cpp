// The write worker against a scripted programmer: polling, cartridge changes, writing with the
// page map, read-back, the serial number, and the boot worker's flashing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>

#include "base/little_endian.h"
#include "device_helpers.h"
#include "devices/firmware.h"
#include "devices/workers.h"
#include "fake_programmer.h"
#include "support/temp_dir.h"

namespace {

struct Worker {
    std::shared_ptr<FakeProgrammer> dev = std::make_shared<FakeProgrammer>();
    WorkShared shared;
    RecordingSink sink;
    std::vector<uint8_t> image = std::vector<uint8_t>(kImageBufferSize, 0xFF);
    std::vector<uint8_t> map = std::vector<uint8_t>(kPageMapSize, 0);
    std::vector<uint8_t> readBuffer;
    std::unique_ptr<TUsbCpr> cpr;

    Worker() {
        FirmwareRecord r = BuiltInPrepared().record;
        dev->record.assign(r.begin(), r.end());
        for (size_t i = 0; i < 64 * 1024; ++i) image[i] = static_cast<uint8_t>(i * 13 + 1);
        shared.ImageBuffer = image.data();
        shared.PageMap = map.data();
    }
    ~Worker() { stop(); }

    void mark(int from, int to) {
        for (int b = from; b <= to; ++b) map[b] = 1;
    }
    void start(int code, int kindReply = 96, int pageSize = -1) {
        dev->setCartridge(code, pageSize);
        dev->kindReply = kindReply;
        cpr = std::make_unique<TUsbCpr>(0, shared, &sink, FakeFactory(dev));
        cpr->PortName = "/dev/ttyACM0";
        sink.cpr = cpr.get();
        ASSERT_TRUE(cpr->Open());
        cpr->Start();
    }
    void stop() {
        if (!cpr) return;
        cpr->Control = kControlStop;
        EXPECT_TRUE(WaitFor([&] { return !sink.of(kReportEnd).empty(); }));
        cpr.reset();
    }
    bool waitReport(int message, const std::function<bool(const SeenReport&)>& match) {
        return WaitFor([&] {
            for (const auto& r : sink.of(message))
                if (match(r)) return true;
            return false;
        });
    }
    bool waitCode(uint8_t code) {
        return waitReport(kReportView, [code](const SeenReport& r) { return r.code == code; });
    }
    void writeImage(int32_t length) {
        shared.ImageLength = length;
        shared.GroupBuilt = true;
        shared.WriteOn = true;
    }
};

std::vector<uint32_t> Range(uint32_t from, uint32_t to) {
    std::vector<uint32_t> v(to - from + 1);
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(WriteWorker, WritesExactlyTheMarkedPagesAfterOneAddress) {
    Worker w;
    w.mark(32, 40);
    w.writeImage(41 * 256);
    w.start(36);
    ASSERT_TRUE(w.waitCode(255));

    EXPECT_EQ(w.dev->argsOf(19), Range(32, 40));
    // One address for the serial number's page 0, one for the write.
    EXPECT_EQ(w.dev->argsOf(20), (std::vector<uint32_t>{0, 32}));
    const auto cmds = w.dev->commands();
    const auto first22 = std::find(cmds.begin(), cmds.end(), 22);
    const auto first19 = std::find(cmds.begin(), cmds.end(), 19);
    const auto first25 = std::find(cmds.begin(), cmds.end(), 25);
    EXPECT_TRUE(first22 < first19 && first19 < first25);
    EXPECT_EQ(w.dev->count(25), 1u);
    EXPECT_EQ(w.dev->count(26), 0u);

    const auto pages = w.dev->pages();
    for (uint32_t p = 32; p <= 40; ++p) {
        ASSERT_TRUE(pages.count(p));
        EXPECT_TRUE(std::equal(pages.at(p).begin(), pages.at(p).end(), w.image.begin() + 256 * p)) << p;
    }
    ASSERT_FALSE(w.sink.of(kReportInitBar).empty());
    EXPECT_EQ(w.sink.of(kReportInitBar)[0].value, 0);
    // The last progress is the image rounded up to a page, plus 512.
    EXPECT_EQ(w.sink.of(kReportSetBar).back().value, 41 * 256 + 512);
    ASSERT_EQ(w.sink.outcomes().size(), 1u);
    EXPECT_EQ(w.sink.outcomes()[0].result, WriteOutcome::Result::Written);
    EXPECT_EQ(w.sink.outcomes()[0].pagesWritten, 9);
    EXPECT_EQ(w.shared.CartridgesInProgress, 0);
}

TEST(WriteWorker, LargePagesSkipUnmarkedPagesWithANewAddress) {
    Worker w;
    w.map[33] = 1;      // second half of page 16
    w.map[36] = 1;      // page 18
    w.map[37] = 1;
    w.map[4000] = 1;    // page 2000, far on
    w.writeImage(4001 * 256);
    w.start(44);
    ASSERT_TRUE(w.waitCode(255));
    EXPECT_EQ(w.dev->argsOf(19), (std::vector<uint32_t>{16, 18, 2000}));
    EXPECT_EQ(w.dev->argsOf(20), (std::vector<uint32_t>{0, 16, 18, 2000}));
    const auto pages = w.dev->pages();
    ASSERT_TRUE(pages.count(16));
    EXPECT_TRUE(std::equal(pages.at(16).begin(), pages.at(16).end(), w.image.begin() + 512 * 16));
}

TEST(WriteWorker, TooSmallCartridgeTurnsRedOnceAndClearsOnRemoval) {
    Worker w;
    w.mark(32, 40);
    w.writeImage(2 * 1048576);
    w.start(36);
    ASSERT_TRUE(w.waitReport(kReportView, [](const SeenReport& r) { return r.status == -1; }));
    // Several more polls go by without another refusal.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(w.dev->count(26), 1u);
    EXPECT_EQ(w.dev->count(19), 0u);
    w.dev->setCartridge(1);
    ASSERT_TRUE(w.waitReport(kReportView, [](const SeenReport& r) { return r.code == 1 && r.status == 0; }));
    EXPECT_EQ(w.dev->count(26), 1u);
}

TEST(WriteWorker, PolledFlagBitsAreDroppedFromTheCode) {
    struct Case {
        int polled;
        uint8_t code;
        int pageSize;
    } cases[] = {{37, 36, 256}, {32, 36, 256}, {41, 44, 512}, {0x80 | 52, 52, 512}, {2, 0, 0}};
    for (const Case& c : cases) {
        Worker w;
        w.start(1);
        ASSERT_TRUE(w.waitCode(1));
        w.dev->setCartridge(c.polled, c.pageSize);
        ASSERT_TRUE(w.waitCode(c.code)) << c.polled;
        EXPECT_EQ(w.cpr->PageSize, c.pageSize) << c.polled;
        // The cartridge stays in: later polls are no change.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(w.sink.of(kReportView).size(), 2u) << c.polled;
    }
}

TEST(WriteWorker, AfterFirmwareUpdateAsksToReconnectUntilRemoval) {
    Worker w;
    w.shared.Updated.add("/dev/ttyACM0");
    w.mark(32, 40);
    w.writeImage(41 * 256);
    w.start(36);
    ASSERT_TRUE(w.waitReport(kReportView, [](const SeenReport& r) { return r.status == -2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(w.dev->count(26), 1u);
    EXPECT_EQ(w.dev->count(19), 0u);
    EXPECT_FALSE(w.cpr->Updated);
    w.dev->setCartridge(1);
    ASSERT_TRUE(w.waitReport(kReportView, [](const SeenReport& r) { return r.code == 1 && r.status == 0; }));
    // Normal work again with the next cartridge.
    w.dev->setCartridge(36);
    ASSERT_TRUE(w.waitCode(255));
    EXPECT_EQ(w.dev->count(19), 9u);
}

TEST(WriteWorker, FailedOrStoppedWriteSends26AndNoCompletion) {
    {
        Worker w;
        w.mark(32, 40);
        w.dev->refusedPages.insert(35);
        w.writeImage(41 * 256);
        w.start(36);
        // The same cartridge is tried again on a later pass.
        ASSERT_TRUE(WaitFor([&] { return w.sink.outcomes().size() >= 2; }));
        EXPECT_EQ(w.sink.outcomes()[0].result, WriteOutcome::Result::Failed);
        EXPECT_EQ(w.sink.outcomes()[0].pagesWritten, 3);
        EXPECT_GE(w.dev->count(26), 2u);
        EXPECT_EQ(w.dev->count(25), 0u);
    }
    {
        Worker w;
        w.mark(32, 2000);
        w.writeImage(2001 * 256);
        w.start(36);
        ASSERT_TRUE(WaitFor([&] { return w.dev->count(19) >= 5; }));
        w.shared.WriteOn = false;
        ASSERT_TRUE(WaitFor([&] { return !w.sink.outcomes().empty(); }));
        EXPECT_EQ(w.sink.outcomes()[0].result, WriteOutcome::Result::Failed);
        EXPECT_EQ(w.dev->count(26), 1u);
        EXPECT_EQ(w.dev->count(25), 0u);
        EXPECT_LT(w.dev->count(19), 100u);
    }
}

TEST(WriteWorker, StopRequestEndsTheWorkerAtTheNextPage) {
    Worker w;
    w.mark(32, 2000);
    w.writeImage(2001 * 256);
    w.start(36);
    ASSERT_TRUE(WaitFor([&] { return w.dev->count(19) >= 5; }));
    w.cpr->Control = kControlStop;
    ASSERT_TRUE(WaitFor([&] { return !w.sink.of(kReportEnd).empty(); }));
    const size_t pages = w.dev->count(19);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(w.dev->count(19), pages);
    EXPECT_EQ(w.dev->count(25), 0u);
    ASSERT_EQ(w.sink.outcomes().size(), 1u);
    EXPECT_EQ(w.sink.outcomes()[0].result, WriteOutcome::Result::Stopped);
    EXPECT_EQ(w.shared.CartridgesInProgress, 0);
    EXPECT_FALSE(w.cpr->InCartridge());
}

TEST(WriteWorker, VerifyReadsBackAndRefusesADifference) {
    for (bool unreadable : {false, true}) {
        Worker w;
        w.mark(32, 40);
        w.shared.VerifyWrite = true;
        if (unreadable) w.dev->unreadablePages.insert(36);
        w.writeImage(41 * 256);
        w.start(36);
        ASSERT_TRUE(WaitFor([&] { return !w.sink.outcomes().empty(); }));
        const auto result = w.sink.outcomes()[0].result;
        EXPECT_EQ(result, unreadable ? WriteOutcome::Result::VerifyFailed : WriteOutcome::Result::Written);
        w.stop();
        EXPECT_EQ(w.dev->count(25), unreadable ? 0u : 1u);
        EXPECT_GE(w.dev->count(18), unreadable ? 6u : 10u);  // page 0 for the serial, then the pages
    }
}

TEST(WriteWorker, ReadBackOfAWholeCartridgeWritesTwoFiles) {
    TempDir dir;
    Worker w;
    w.readBuffer.assign(kImageBufferSize, 0);
    w.shared.ReadBuffer = w.readBuffer.data();
    w.shared.ReadBackFolder = dir.str();
    w.shared.ImageLength = 10000;
    w.start(52);
    w.shared.ReadOn = true;
    ASSERT_TRUE(WaitFor([&] { return !w.sink.reads().empty(); }));
    EXPECT_TRUE(w.sink.reads()[0]);
    EXPECT_EQ(w.shared.ImageLength, 4194304);
    EXPECT_FALSE(w.shared.ReadOn);
    EXPECT_TRUE(w.shared.GroupBuilt);
    EXPECT_EQ(w.sink.of(kReportInitBar).at(0).value, 4194304);
    EXPECT_EQ(w.sink.of(kReportSetBar).back().value, 4194304);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(dir / "ReadedGrp2.bin"); }));
    EXPECT_EQ(std::filesystem::file_size(dir / "ReadedGrp.bin"), 4194304u);
    EXPECT_EQ(std::filesystem::file_size(dir / "ReadedGrp2.bin"), 4194304u);
    std::ifstream in(dir / "ReadedGrp2.bin", std::ios::binary);
    std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Page 8191 as the programmer sends it.
    EXPECT_EQ(got[8191u * 512 + 3], static_cast<uint8_t>(8191 * 7 + 3));
    std::ifstream img(dir / "ReadedGrp.bin", std::ios::binary);
    std::vector<uint8_t> mine((std::istreambuf_iterator<char>(img)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(std::equal(mine.begin(), mine.end(), w.image.begin()));
}

TEST(WriteWorker, ReadBackWithAnUnreadablePageKeepsNothing) {
    TempDir dir;
    Worker w;
    w.readBuffer.assign(kImageBufferSize, 0);
    w.shared.ReadBuffer = w.readBuffer.data();
    w.shared.ReadBackFolder = dir.str();
    w.shared.ImageLength = 10000;
    w.dev->unreadablePages.insert(100);
    w.start(36);
    w.shared.ReadOn = true;
    ASSERT_TRUE(WaitFor([&] { return !w.sink.reads().empty(); }));
    EXPECT_FALSE(w.sink.reads()[0]);
    EXPECT_EQ(w.shared.ImageLength, 10000);
    EXPECT_FALSE(w.shared.ReadOn);
    EXPECT_FALSE(w.shared.GroupBuilt);
    w.stop();
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    for (const auto& r : w.sink.of(kReportSetBar)) EXPECT_LT(r.value, 100 * 256);
}

TEST(WriteWorker, SerialNumberComesFromPageZeroAndCanBeSet) {
    Worker w;
    std::vector<uint8_t> page0(256, 0);
    WriteLe32(page0.data(), 100123);
    w.start(1);
    ASSERT_TRUE(w.waitCode(1));
    w.dev->setCartridge(36);
    w.dev->setPage(0, page0);
    ASSERT_TRUE(w.waitReport(kReportView, [](const SeenReport& r) { return r.code == 36 && r.serial == 100123; }));
    const size_t reads = w.dev->count(18);

    SetCartridgeSerial(*w.cpr, 250000);
    EXPECT_EQ(w.dev->argsOf(27), std::vector<uint32_t>{250000});
    // Re-identified: page 0 read again, a fresh report, and the request handled.
    ASSERT_TRUE(WaitFor([&] { return w.dev->count(18) > reads; }));
    ASSERT_TRUE(WaitFor([&] { return w.cpr->Control == kControlRun; }));
    EXPECT_GE(w.sink.of(kReportView).size(), 3u);
}

TEST(BootWorker, FlashesThePagesThenTheRecordPageAndRestarts) {
    PreparedFirmware fw;
    std::vector<uint8_t> file(BuiltInFirmware().begin(), BuiltInFirmware().begin() + 512);
    WriteLe16(&file[0], 1000);
    file.resize(512 + 1000, 0x3C);
    TempDir dir;
    dir.write("small.has", std::string(file.begin(), file.end()));
    WriteLe32(&file[8], 0xFFFFFFFF);
    dir.write("newest.has", std::string(file.begin(), file.end()));
    FindFirmware(fw, {dir.str()});
    ASSERT_EQ(fw.codeSize(), 1000);

    for (bool refuse : {false, true}) {
        Worker w;
        w.shared.Firmware = &fw;
        if (refuse) w.dev->refusedPages.insert(3);
        w.start(1, 112, 128);
        ASSERT_EQ(w.cpr->ThreadProc, TUsbCpr::Proc::Boot);
        ASSERT_TRUE(WaitFor([&] { return w.dev->count(30) == 1 || w.dev->count(19) == 4; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // It stays until the programmer's removal asks it to stop.
        EXPECT_TRUE(w.sink.of(kReportEnd).empty());
        w.cpr->Control = kControlStop;
        ASSERT_TRUE(WaitFor([&] { return !w.sink.of(kReportEnd).empty(); }));

        ASSERT_EQ(w.sink.of(kReportInitBoot).size(), 1u);
        EXPECT_EQ(w.sink.of(kReportInitBoot)[0].value, 8);
        std::vector<int32_t> done;
        for (const auto& r : w.sink.of(kReportSetBoot)) done.push_back(r.value);
        if (!refuse) {
            EXPECT_EQ(done, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
            EXPECT_EQ(w.dev->argsOf(20), (std::vector<uint32_t>{0, 0x2F80}));
            EXPECT_EQ(w.dev->count(19), 9u);
            const auto pages = w.dev->pages();
            // The last code page is partly 0xFF; the record page carries the record at 0x60.
            EXPECT_EQ(pages.at(7)[1000 - 7 * 128 - 1], 0x3C);
            EXPECT_EQ(pages.at(7)[1000 - 7 * 128], 0xFF);
            EXPECT_TRUE(std::equal(fw.record.begin(), fw.record.end(), pages.at(0x2F80).begin() + 0x60));
            EXPECT_EQ(w.dev->count(30), 1u);
            EXPECT_TRUE(w.shared.Updated.contains("/dev/ttyACM0"));
            EXPECT_EQ(w.sink.of(kReportEnd)[0].value, 1);
        } else {
            EXPECT_EQ(done, (std::vector<int32_t>{1, 2, 3}));
            EXPECT_EQ(w.dev->count(30), 0u);
            EXPECT_FALSE(w.shared.Updated.contains("/dev/ttyACM0"));
            EXPECT_EQ(w.sink.of(kReportEnd)[0].value, 0);
        }
        w.cpr.reset();
    }
}

}  // namespace
