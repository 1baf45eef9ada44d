// The simulated programmer on its own, spoken to byte by byte: what the host-side tests build on.
#include <gtest/gtest.h>

#include <thread>

#include "sim/simulator.h"
#include "sim/raw_link.h"

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Page(size_t size, uint8_t seed) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(Simulator, SizeReplyFollowsTheCartridgeType) {
    struct Case {
        uint8_t code;
        uint8_t sizeReply;
        size_t pageSize;
    };
    const Case cases[] = {{36, 0x10, 256}, {32, 0x10, 256}, {44, 0x20, 512}, {40, 0x20, 512},
                          {52, 0x40, 512}, {60, 0x80, 256}, {37, 0x10, 256}};
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    ASSERT_NE(p, nullptr);
    RawLink link(p->port());
    ASSERT_TRUE(link.ok());
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code));
        p->insert(c.code);
        EXPECT_EQ(link.ask({0x01}, 1), Bytes{c.code});
        EXPECT_EQ(link.ask({0x18}, 1), Bytes{c.sizeReply});
        EXPECT_EQ(p->cartridge().size(), size_t(c.sizeReply >> 4) * 1048576);
        // A page read returns exactly one page.
        EXPECT_EQ(link.ask({0x14, 0, 0, 0x12}, c.pageSize).size(), c.pageSize);
        EXPECT_TRUE(link.receive(1, 20ms).empty());
    }
}

TEST(Simulator, PagesLandWhereThePointerStandsAndItStepsOnePage) {
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    ASSERT_NE(p, nullptr);
    p->insert(44);  // 512-byte pages
    RawLink link(p->port());
    const Bytes a = Page(512, 1), b = Page(512, 2);
    EXPECT_EQ(link.ask(Cat({0x14, 32, 0, 0x13}, a), 1), Bytes{0x20});
    EXPECT_EQ(link.ask(Cat({0x13}, b), 1), Bytes{0x20});
    // Read back from page 32: a, then b without setting the address again.
    EXPECT_EQ(link.ask({0x14, 32, 0, 0x12}, 512), a);
    EXPECT_EQ(link.ask({0x12}, 512), b);

    const Bytes mem = p->cartridge();
    EXPECT_EQ(Bytes(mem.begin() + 32 * 512, mem.begin() + 33 * 512), a);
    EXPECT_EQ(Bytes(mem.begin() + 33 * 512, mem.begin() + 34 * 512), b);
    EXPECT_EQ(mem[32 * 512 - 1], 0xFF);
    EXPECT_EQ(mem[34 * 512], 0xFF);
}

TEST(Simulator, WriteCompleteAnswers255UntilTheCartridgeIsTakenOut) {
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    p->insert(52);
    RawLink link(p->port());
    EXPECT_EQ(link.ask({0x16}, 1).size(), 1u);  // a write begins
    link.send({0x19});
    EXPECT_EQ(link.ask({0x01}, 1), Bytes{255});
    EXPECT_EQ(link.ask({0x18}, 1), Bytes{0x40});  // the size is still there to ask
    EXPECT_EQ(link.ask({0x01}, 1), Bytes{255});
    p->remove();
    EXPECT_EQ(link.ask({0x01}, 1), Bytes{1});
    p->insert(52);
    EXPECT_EQ(link.ask({0x01}, 1), Bytes{52});
}

TEST(Simulator, SerialNumberIsTheFirstFourBytesOfTheCartridge) {
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    p->insert(36);
    RawLink link(p->port());
    link.send({0x1B, 0x9B, 0x86, 0x01, 0x00});  // 100,251
    EXPECT_EQ(link.ask({0x1C}, 4), (Bytes{0x9B, 0x86, 0x01, 0x00}));
    EXPECT_EQ(link.ask({0x14, 0, 0, 0x12}, 4), (Bytes{0x9B, 0x86, 0x01, 0x00}));
}

TEST(Simulator, NoCartridgeOrFaultyOneHasNothingToTransfer) {
    for (uint8_t code : {uint8_t(0), uint8_t(1), uint8_t(12)}) {
        SCOPED_TRACE(int(code));
        sim::Simulator bench;
        sim::SimProgrammer* p = bench.add();
        p->insert(code);
        RawLink link(p->port());
        EXPECT_EQ(link.ask({0x01}, 1), Bytes{code});
        EXPECT_TRUE(link.ask({0x12}, 256).empty());
        EXPECT_EQ(link.ask(Cat({0x13}, Page(256, 0)), 1), Bytes{0x00});
    }
}

TEST(Simulator, KindThreeSwitchesOnlyWithItsArgument) {
    sim::SimProgrammerConfig config;
    config.kindReply = sim::kKindReply3;
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add(config);
    RawLink link(p->port());
    EXPECT_EQ(link.ask({0x0F}, 1), Bytes{87});
    EXPECT_EQ(link.ask({0x04, 0x06}, 1), Bytes{0x00});
    EXPECT_EQ(link.ask({0x04, 0x07}, 1), Bytes{0x20});
}

TEST(Simulator, RestartLeavesAndComesBackInTheOtherMode) {
    sim::Simulator bench;
    std::string error;
    ASSERT_TRUE(bench.startMonitor(error));
    sim::SimProgrammer* p = bench.add();
    bench.takeEvents();
    const std::string port = p->port(), tty = p->ttyPath();
    {
        RawLink link(p->port());
        EXPECT_EQ(link.ask({0x0F}, 1), Bytes{96});
        link.send({0x1E});
        ASSERT_TRUE(p->waitLog([](const auto& log) { return !log.empty() && log.back().note.find("plugged in") == 0; },
                               3s));
        ASSERT_TRUE(p->waitPlugged(3s));
    }
    const auto events = bench.takeEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, DeviceEventKind::Removal);
    EXPECT_EQ(events[1].kind, DeviceEventKind::Arrival);
    EXPECT_EQ(events[0].path, p->devicePath());
    EXPECT_EQ(events[1].path, p->devicePath());
    // The port keeps its name, whatever terminal is behind it now.
    EXPECT_EQ(p->port(), port);
    EXPECT_NE(p->ttyPath(), tty);
    ASSERT_EQ(bench.enumerate().size(), 1u);
    EXPECT_EQ(bench.enumerate()[0].friendlyName, "LMK USB Programmer (" + p->port() + ")");

    // The boot loader: kind 112, byte addresses, 128-byte pages into the programmer's flash.
    RawLink boot(p->port());
    EXPECT_EQ(boot.ask({0x0F}, 1), Bytes{112});
    const Bytes page = Page(128, 9);
    EXPECT_EQ(boot.ask(Cat({0x14, 0x80, 0x2F, 0x13}, page), 1), Bytes{0x20});
    const Bytes flash = p->flash();
    EXPECT_EQ(Bytes(flash.begin() + 0x2F80, flash.begin() + 0x3000), page);
    EXPECT_EQ(boot.ask({0x1D}, 32), Bytes(page.begin() + 0x60, page.end()));
}

TEST(Simulator, FaultsStrikeAsInjected) {
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    p->insert(36);
    RawLink link(p->port());

    p->inject({sim::Fault::Type::NoReply, 0x01, 0, 1});
    EXPECT_TRUE(link.ask({0x01}, 1).empty());
    EXPECT_EQ(link.ask({0x01}, 1), Bytes{36});  // only once

    p->inject({sim::Fault::Type::RefusePage, -1, 1, 1});  // the second page write from now
    EXPECT_EQ(link.ask(Cat({0x14, 5, 0, 0x13}, Page(256, 3)), 1), Bytes{0x20});
    EXPECT_EQ(link.ask(Cat({0x13}, Page(256, 4)), 1), Bytes{0x00});
    EXPECT_EQ(p->cartridge()[6 * 256], 0xFF);

    std::string error;
    bench.startMonitor(error);
    p->inject({sim::Fault::Type::UnplugDuringWrite, -1, 0, 1});
    link.send(Cat({0x13}, Page(256, 5)));
    EXPECT_TRUE(link.receive(1).empty());
    ASSERT_TRUE(p->waitUnplugged(3s));
    EXPECT_EQ(p->log().back().note, "unplugged");
    EXPECT_TRUE(bench.enumerate().empty());
    const auto events = bench.takeEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, DeviceEventKind::Removal);
}

TEST(Simulator, LogKeepsEveryCommandInOrderWithItsTime) {
    sim::Simulator bench;
    sim::SimProgrammer* p = bench.add();
    p->insert(44);
    p->clearLog();
    RawLink link(p->port());
    link.ask({0x0F}, 1);
    link.send({0x14, 0x34, 0x12});
    link.ask({0x1C}, 4);
    ASSERT_TRUE(p->waitLog([](const auto& log) { return log.size() == 3; }, 2s));
    const auto log = p->log();
    EXPECT_EQ(log[0].command, 0x0F);
    EXPECT_EQ(log[0].reply, Bytes{96});
    EXPECT_EQ(log[1].command, 0x14);
    EXPECT_EQ(log[1].args, (Bytes{0x34, 0x12}));
    EXPECT_EQ(log[2].command, 0x1C);
    EXPECT_LE(log[0].time, log[1].time);
    EXPECT_LE(log[1].time, log[2].time);
}

TEST(Simulator, SlowReplyStrikesItsTimesAfterItsSkip) {
    constexpr auto kDelay = 300ms;
    // One command on the line and whether its reply must come late.
    struct Step {
        Bytes sent;
        size_t replyBytes;
        bool slow;
    };
    struct Case {
        const char* name;
        int command;
        int skip;
        int times;
        std::vector<Step> steps;
    };
    const Bytes poll{0x01}, identify{0x0F}, address{0x14, 0, 0}, serial{0x1C};
    const Case cases[] = {
        {"its own command only", 0x01, 2, 2,
         {{poll, 1, false}, {identify, 1, false}, {poll, 1, false}, {poll, 1, true}, {identify, 1, false},
          {poll, 1, true}, {poll, 1, false}}},
        // Setting the address answers nothing, so it is no occasion to be slow.
        {"every command that answers", -1, 1, 2,
         {{identify, 1, false}, {address, 0, false}, {poll, 1, true}, {address, 0, false}, {serial, 4, true},
          {poll, 1, false}}},
        {"for ever", 0x0F, 1, -1,
         {{identify, 1, false}, {identify, 1, true}, {poll, 1, false}, {identify, 1, true}, {identify, 1, true}}},
        {"never", -1, 0, 0, {{poll, 1, false}, {identify, 1, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Simulator bench;
        sim::SimProgrammer* p = bench.add();
        ASSERT_NE(p, nullptr);
        p->insert(36);
        RawLink link(p->port());
        ASSERT_TRUE(link.ok());
        p->clearLog();
        p->inject({sim::Fault::Type::SlowReply, c.command, c.skip, c.times, kDelay});

        for (size_t k = 0; k < c.steps.size(); ++k) {
            SCOPED_TRACE(k);
            const Step& s = c.steps[k];
            const auto sent = std::chrono::steady_clock::now();
            ASSERT_TRUE(link.send(s.sent));
            if (s.replyBytes == 0) continue;
            EXPECT_EQ(link.receive(s.replyBytes, 3s).size(), s.replyBytes);
            const auto took = std::chrono::steady_clock::now() - sent;
            // Far apart on purpose: a prompt reply takes well under a millisecond.
            if (s.slow)
                EXPECT_GE(took, kDelay);
            else
                EXPECT_LT(took, kDelay / 2);
        }

        ASSERT_TRUE(p->waitLog([&](const auto& log) { return log.size() == c.steps.size(); }, 2s));
        const auto log = p->log();
        for (size_t k = 0; k < c.steps.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(log[k].command, c.steps[k].sent[0]);
            EXPECT_EQ(log[k].note, c.steps[k].slow ? "reply delayed 300 ms" : "");
        }
    }
}
