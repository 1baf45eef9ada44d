// Simulated programmers of another process seen through their folder of port links, and what the
// operator is told when a port cannot be opened.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <cerrno>
#include <grp.h>

#include "devices/usb_cpr.h"
#include "platform/posix_serial_port.h"
#include "sim/sim_folder_source.h"
#include "sim/simulator.h"
#include "support/recording_presenter.h"
#include "support/temp_dir.h"

using namespace std::chrono_literals;

namespace {

// The events of `source` until one of `kind` came, for at most two seconds.
std::vector<DeviceEvent> EventsUntil(sim::SimFolderSource& source, DeviceEventKind kind) {
    std::vector<DeviceEvent> all;
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{source.eventFd(), POLLIN, 0};
        poll(&p, 1, 50);
        for (DeviceEvent& e : source.takeEvents()) all.push_back(std::move(e));
        for (const DeviceEvent& e : all)
            if (e.kind == kind) return all;
    }
    return all;
}

}  // namespace

TEST(SimFolderSource, SeesProgrammersOfTheFolderComeAndGo) {
    TempDir dir;
    const std::string folder = (dir / "sim").string();
    sim::Simulator simulator(folder);
    sim::SimFolderSource source(folder);
    std::string error;
    ASSERT_TRUE(source.startMonitor(error)) << error;

    sim::SimProgrammer* p = simulator.add();
    ASSERT_NE(p, nullptr);
    const std::string port = folder + "/ttyLMK0";
    auto events = EventsUntil(source, DeviceEventKind::Arrival);
    ASSERT_EQ(events.size(), 1u);  // the link's temporary name is no programmer
    EXPECT_EQ(events[0].kind, DeviceEventKind::Arrival);
    EXPECT_EQ(events[0].path, port);
    const auto found = source.enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].friendlyName, "LMK USB Programmer (" + port + ")");
    EXPECT_EQ(found[0].path, port);

    p->unplug();
    events = EventsUntil(source, DeviceEventKind::Removal);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].path, port);
    EXPECT_TRUE(source.enumerate().empty());
}

TEST(OpenFailureAdvice, SaysWhatToDoForRightsAndForABusyPort) {
    TempDir dir;
    const std::string node = dir.write("ttyACM0", "");
    struct stat st {};
    ASSERT_EQ(stat(node.c_str(), &st), 0);
    const struct group* g = getgrgid(st.st_gid);  // NOLINT(concurrency-mt-unsafe)
    ASSERT_NE(g, nullptr);

    const std::string rights = OpenFailureAdvice(EACCES, node);
    EXPECT_NE(rights.find(kProgrammerUdevRule), std::string::npos) << rights;
    EXPECT_NE(rights.find(std::string("группу ") + g->gr_name), std::string::npos) << rights;
    EXPECT_NE(OpenFailureAdvice(EBUSY, node).find("занят"), std::string::npos);
    EXPECT_EQ(OpenFailureAdvice(ENOENT, node), "");
}

TEST(OpenFailureAdvice, FollowsThePortNameInMessage1041) {
    // A port that another program holds: the second open is refused.
    RecordingPresenter mes;
    sim::Simulator simulator;
    sim::SimProgrammer* p = simulator.add();
    ASSERT_NE(p, nullptr);
    PosixSerialPort holder;
    ASSERT_TRUE(holder.open(p->port()));

    WorkShared shared;
    TUsbCpr cpr(0, shared, nullptr, PosixSerialPortFactory());
    cpr.PortName = p->port();
    EXPECT_FALSE(cpr.Open());
    ASSERT_EQ(mes.Codes(), (std::vector<int32_t>{1041}));
    const std::string text = mes.Texts()[0];
    EXPECT_NE(text.find(p->port() + " (" + p->port() + " занят"), std::string::npos) << text;
}

TEST(ProbeOnly, ListsAProgrammerThatNeedsFirmwareWithoutRestartingIt) {
    RecordingPresenter mes;
    sim::Simulator simulator;
    sim::SimProgrammerConfig config;
    config.record = sim::MakeFirmwareRecord(kBuiltInVersion - 1, kBuiltInCodeSize, 1, 0);
    sim::SimProgrammer* p = simulator.add(config);
    ASSERT_NE(p, nullptr);
    p->insert(44);

    WorkShared shared;
    TUsbCpr cpr(0, shared, nullptr, PosixSerialPortFactory());
    cpr.PortName = p->port();
    cpr.ProbeOnly = true;
    ASSERT_TRUE(cpr.Open());
    EXPECT_TRUE(cpr.NeedsFirmware);
    EXPECT_EQ(cpr.FlashMb, 2);
    cpr.Close();
    for (const sim::LogEntry& e : p->log()) EXPECT_NE(e.command, 0x1E);
    EXPECT_FALSE(p->bootMode());
    EXPECT_TRUE(mes.Codes().empty());
}
