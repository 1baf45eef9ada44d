// Any bytes as a group file: the reader gives its result and leaves nothing behind.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "model/group_file.h"

namespace {
std::string ScratchFile(const char* what) {
    return "/tmp/korvis-fuzz-" + std::string(what) + "-" + std::to_string(getpid());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchFile("group.mrg");
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    TvcGroupLine* group = OpenGroup(path);
    bool ok = LoadGroup(group);
    // What was listed must be whole, loaded or not.
    if (group->RouteCount != static_cast<int32_t>(group->RouteFiles.size()) ||
        group->RouteFiles.size() != group->RouteNames.size())
        __builtin_trap();
    if (ok) LoadGroup(group);  // a second load replaces everything again
    ReleaseGroup(group);
    if (GroupTable[0] != nullptr) __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
