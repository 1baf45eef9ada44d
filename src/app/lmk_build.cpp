// lmk build: one route group into a cartridge image and its page map, with the options the window
// would use unless the arguments say otherwise.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/lmk_commands.h"
#include "image/group_build_image.h"
#include "messages/show_mes.h"
#include "settings/settings.h"
#include "voice/atomic_file.h"

namespace {

const char kUsage[] =
    "Usage: lmk build GROUP.mrg [-o IMAGE.bin] [--page-map MAP.bin] [--compact] [--tatar|--no-tatar]\n"
    "                 [--v27|--no-v27] [--variant 0..4] [--lang2] [--lang3]\n";

// The text variants the window lists for these language switches.
bool VariantListed(int variant, bool lang2, bool lang3) {
    switch (variant) {
        case 0: return true;
        case 1:
        case 3: return lang2;
        case 2:
        case 4: return lang3;
        default: return false;
    }
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
    AtomicFile f;
    if (!f.Create(path)) {
        ShowMes(2009, MesArg::Text(path));
        return false;
    }
    if (std::fwrite(data, 1, size, f.file()) != size || !f.Commit()) {
        ShowMes(2002, MesArg::Text(path));
        return false;
    }
    return true;
}

}  // namespace

int LmkBuild(const LmkArgs& args) {
    LoadSettings();
    BuildOptions options;
    options.compact = false;  // "Компактное построение" starts unchecked
    options.substituteTatar = InfoConfig.ChangeTat != 0;
    options.boardsBeforeV27 = true;  // "Символьные табло ранее v2.7" starts checked
    options.isLang2 = InfoConfig.IsLang2 != 0;
    options.isLang3 = InfoConfig.IsLang3 != 0;
    int variant = -1;

    std::string group, imageFile, mapFile;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) {
            imageFile = args[++i];
        } else if (a == "--page-map" && i + 1 < args.size()) {
            mapFile = args[++i];
        } else if (a == "--compact") {
            options.compact = true;
        } else if (a == "--tatar" || a == "--no-tatar") {
            options.substituteTatar = a == "--tatar";
        } else if (a == "--v27" || a == "--no-v27") {
            options.boardsBeforeV27 = a == "--v27";
        } else if (a == "--variant" && i + 1 < args.size()) {
            const std::string& v = args[++i];
            if (v.size() != 1 || v[0] < '0' || v[0] > '4') {
                std::fprintf(stderr, "lmk build: the variant is a number from 0 to 4, not '%s'\n%s", v.c_str(), kUsage);
                return 2;
            }
            variant = v[0] - '0';
        } else if (a == "--lang2") {
            options.isLang2 = true;
        } else if (a == "--lang3") {
            options.isLang3 = true;
        } else if (group.empty() && !a.empty() && a[0] != '-') {
            group = a;
        } else {
            std::fprintf(stderr, "lmk build: unexpected argument '%s'\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (group.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    // Like the window's list: the stored variant when it is offered, else the first one.
    if (variant < 0) variant = VariantListed(InfoConfig.Lang2ToV23, options.isLang2, options.isLang3)
                                   ? InfoConfig.Lang2ToV23 : 0;
    options.lang2ToV23 = variant;

    auto image = std::make_unique<CartridgeImage>();
    TGroupBuildImage builder(*image);
    builder.Options = options;
    const bool ok = builder.Build(group);
    const uint32_t length = image->ImageLength();
    std::printf("Необходимо: %u\nТаб1=%d  Таб2=%d\n", length, builder.TableSize, builder.DisplaySize);
    if (!ok || length == 0) return 1;

    if (!imageFile.empty() && !WriteWhole(imageFile, image->ImageBuffer.data(), length)) return 1;
    if (!mapFile.empty() && !WriteWhole(mapFile, image->PageMap.data(), image->PageMap.size())) return 1;
    return 0;
}
