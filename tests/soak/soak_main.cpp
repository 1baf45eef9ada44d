// The soak: 16 simulated programmers that come and go, cartridges of every code put in and taken
// out at random moments (in the middle of a write too), every fault the simulator has, writing
// switched on and off, while the real slots and workers write the demo image. At the end: no
// worker hung, no slot left behind, UsbCprCount equal to the programmers plugged in, and every
// cartridge reported as written holds the image on every marked page.
//
// Usage: soak_tests [SECONDS] [SEED]   (or KORVIS_SOAK_SECONDS; default 60)
#include <poll.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "devices/firmware.h"
#include "devices/report_queue.h"
#include "devices/usb_cpr_table.h"
#include "devices/work_shared.h"
#include "image/cartridge_image.h"
#include "image/group_build_image.h"
#include "messages/show_mes.h"
#include "platform/posix_serial_port.h"
#include "sim/simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kProgrammers = 16;
// The longest a worker may take to see its stop request: a page read that gets nothing waits
// 50 ms a byte plus 100 ms (25.7 s for 512 bytes), and a few such steps may be in line.
constexpr auto kStopLimit = 60s;

// Cartridge codes a programmer may report: every type, the older codes, flag bits around the
// type, faulty.
constexpr std::array<uint8_t, 10> kCodes = {36, 44, 52, 60, 32, 40, 37, 45, 53, 0};

// Messages shown during the soak are counted, not shown.
class CountingPresenter : public MesPresenter {
public:
    int Present(const MesRequest& request) override {
        ++shown[request.code];
        return 1;
    }
    std::map<int32_t, int> shown;
};

struct Figures {
    long written = 0, failed = 0, stopped = 0, verifyFailed = 0;
    long corrupt = 0;   // reported written but not holding the image
    long swapped = 0;   // taken out and another put in while the write ran: not checkable
    long hangs = 0;     // a stop request not answered within kStopLimit
    long plugs = 0, unplugs = 0, inserts = 0, removals = 0, removalsMidWrite = 0, writeToggles = 0;
    long oldFirmware = 0, kindThree = 0;
    long replugged = 0;  // at the end: failed to open while faults were on, plugged in again
    std::map<std::string, long> faults;
};

bool HoldsImage(const std::vector<uint8_t>& cart, const CartridgeImage& image) {
    const size_t blocks = std::min(cart.size() / 256, image.PageMap.size());
    for (size_t b = 0; b < image.PageMap.size(); ++b) {
        if (!image.PageMap[b]) continue;
        if (b >= blocks) return false;
        if (!std::equal(cart.begin() + b * 256, cart.begin() + (b + 1) * 256, image.ImageBuffer.begin() + b * 256))
            return false;
    }
    return true;
}

// One programmer of the bench, as the soak sees it.
struct Unit {
    sim::SimProgrammer* p = nullptr;
    uint64_t generation = 0;       // counts the cartridges put in
    uint64_t writing = 0;          // the generation a write began on (0: none)
    std::map<uint64_t, bool> removedHeld;  // generation -> held the image when taken out
    Clock::time_point unpluggedAt{};
    bool awaitingRemoval = false;
};

// Which programmers failed to open on their last arrival (no identification, a reply lost or too
// late): the program gives those no slot until they come again, as it should.
struct OpenWatch : SlotObserver {
    std::map<int, std::string> attaching;       // slot -> device path whose Open runs
    std::map<std::string, bool> lastOpenFailed;  // device path -> its last Open failed
    void slotAttached(int s, TUsbCpr& cpr) override { attaching[s] = cpr.DevicePath; }
    void slotOpened(int s, TUsbCpr& cpr) override {
        attaching.erase(s);
        lastOpenFailed[cpr.DevicePath] = false;
    }
    void slotRemoved(int s) override {
        auto it = attaching.find(s);
        if (it == attaching.end()) return;
        lastOpenFailed[it->second] = true;
        attaching.erase(it);
    }
};

class Soak {
public:
    Soak(CartridgeImage& image, unsigned seed)
        : image_(image), rng_(seed),
          queue_([this](int m, int s, int32_t v) { onReport(m, s, v); },
                 [this](int s, const WriteOutcome& o) { onOutcome(s, o); }),
          table_(shared_, queue_, sim_, PosixSerialPortFactory()) {
        shared_.ImageBuffer = image.ImageBuffer.data();
        shared_.PageMap = image.PageMap.data();
        shared_.ImageLength = static_cast<int32_t>(image.ImageLength());
        shared_.GroupBuilt = true;
        firmware_ = BuiltInPrepared();
        shared_.Firmware = &firmware_;
        std::string error;
        table_.RegisterDevNotify(error);
        table_.setMessagePump([this] { queue_.pump(); });
        table_.setObserver(&openWatch_);
        for (int i = 0; i < kProgrammers; ++i) {
            sim::SimProgrammerConfig config;
            config.restartDelay = 100ms;
            Unit u;
            u.p = sim_.addUnplugged(config);
            units_.push_back(u);
        }
    }

    int run(std::chrono::seconds duration) {
        for (Unit& u : units_) {
            u.p->plug();
            insert(u, pick(kCodes));
        }
        table_.EnumProgrammers();
        table_.AddFoundDevices();
        shared_.WriteOn = true;

        const auto end = Clock::now() + duration;
        auto nextAction = Clock::now();
        auto nextFigures = Clock::now() + 60s;
        while (Clock::now() < end) {
            mainLoop(5ms);
            if (Clock::now() >= nextAction) {
                act();
                nextAction = Clock::now() + std::chrono::milliseconds(uniform(5, 120));
            }
            checkStops();
            if (Clock::now() >= nextFigures) {
                std::printf("soak: %ld s, %ld written, %ld failed, %ld hangs, %ld corrupt\n",
                            static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                                  Clock::now() - (end - duration)).count()),
                            f_.written, f_.failed, f_.hangs, f_.corrupt);
                std::fflush(stdout);
                nextFigures += 60s;
            }
        }
        return finish();
    }

private:
    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    template <size_t N>
    uint8_t pick(const std::array<uint8_t, N>& a) { return a[static_cast<size_t>(uniform(0, N - 1))]; }

    void mainLoop(std::chrono::milliseconds slice) {
        const auto until = Clock::now() + slice;
        do {
            queue_.pump(1ms);
            pollfd p{sim_.eventFd(), POLLIN, 0};
            if (poll(&p, 1, 0) > 0) table_.OnMyDeviceChange();
        } while (Clock::now() < until);
    }

    Unit* unitOfSlot(int slot) {
        TUsbCpr* cpr = table_.slot(slot);
        if (!cpr) return nullptr;
        for (Unit& u : units_)
            if (u.p->devicePath() == cpr->DevicePath) return &u;
        return nullptr;
    }

    void onReport(int message, int slot, int32_t value) {
        (void)value;
        if (message == kReportInitBar) {
            if (Unit* u = unitOfSlot(slot)) u->writing = shared_.ReadOn ? 0 : u->generation;
        }
        if (message == kReportEnd) table_.RemoveDevice(slot);
    }

    // Runs while the worker waits, before anything more happens to its cartridge.
    void onOutcome(int slot, const WriteOutcome& o) {
        Unit* u = unitOfSlot(slot);
        switch (o.result) {
            case WriteOutcome::Result::Written: ++f_.written; break;
            case WriteOutcome::Result::Failed: ++f_.failed; break;
            case WriteOutcome::Result::Stopped: ++f_.stopped; break;
            case WriteOutcome::Result::VerifyFailed: ++f_.verifyFailed; break;
        }
        if (!u) return;
        const uint64_t began = u->writing;
        u->writing = 0;
        if (o.result != WriteOutcome::Result::Written || began == 0) return;
        bool held = false;
        if (began == u->generation && u->p->cartridgeCode()) {
            held = HoldsImage(u->p->cartridge(), image_);
        } else if (auto it = u->removedHeld.find(began); it != u->removedHeld.end()) {
            // Taken out between its last page and the end of the write.
            held = it->second;
            if (began != u->generation && u->p->cartridgeCode()) ++f_.swapped;
        }
        if (!held) {
            ++f_.corrupt;
            std::fprintf(stderr, "soak: slot %d reported a cartridge (serial %d) written that does not hold the image\n",
                         slot, o.serial);
        }
        u->removedHeld.clear();
    }

    void insert(Unit& u, uint8_t code) {
        ++u.generation;
        u.p->insert(code);
        ++f_.inserts;
    }

    void remove(Unit& u) {
        if (!u.p->cartridgeCode()) return;
        if (u.writing == u.generation) {
            ++f_.removalsMidWrite;
            u.removedHeld[u.generation] = HoldsImage(u.p->cartridge(), image_);
        }
        u.p->remove();
        ++f_.removals;
    }

    void act() {
        Unit& u = units_[static_cast<size_t>(uniform(0, kProgrammers - 1))];
        const int what = uniform(0, 99);
        if (what < 30) {
            // The operator changes the cartridge: out, and after a moment (a person's hand) in.
            remove(u);
            mainLoop(std::chrono::milliseconds(uniform(150, 600)));
            insert(u, pick(kCodes));
        } else if (what < 38) {
            remove(u);
        } else if (what < 46) {
            if (!u.p->cartridgeCode()) insert(u, pick(kCodes));
        } else if (what < 52) {
            if (u.p->plugged()) {
                u.p->unplug();
                ++f_.unplugs;
                u.unpluggedAt = Clock::now();
                u.awaitingRemoval = true;
            } else {
                plug(u);
            }
        } else if (what < 56) {
            if (!u.p->plugged()) plug(u);
        } else if (what < 60) {
            shared_.WriteOn = !shared_.WriteOn;
            ++f_.writeToggles;
        } else if (what < 64) {
            // An older application: the next time it is plugged in it is flashed.
            u.p->setFirmwareVersion(kBuiltInVersion - 1);
            ++f_.oldFirmware;
        } else if (what < 66) {
            u.p->setKindReply(uniform(0, 1) ? sim::kKindReply3 : sim::kKindReply8);
            ++f_.kindThree;
        } else {
            injectFault(u);
        }
        if (!shared_.WriteOn && uniform(0, 9) == 0) {
            shared_.WriteOn = true;
            ++f_.writeToggles;
        }
    }

    void plug(Unit& u) {
        if (u.p->plug()) ++f_.plugs;
    }

    void injectFault(Unit& u) {
        static const std::array<uint8_t, 9> kCommands = {0x01, 0x0F, 0x11, 0x12, 0x13, 0x16, 0x18, 0x1C, 0x1D};
        sim::Fault fault;
        switch (uniform(0, 3)) {
            case 0:
                fault.type = sim::Fault::Type::NoReply;
                fault.command = pick(kCommands);
                fault.skip = uniform(0, 20);
                fault.times = 1;
                ++f_.faults["no reply"];
                break;
            case 1:
                fault.type = sim::Fault::Type::RefusePage;
                fault.skip = uniform(0, 200);
                fault.times = 1;
                ++f_.faults["refused page"];
                break;
            case 2:
                fault.type = sim::Fault::Type::SlowReply;
                fault.command = uniform(0, 1) ? -1 : pick(kCommands);
                // Mostly within the link's time-outs, sometimes beyond them.
                fault.delay = std::chrono::milliseconds(uniform(0, 4) ? uniform(1, 40) : uniform(150, 400));
                fault.times = uniform(1, 50);
                ++f_.faults["slow reply"];
                break;
            default:
                fault.type = sim::Fault::Type::UnplugDuringWrite;
                fault.skip = uniform(0, 400);
                fault.times = 1;
                ++f_.faults["unplug during a write"];
                break;
        }
        u.p->inject(fault);
        // A slow reply is over after a while; the others strike once.
        if (fault.type == sim::Fault::Type::SlowReply && uniform(0, 3) == 0) u.p->clearFaults();
    }

    bool holdsSlot(const Unit& u) const {
        for (int s = 0; s < UsbCprTable::kSlots; ++s) {
            const TUsbCpr* cpr = table_.slot(s);
            if (cpr && cpr->DevicePath == u.p->devicePath()) return true;
        }
        return false;
    }

    // A programmer that went away must lose its slot within kStopLimit.
    void checkStops() {
        for (Unit& u : units_) {
            if (!u.awaitingRemoval) continue;
            if (!holdsSlot(u) || u.p->plugged()) {
                u.awaitingRemoval = false;
            } else if (Clock::now() - u.unpluggedAt > kStopLimit) {
                ++f_.hangs;
                std::fprintf(stderr, "soak: the slot of %s outlived its removal by %lld s\n", u.p->devicePath().c_str(),
                             static_cast<long long>(kStopLimit.count()));
                u.awaitingRemoval = false;
            }
        }
    }

    // Everything calms down: no faults, every programmer back with a cartridge, then the tally.
    int finish() {
        shared_.WriteOn = false;
        for (Unit& u : units_) {
            u.p->clearFaults();
            u.p->setKindReply(sim::kKindReply8);
        }
        for (Unit& u : units_)
            if (!u.p->plugged() && !u.p->waitPlugged(2s)) plug(u);
        // One that failed to open while faults were on is plugged in again, as an operator would;
        // any other plugged programmer without a slot is a slot lost.
        mainLoop(500ms);
        for (Unit& u : units_) {
            if (!u.p->plugged() || holdsSlot(u) || !openWatch_.lastOpenFailed[u.p->devicePath()]) continue;
            ++f_.replugged;
            u.p->unplug();
            ++f_.unplugs;
            mainLoop(200ms);
            plug(u);
        }
        // Restarts and updates run their course; workers stuck in a time-out come out of it.
        int steady = 0;
        const auto calmUntil = Clock::now() + kStopLimit;
        while (Clock::now() < calmUntil && steady < 20) {
            mainLoop(100ms);
            checkStops();
            int plugged = 0;
            for (const Unit& u : units_) plugged += u.p->plugged() ? 1 : 0;
            steady = table_.UsbCprCount() == plugged && table_.occupiedSlots() == plugged ? steady + 1 : 0;
        }
        int plugged = 0;
        for (const Unit& u : units_) plugged += u.p->plugged() ? 1 : 0;
        const int count = table_.UsbCprCount();
        const int occupied = table_.occupiedSlots();
        std::string unheld;  // programmers plugged in without a slot, with what they heard last
        for (const Unit& u : units_) {
            if (!u.p->plugged() || holdsSlot(u)) continue;
            unheld += "  plugged without a slot: " + u.p->devicePath() + "; its last commands:";
            const auto log = u.p->log();
            for (size_t i = log.size() > 12 ? log.size() - 12 : 0; i < log.size(); ++i)
                unheld += " [" + std::to_string(log[i].command) + (log[i].note.empty() ? "" : " " + log[i].note) + "]";
            unheld += "\n";
        }

        const auto stopStarted = Clock::now();
        const bool allEnded = table_.ShutDown([this] { queue_.pump(1ms); }, kStopLimit);
        const double stopSeconds = std::chrono::duration<double>(Clock::now() - stopStarted).count();
        const int leftAfterStop = table_.occupiedSlots();

        std::printf("soak figures:\n");
        std::printf("  cartridges written %ld, failed writes %ld, stopped %ld, verify failures %ld\n", f_.written,
                    f_.failed, f_.stopped, f_.verifyFailed);
        std::printf("  reported written but not holding the image: %ld (checked from a copy when taken out "
                    "before the end: %ld swapped)\n", f_.corrupt, f_.swapped);
        std::printf("  programmers plugged %ld, unplugged %ld; cartridges in %ld, out %ld (%ld in the middle of a "
                    "write); writing switched %ld times\n", f_.plugs, f_.unplugs, f_.inserts, f_.removals,
                    f_.removalsMidWrite, f_.writeToggles);
        std::printf("  older firmware %ld, kind-3 switches %ld", f_.oldFirmware, f_.kindThree);
        for (const auto& [kind, n] : f_.faults) std::printf(", %s %ld", kind.c_str(), n);
        std::printf("\n");
        std::printf("  messages shown:");
        for (const auto& [code, n] : presenter.shown) std::printf(" %d x%d", code, n);
        std::printf("\n  at the end: %d programmers plugged (%ld plugged in again after a failed open), "
                    "UsbCprCount %d, slots occupied %d\n", plugged, f_.replugged, count, occupied);
        std::printf("%s", unheld.c_str());
        std::printf("  stop of every worker: %s in %.1f s, slots left %d; hangs during the run %ld\n",
                    allEnded ? "done" : "NOT done", stopSeconds, leftAfterStop, f_.hangs);

        bool ok = true;
        auto check = [&](bool condition, const char* what) {
            if (!condition) {
                std::printf("soak FAILED: %s\n", what);
                ok = false;
            }
        };
        check(f_.corrupt == 0, "a cartridge reported as written does not hold the image");
        check(f_.hangs == 0, "a removed programmer's worker did not end within its time-outs");
        check(count == plugged, "UsbCprCount differs from the programmers plugged in");
        check(occupied == plugged, "slots occupied differ from the programmers plugged in");
        check(allEnded && leftAfterStop == 0, "not every worker ended on the stop request");
        check(f_.written > 0, "no cartridge was written at all");
        if (ok) std::printf("soak passed\n");
        return ok ? 0 : 1;
    }

public:
    CountingPresenter presenter;

private:
    CartridgeImage& image_;
    std::mt19937 rng_;
    sim::Simulator sim_;  // before the slots: it outlives the workers that talk to it
    WorkShared shared_;
    PreparedFirmware firmware_;
    ReportQueue queue_;
    UsbCprTable table_;
    std::vector<Unit> units_;
    Figures f_;
    OpenWatch openWatch_;
};

// The demo group, built in a copy so that its packed voices stay out of the source tree.
bool BuildDemo(CartridgeImage& image, const fs::path& work) {
    const fs::path demo = fs::path(KORVIS_SOURCE_DIR) / "examples" / "demo";
    std::error_code ec;
    fs::copy(demo, work, fs::copy_options::recursive, ec);
    if (ec) {
        std::fprintf(stderr, "soak: cannot copy %s: %s\n", demo.c_str(), ec.message().c_str());
        return false;
    }
    TGroupBuildImage builder(image);
    builder.Options.boardsBeforeV27 = true;
    return builder.Build((work / "demo.mrg").string()) && image.ImageLength() > 0;
}

}  // namespace

int main(int argc, char** argv) {
    long seconds = 60;
    if (const char* env = std::getenv("KORVIS_SOAK_SECONDS")) seconds = std::strtol(env, nullptr, 10);
    if (argc > 1) seconds = std::strtol(argv[1], nullptr, 10);
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                   : static_cast<unsigned>(std::random_device{}());
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [SECONDS] [SEED]\n", argv[0]);
        return 2;
    }

    std::string templ = (fs::temp_directory_path() / "korvis-soak-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 2;
    const fs::path work = fs::path(templ) / "demo";
    auto image = std::make_unique<CartridgeImage>();
    int status = 2;
    if (BuildDemo(*image, work)) {
        std::printf("soak: %ld s, seed %u, demo image %u bytes, %d programmers\n", seconds, seed,
                    image->ImageLength(), kProgrammers);
        std::fflush(stdout);
        auto soak = std::make_unique<Soak>(*image, seed);
        SetMesPresenter(&soak->presenter);
        status = soak->run(std::chrono::seconds(seconds));
        SetMesPresenter(nullptr);
    } else {
        std::fprintf(stderr, "soak: the demo group did not build\n");
    }
    std::error_code ec;
    fs::remove_all(templ, ec);
    return status;
}
