// Any bytes as a stop template file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "model/template_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/korvis-fuzz-template-" + std::to_string(getpid()) + ".tpl";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    TvcTempl* set = OpenTemplate(path);
    if (!set || set->ItemCount != static_cast<int32_t>(set->Items.size())) __builtin_trap();
    bool full = LoadTemplate(set);
    for (const TvcTemplItem& item : set->Items) {
        // Only a file read in full has its voice names resolved.
        if (item.TextFile && !full) __builtin_trap();
    }
    ReleaseTemplate(set);
    if (TemplateTable[0] != nullptr) __builtin_trap();
    std::remove(path.c_str());
    return 0;
}
