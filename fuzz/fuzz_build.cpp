// Any bytes as the one route file of a fixed group, built into an image. The group file, the
// template set and packed voices are made in a scratch folder at start-up; the options of each
// build come from the input's byte sum, so every input is built the same way each time.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "image/group_build_image.h"
#include "image/image_inspector.h"
#include "image/image_layout.h"
#include "messages/show_mes.h"
#include "model/description_writer.h"
#include "model/group_file.h"
#include "model/route_file.h"
#include "model/template_file.h"

namespace fs = std::filesystem;

namespace {

class QuietPresenter : public MesPresenter {
public:
    int Present(const MesRequest&) override { return 1; }
};

// A voice that counts as packed: a placeholder source and, newer than it, its packed file.
void WritePacked(const fs::path& folder, const std::string& stem, int size, uint8_t rate) {
    const fs::path source = folder / (stem + ".wav");
    const fs::path packed = folder / (stem + "_wav.fvp");
    std::ofstream(source, std::ios::binary) << "RIFF placeholder";
    std::ofstream out(packed, std::ios::binary);
    const char header[4] = {0x20, 3, static_cast<char>(rate), 0};
    out.write(header, 4);
    for (int i = 0; i < size; ++i) out.put(static_cast<char>(i * 7));
    out.close();
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(source, now - std::chrono::hours(48));
    fs::last_write_time(packed, now - std::chrono::hours(24));
}

struct Fixture {
    fs::path folder;
    std::string group;
    std::string route;

    Fixture() {
        std::string templ = (fs::temp_directory_path() / "korvis-fuzz-build-XXXXXX").string();
        folder = mkdtemp(templ.data());
        fs::create_directories(folder / "voice");
        int n = 0;
        for (const char* v : {"route", "route_en", "t1", "t2", "s0", "s1", "s2", "s3", "s4", "s5", "en0", "en1",
                              "en2", "bell"}) {
            WritePacked(folder / "voice", v, 64 + 32 * n, static_cast<uint8_t>(n % 3));
            ++n;
        }

        TemplateDescription t;
        t.items = {
            {1, 0, 0, "T"},
            {1, 1, 0, "*Прибытие"},
            {1, 1, 1, "<Эта остановка>"},
            {1, 1, 2, "<Пауза> 300мс."},
            {1, 1, 3, "<Контрольная>"},
            {1, 1, 4, "<Текст> @RОстановка@/1 @G"},
            {1, 1, 5, "<Применить Язык2>"},
            {1, 1, 6, "<Конечная 1-Язык2>"},
            {1, 1, 7, "<Применить Язык1>"},
            {1, 1, 8, "voice\\bell.wav"},
            {2, 0, 0, "N"},
            {2, 1, 0, ">"},
            {2, 1, 1, "<Следующая остановка>"},
            {2, 1, 2, "<Звук.файл маршрута>"},
            {2, 1, 3, "<Конечная 1>"},
            {2, 1, 4, "<Конечная 2-Язык2>"},
            {2, 2, 0, "*"},
            {2, 2, 1, "<Применить Язык2>"},
            {2, 2, 2, "<Эта остановка-Язык2>"},
            {2, 2, 3, "<Применить Язык3>"},
            {2, 2, 4, "<Конечная 2-Язык3>"},
            {3, 0, 0, "E"},
            {3, 1, 0, "*"},
            {3, 1, 1, "<Эта остановка>"},
        };
        WriteTemplateFile((folder / "stops.tpl").string(), t);
        GroupDescription g;
        g.routes = {"r.lin"};
        group = (folder / "group.mrg").string();
        WriteGroupFile(group, g);
        route = (folder / "r.lin").string();
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

bool NothingToWrite(const CartridgeImage& image) {
    if (image.ImageEnd != 0) return false;
    for (uint8_t p : image.PageMap)
        if (p != 0) return false;
    for (uint32_t at : {0x2000u, 0xF0000u})
        for (uint32_t i = at; i < at + 0x400; ++i)
            if (image.ImageBuffer[i] != 0xFF) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QuietPresenter presenter;
    static const bool installed = (SetMesPresenter(&presenter), true);
    (void)installed;
    static Fixture fixture;
    static auto image = std::make_unique<CartridgeImage>();

    {
        std::ofstream f(fixture.route, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i) sum += data[i];

    bool ok = false;
    {
        TGroupBuildImage builder(*image);
        builder.Options.compact = sum & 1;
        builder.Options.substituteTatar = sum & 2;
        builder.Options.boardsBeforeV27 = sum & 4;
        builder.Options.isLang2 = sum & 8;
        builder.Options.isLang3 = sum & 16;
        builder.Options.lang2ToV23 = static_cast<int32_t>((sum >> 5) % 6);
        builder.Options.packInParallel = (sum >> 8) & 1;
        ok = builder.Build(fixture.group);
        // KORVIS_FUZZ_VERBOSE=1 tells, on replay, how each input's build ended.
        static const bool verbose = std::getenv("KORVIS_FUZZ_VERBOSE") != nullptr;  // NOLINT(concurrency-mt-unsafe): read once, nothing sets it
        if (verbose) std::fprintf(stderr, "build: code %d\n", builder.LastCode());
        if (ok != (builder.LastCode() == 0)) __builtin_trap();
        if (!ok && !NothingToWrite(*image)) __builtin_trap();  // a failed build leaves nothing to write
        if (ok) {
            if (builder.TableSize > image_layout::kMaxTableSize) __builtin_trap();
            if (builder.DisplaySize > static_cast<int32_t>(image_layout::kDisplayAreaSize)) __builtin_trap();
            if (image->ImageEnd <= image_layout::kDisplayAreaOffset) __builtin_trap();
            const InspectedImage inspected = InspectImage(image->ImageBuffer.data(), image->ImageBuffer.size());
            if (inspected.routeCount != 1 || !inspected.problems.empty()) __builtin_trap();
            (void)FormatInspection(inspected);
        }
    }
    // Every route and template goes back to its table, whatever the build did.
    if (RouteTable[0] != nullptr) __builtin_trap();
    ClearTemplateTable();
    return 0;
}
