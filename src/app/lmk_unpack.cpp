// lmk unpack: what the informer will play from a packed voice file, as an 8-bit WAV file.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/lmk_commands.h"
#include "messages/show_mes.h"
#include "voice/packed_decoder.h"
#include "voice/sample_rates.h"
#include "voice/wav8_file.h"

int LmkUnpack(const LmkArgs& args) {
    std::string in, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            out = args[++i];
        else if (in.empty() && !args[i].empty() && args[i][0] != '-')
            in = args[i];
        else {
            std::fprintf(stderr, "lmk unpack: unexpected argument '%s'\nUsage: lmk unpack IN.fvp -o OUT.wav\n",
                         args[i].c_str());
            return 2;
        }
    }
    if (in.empty() || out.empty()) {
        std::fprintf(stderr, "Usage: lmk unpack IN.fvp -o OUT.wav\n");
        return 2;
    }
    std::ifstream file(in, std::ios::binary);
    if (!file) {
        ShowMes(1005, MesArg::Text(in));
        return 1;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        ShowMes(2001, MesArg::Text(in));
        return 1;
    }
    DecodedVoice voice;
    const int32_t rc = DecodePackedVoice(bytes.data(), bytes.size(), voice);
    const int32_t rate = SampleRateOfCode(voice.rateCode);
    if (rc != 0 || rate < 0) {
        ShowMes(2010, MesArg::Text(in));
        return 1;
    }
    if (!WriteWav8Mono(out, static_cast<uint32_t>(rate), voice.samples)) {
        ShowMes(2009, MesArg::Text(out));
        return 1;
    }
    return 0;
}
