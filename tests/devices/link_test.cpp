// Opening a programmer: identification, kind switch, firmware checks, cartridge sizing, and the
// bytes of the transfer primitives.
#include <gtest/gtest.h>

#include "base/little_endian.h"
#include "device_helpers.h"
#include "devices/firmware.h"
#include "devices/usb_cpr.h"
#include "fake_programmer.h"

namespace {

struct Link {
    std::shared_ptr<FakeProgrammer> dev = std::make_shared<FakeProgrammer>();
    WorkShared shared;
    RecordingSink sink;
    std::unique_ptr<TUsbCpr> cpr;

    Link() {
        dev->setCartridge(1);
        // A record as current as the built-in firmware.
        FirmwareRecord r = BuiltInPrepared().record;
        dev->record.assign(r.begin(), r.end());
    }
    bool open(const std::string& port = "/dev/ttyACM0") {
        cpr = std::make_unique<TUsbCpr>(3, shared, &sink, FakeFactory(dev));
        cpr->PortName = port;
        return cpr->Open();
    }
    void setRecord(uint16_t codeSize, uint16_t wordA, uint32_t version) {
        WriteLe16(&dev->record[0], codeSize);
        WriteLe16(&dev->record[2], wordA);
        WriteLe32(&dev->record[4], version);
    }
};

TEST(ProgrammerOpen, KindTable) {
    struct Case {
        int reply;
        int8_t kind;  // 0: not a programmer
    } cases[] = {{84, 7}, {85, 1}, {86, 2}, {88, 4}, {89, 5}, {90, 5}, {96, 8}, {112, 9}, {0, 0}, {97, 0}, {-1, 0}};
    for (const Case& c : cases) {
        RecordingPresenter presenter;
        Link link;
        link.dev->kindReply = c.reply;
        const bool opened = link.open();
        EXPECT_EQ(opened, c.kind != 0) << c.reply;
        if (opened) {
            EXPECT_EQ(link.cpr->Kind, c.kind) << c.reply;
            EXPECT_EQ(link.cpr->ThreadProc, c.kind == 9 ? TUsbCpr::Proc::Boot : TUsbCpr::Proc::Write) << c.reply;
        } else {
            // Silence for the operator, the end report for the slot.
            EXPECT_TRUE(presenter.codes.empty()) << c.reply;
            ASSERT_EQ(link.sink.of(kReportEnd).size(), 1u) << c.reply;
            EXPECT_EQ(link.sink.of(kReportEnd)[0].slot, 3);
            EXPECT_EQ(link.cpr->Control, kControlStop);
        }
        // Only kinds 8 and 9 are asked for their firmware record.
        EXPECT_EQ(link.dev->count(29), (c.kind == 8 || c.kind == 9) ? 1u : 0u) << c.reply;
    }
}

TEST(ProgrammerOpen, KindThreeSwitchesToKindEightOnlyWhenTheProgrammerAgrees) {
    for (int switchReply : {0x20, 0x00}) {
        Link link;
        link.dev->kindReply = 87;
        link.dev->switchReply = switchReply;
        ASSERT_TRUE(link.open());
        EXPECT_EQ(link.dev->argsOf(4), std::vector<uint32_t>{7});
        if (switchReply == 0x20) {
            EXPECT_EQ(link.cpr->Kind, 8);
            EXPECT_EQ(link.dev->count(29), 1u);
            EXPECT_EQ(link.dev->count(1), 1u);  // sized at open like any kind 8
        } else {
            EXPECT_EQ(link.cpr->Kind, 3);
            EXPECT_EQ(link.dev->count(29), 0u);
            EXPECT_EQ(link.dev->count(1), 0u);
        }
    }
}

TEST(ProgrammerOpen, PortThatCannotBeOpenedOrSetUpShows1041) {
    for (bool timeoutsFail : {false, true}) {
        RecordingPresenter presenter;
        Link link;
        link.dev->openFails = !timeoutsFail;
        link.dev->timeoutsFail = timeoutsFail;
        EXPECT_FALSE(link.open("/dev/ttyACM7"));
        ASSERT_EQ(presenter.codes, std::vector<int32_t>{1041});
        EXPECT_EQ(presenter.texts[0], "Не удалось установить связь с информатором: /dev/ttyACM7");
        EXPECT_EQ(link.sink.of(kReportEnd).size(), 1u);
        EXPECT_FALSE(link.cpr->Opened);
        EXPECT_TRUE(link.dev->commands().empty());
    }
}

TEST(ProgrammerOpen, FirmwareRecordDecidesOnRestartIntoBootLoader) {
    const uint32_t prepared = BuiltInPrepared().version();
    struct Case {
        const char* what;
        uint16_t codeSize, wordA;
        uint32_t version;
        bool restart;
    } cases[] = {
        {"no application", 0xFFFF, 0x0100, prepared, true},
        {"second word erased", 0x1000, 0xFFFF, prepared, true},
        {"older application", 0x1000, 0x0100, prepared - 1, true},
        {"same version", 0x1000, 0x0100, prepared, false},
        {"newer version", 0x1000, 0x0100, prepared + 1, false},
        {"code size 0 is never updated by version", 0, 0x0100, 0, false},
    };
    for (const Case& c : cases) {
        RecordingPresenter presenter;
        Link link;
        link.setRecord(c.codeSize, c.wordA, c.version);
        EXPECT_EQ(link.open(), !c.restart) << c.what;
        EXPECT_EQ(link.dev->count(30), c.restart ? 1u : 0u) << c.what;
        EXPECT_TRUE(presenter.codes.empty()) << c.what;
        if (c.restart) {
            EXPECT_EQ(link.dev->count(1), 0u) << c.what;
        }
    }
}

TEST(ProgrammerOpen, CartridgeSizing) {
    struct Case {
        int code;
        int sizeReply;
        bool opens;
        int flashMb, pageSize, pageCount;
    } cases[] = {
        {255, 0x40, true, 4, 512, 8192},
        {255, 0x10, true, 1, 256, 4096},
        {255, 0x80, true, 8, 256, 32768},
        {255, 0x20, true, 2, 512, 4096},
        {255, 0x0F, false, 0, 0, 0},  // size 0 in the high bits
        {255, -1, false, 0, 0, 0},    // no reply to 24
        {36, 0, true, 1, 256, 4096},
        {44, 0, true, 2, 512, 4096},
        {52, 0, true, 4, 512, 8192},
        {60, 0, true, 8, 256, 32768},
        {37, 0, true, 0, 0, 0},  // not a type at open; the worker reads its bits
        {1, 0, true, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Link link;
        link.dev->setCartridge(c.code, 256);
        link.dev->sizeReply = c.sizeReply;
        link.dev->serial = 100123;
        link.dev->value17 = 5;
        ASSERT_EQ(link.open(), c.opens) << c.code << " " << c.sizeReply;
        EXPECT_EQ(link.dev->count(24), c.code == 255 ? 1u : 0u);
        if (!c.opens) continue;
        EXPECT_EQ(link.cpr->FlashMb, c.flashMb) << c.code;
        EXPECT_EQ(link.cpr->PageSize, c.pageSize) << c.code;
        EXPECT_EQ(link.cpr->PageCount, c.pageCount) << c.code;
        EXPECT_EQ(link.cpr->FlashBytes, c.flashMb * 1048576) << c.code;
        EXPECT_EQ(link.cpr->Code, c.code);
        EXPECT_EQ(link.cpr->PrevCode, static_cast<uint8_t>(c.code - 1));
        EXPECT_EQ(link.cpr->Value17, 5);
        EXPECT_EQ(link.cpr->Serial, 100123);
    }
}

TEST(ProgrammerOpen, FreshlyFlashedPortIsMarkedUpdatedOnce) {
    Link link;
    link.shared.Updated.add("/dev/ttyACM1");
    link.shared.Updated.add("/dev/ttyACM0");
    ASSERT_TRUE(link.open("/dev/ttyACM0"));
    EXPECT_TRUE(link.cpr->Updated);
    EXPECT_FALSE(link.shared.Updated.contains("/dev/ttyACM0"));
    EXPECT_TRUE(link.shared.Updated.contains("/dev/ttyACM1"));
    Link again;
    again.shared.Updated.add("/dev/ttyACM1");
    ASSERT_TRUE(again.open("/dev/ttyACM0"));
    EXPECT_FALSE(again.cpr->Updated);
}

TEST(ProgrammerLink, PrimitiveBytes) {
    Link link;
    link.dev->setCartridge(36);
    ASSERT_TRUE(link.open());
    link.cpr->SetAddress(0x1234);
    EXPECT_EQ(link.dev->argsOf(20).back(), 0x1234u);
    link.cpr->SendSerial(0x0A0B0C0D);
    EXPECT_EQ(link.dev->argsOf(27).back(), 0x0A0B0C0Du);

    std::vector<uint8_t> page(256, 0x5A);
    EXPECT_TRUE(link.cpr->WritePage(page.data()));
    link.dev->refusedPages.insert(0x1235);
    EXPECT_FALSE(link.cpr->WritePage(page.data()));

    // No address goes out while there is no cartridge page size.
    link.cpr->PageSize = 0;
    const size_t before = link.dev->count(20);
    EXPECT_FALSE(link.cpr->SetAddress(5));
    EXPECT_EQ(link.dev->count(20), before);

    // Everything fails without sending once the link is closed.
    link.cpr->Close();
    EXPECT_EQ(link.cpr->Kind, 0);
    EXPECT_EQ(link.cpr->Query(1), -1);
    EXPECT_EQ(link.cpr->ReadSerial(), -1);
}

TEST(ProgrammerLink, UnpluggedProgrammerFailsTransfers) {
    Link link;
    link.dev->setCartridge(36);
    ASSERT_TRUE(link.open());
    link.dev->unplug();
    EXPECT_EQ(link.cpr->Query(1), -1);
    EXPECT_FALSE(link.cpr->LastIoOk);
    std::vector<uint8_t> page(256);
    EXPECT_FALSE(link.cpr->ReadPage(page.data()));
}

}  // namespace
