// lmk sim: simulated programmers on pseudo-terminals for trying lmk and the window without
// hardware. Their port links live in a folder; a program started with KORVIS_SIM=<folder> works
// with them as with real programmers, arrivals and removals included.
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/lmk_commands.h"
#include "app/lmk_device_run.h"
#include "sim/programmer_source.h"
#include "sim/simulator.h"

namespace {

const char kUsage[] =
    "Usage: lmk sim [--dir DIR] [-n N] [--insert CODE] [--serve]\n"
    "  --dir DIR      where the port links go (default: $XDG_RUNTIME_DIR/korvis-sim or /tmp/korvis-sim-$UID)\n"
    "  -n N           programmers to start with (1 to 16, default 2)\n"
    "  --insert CODE  the cartridge each one holds at start (default 44: 2 MB; 1 = none)\n"
    "  --serve        no prompt: serve until Ctrl-C or SIGTERM\n";

const char kHelp[] =
    "Commands (N is a programmer's number from 'list'):\n"
    "  list                         the programmers and their cartridges\n"
    "  add [CODE]                   one more programmer, with a cartridge of CODE\n"
    "  plug N | unplug N            connect or disconnect it\n"
    "  insert N CODE | remove N     put in a blank cartridge (36 1 MB, 44 2 MB, 52 4 MB, 60 8 MB, 0 faulty), take it out\n"
    "  reinsert N                   take the cartridge out and put the same one back\n"
    "  version N V                  the version of its application (older than the program's: it is updated)\n"
    "  fault N no-reply [CMD]       the next command (CMD in decimal, or any) goes unanswered\n"
    "  fault N refuse               the next page write is refused\n"
    "  fault N slow MS [CMD]        replies come MS milliseconds late\n"
    "  fault N unplug               it disappears at the next page write\n"
    "  fault N clear                no more faults\n"
    "  log N [K]                    its last K commands (default 20)\n"
    "  quit                         end (also Ctrl-D)\n";

std::string DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");  // NOLINT(concurrency-mt-unsafe): before threads
    if (runtime && *runtime) return std::string(runtime) + "/korvis-sim";
    return "/tmp/korvis-sim-" + std::to_string(getuid());
}

bool ParseInt(const std::string& s, long& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 0);
    return end && !*end;
}

void List(const sim::Simulator& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        const sim::SimProgrammer* p = s.programmer(i);
        const auto code = p->cartridgeCode();
        std::printf("%zu: %s%s, %s%s\n", i, p->plugged() ? p->port().c_str() : "(disconnected)",
                    p->bootMode() ? ", boot loader" : "",
                    code ? ("cartridge " + std::to_string(*code)).c_str() : "no cartridge",
                    p->writeComplete() ? ", written" : "");
    }
}

void ShowLog(const sim::SimProgrammer& p, size_t k) {
    const auto log = p.log();
    for (size_t i = log.size() > k ? log.size() - k : 0; i < log.size(); ++i) {
        const sim::LogEntry& e = log[i];
        std::printf("%10.3f ", static_cast<double>(e.time.count()) / 1e6);
        if (e.command >= 0) {
            std::printf("cmd %02X", e.command);
            for (uint8_t a : e.args) std::printf(" %02X", a);
            if (e.address >= 0) std::printf(" @%lld", static_cast<long long>(e.address));
            if (!e.reply.empty() && e.reply.size() <= 4) {
                std::printf(" ->");
                for (uint8_t r : e.reply) std::printf(" %02X", r);
            } else if (!e.reply.empty()) {
                std::printf(" -> %zu bytes", e.reply.size());
            }
            if (!e.note.empty()) std::printf(" (%s)", e.note.c_str());
        } else {
            std::printf("%s", e.note.c_str());
        }
        std::printf("\n");
    }
}

// One command line; false to end.
bool Command(sim::Simulator& s, const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string t; in >> t;) w.push_back(t);
    if (w.empty()) return true;
    const std::string& c = w[0];
    if (c == "quit" || c == "exit") return false;
    if (c == "help" || c == "?") {
        std::printf("%s", kHelp);
        return true;
    }
    if (c == "list") {
        List(s);
        return true;
    }
    if (c == "add") {
        long code = 44;
        if (w.size() > 1 && !ParseInt(w[1], code)) code = 44;
        if (s.size() >= 16) {
            std::printf("16 programmers at most\n");
        } else if (sim::SimProgrammer* p = s.add()) {
            p->insert(static_cast<uint8_t>(code));
            std::printf("%zu: %s\n", s.size() - 1, p->port().c_str());
        }
        return true;
    }
    long n = -1;
    if (w.size() < 2 || !ParseInt(w[1], n) || n < 0 || static_cast<size_t>(n) >= s.size()) {
        std::printf("which programmer? (see 'list', 'help')\n");
        return true;
    }
    sim::SimProgrammer& p = *s.programmer(static_cast<size_t>(n));
    long v = 0;
    if (c == "plug") {
        std::printf(p.plug() ? "%s\n" : "could not connect\n", p.port().c_str());
    } else if (c == "unplug") {
        p.unplug();
    } else if (c == "insert" && w.size() > 2 && ParseInt(w[2], v) && v >= 0 && v <= 255) {
        p.insert(static_cast<uint8_t>(v));
    } else if (c == "remove") {
        p.remove();
    } else if (c == "reinsert") {
        if (const auto code = p.cartridgeCode()) {
            std::vector<uint8_t> memory = p.cartridge();
            p.remove();
            p.insert(*code, std::move(memory));
        }
    } else if (c == "version" && w.size() > 2 && ParseInt(w[2], v) && v >= 0) {
        p.setFirmwareVersion(static_cast<uint32_t>(v));
    } else if (c == "log") {
        long k = 20;
        if (w.size() > 2) ParseInt(w[2], k);
        ShowLog(p, static_cast<size_t>(k > 0 ? k : 20));
    } else if (c == "fault" && w.size() > 2) {
        sim::Fault f;
        f.times = 1;
        long cmd = -1;
        if (w[2] == "no-reply") {
            f.type = sim::Fault::Type::NoReply;
            if (w.size() > 3 && ParseInt(w[3], cmd)) f.command = static_cast<int>(cmd);
        } else if (w[2] == "refuse") {
            f.type = sim::Fault::Type::RefusePage;
        } else if (w[2] == "slow" && w.size() > 3 && ParseInt(w[3], v) && v >= 0) {
            f.type = sim::Fault::Type::SlowReply;
            f.delay = std::chrono::milliseconds(v);
            f.times = -1;
            if (w.size() > 4 && ParseInt(w[4], cmd)) f.command = static_cast<int>(cmd);
        } else if (w[2] == "unplug") {
            f.type = sim::Fault::Type::UnplugDuringWrite;
        } else if (w[2] == "clear") {
            p.clearFaults();
            return true;
        } else {
            std::printf("which fault? (see 'help')\n");
            return true;
        }
        p.inject(f);
    } else {
        std::printf("unknown command (see 'help')\n");
    }
    return true;
}

}  // namespace

int LmkSim(const LmkArgs& args) {
    std::string folder = DefaultFolder();
    long count = 2, code = 44;
    bool serve = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--dir" && hasValue) {
            folder = args[++i];
        } else if ((a == "-n" && hasValue && ParseInt(args[i + 1], count) && count >= 1 && count <= 16) ||
                   (a == "--insert" && hasValue && ParseInt(args[i + 1], code) && code >= 0 && code <= 255)) {
            ++i;
        } else if (a == "--serve") {
            serve = true;
        } else {
            std::fprintf(stderr, "lmk sim: unexpected argument '%s'\n%s", a.c_str(), kUsage);
            return 2;
        }
    }

    CatchInterrupt();
    sim::Simulator s(folder);
    if (s.folder().empty()) {
        std::fprintf(stderr, "lmk sim: cannot use the folder %s\n", folder.c_str());
        return 1;
    }
    for (long i = 0; i < count; ++i) {
        sim::SimProgrammer* p = s.add();
        if (!p) {
            std::fprintf(stderr, "lmk sim: no pseudo-terminal for a programmer\n");
            return 1;
        }
        p->insert(static_cast<uint8_t>(code));
    }
    std::printf("%ld simulated programmers in %s\nIn another terminal: export %s=%s\n", count, folder.c_str(),
                kSimFolderVariable, folder.c_str());
    List(s);
    std::fflush(stdout);

    if (serve) {
        while (!Interrupted()) usleep(200000);
        return 0;
    }
    std::printf("Type 'help' for the commands.\n");
    const bool prompt = isatty(STDIN_FILENO) != 0;
    std::string line;
    for (;;) {
        if (prompt) std::printf("sim> ");
        std::fflush(stdout);
        // Wait for a line or Ctrl-C.
        pollfd p{STDIN_FILENO, POLLIN, 0};
        while (!Interrupted() && poll(&p, 1, 200) == 0) {
        }
        if (Interrupted() || !std::getline(std::cin, line)) break;
        if (!Command(s, line)) break;
    }
    if (prompt) std::printf("\n");
    return 0;
}
