#include <cstdio>

#include "app/lmk_commands.h"

int LmkPack(const LmkArgs&) {
    std::fprintf(stderr, "lmk: this command is not available yet\n");
    return 2;
}
