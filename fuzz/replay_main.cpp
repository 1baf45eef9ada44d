// Replays a fuzz target's corpus without libFuzzer: every file of the folders (or files) named on
// the command line is handed to LLVMFuzzerTestOneInput once. A crash fails the run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static void RunFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int main(int argc, char** argv) {
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path p(argv[i]);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(p))
                if (e.is_regular_file()) { RunFile(e.path()); ++count; }
        } else if (fs::is_regular_file(p, ec)) {
            RunFile(p);
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}
