// lmk inspect: what an image file will make the informer say and show.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/lmk_commands.h"
#include "image/image_inspector.h"
#include "image/image_layout.h"

int LmkInspect(const LmkArgs& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-') {
        std::fprintf(stderr, "Usage: lmk inspect IMAGE.bin\n");
        return 2;
    }
    std::ifstream f(args[0], std::ios::binary);
    if (!f) {
        std::fprintf(stderr, "lmk inspect: cannot open '%s'\n", args[0].c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + f.gcount());
        if (bytes.size() > image_layout::kImageSize) {
            std::fprintf(stderr, "lmk inspect: '%s' is larger than a cartridge image\n", args[0].c_str());
            return 1;
        }
    }
    const InspectedImage image = InspectImage(bytes.data(), bytes.size());
    std::fputs(FormatInspection(image).c_str(), stdout);
    return image.problems.empty() ? 0 : 1;
}
