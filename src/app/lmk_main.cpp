// lmk: the command-line twin of the korvis window.
#include <cstdio>
#include <cstring>

#include "app/lmk_commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const LmkArgs&);
    const char* usage;
};

const Command kCommands[] = {
    {"build", LmkBuild, "build GROUP.mrg [-o IMAGE.bin] [--page-map MAP.bin] [--compact] [--tatar|--no-tatar]\n"
                        "        [--v27|--no-v27] [--variant 0..4] [--lang2] [--lang3]"},
    {"inspect", LmkInspect, "inspect IMAGE.bin"},
    {"pack", LmkPack, "pack IN.wav|IN.voc|IN.mp3 -o OUT.fvp"},
    {"unpack", LmkUnpack, "unpack IN.fvp -o OUT.wav"},
    {"devices", LmkDevices, "devices"},
    {"write", LmkWrite, "write GROUP.mrg | --image IMAGE.bin --page-map MAP.bin [--port PATH]... [--count N]\n"
                        "        [--verify] [--log FILE.csv]"},
    {"read", LmkRead, "read --port PATH -o FILE"},
    {"set-serial", LmkSetSerial, "set-serial --port PATH N"},
    {"sim", LmkSim, "sim"},
};

void PrintHelp(FILE* out) {
    std::fprintf(out, "lmk %s - route group builder and cartridge writer for the informers\n\n", KORVIS_VERSION);
    std::fprintf(out, "Usage: lmk COMMAND [ARGS]\n\nCommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  lmk %s\n", c.usage);
    std::fprintf(out, "\n  lmk --help       this text\n  lmk --version    the program's version\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        PrintHelp(stdout);
        return 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("lmk %s\n", KORVIS_VERSION);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (!std::strcmp(argv[1], c.name)) {
            LmkArgs args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    std::fprintf(stderr, "lmk: unknown command '%s'\n\n", argv[1]);
    PrintHelp(stderr);
    return 2;
}
