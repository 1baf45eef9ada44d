// lmk pack: one sound file (WAV, VOC or MP3) into a packed voice file.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/lmk_commands.h"
#include "messages/show_mes.h"
#include "voice/mp3_decode.h"
#include "voice/packer.h"

namespace {

bool IsMp3(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".mp3";
}

// Reader codes name the sound file; writer codes name the packed file.
bool IsOutputCode(int32_t code) { return code == 2002 || code == 2009; }

}  // namespace

int LmkPack(const LmkArgs& args) {
    std::string in, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size())
            out = args[++i];
        else if (in.empty() && !args[i].empty() && args[i][0] != '-')
            in = args[i];
        else {
            std::fprintf(stderr, "lmk pack: unexpected argument '%s'\nUsage: lmk pack IN.wav|IN.voc|IN.mp3 -o OUT.fvp\n",
                         args[i].c_str());
            return 2;
        }
    }
    if (in.empty() || out.empty()) {
        std::fprintf(stderr, "Usage: lmk pack IN.wav|IN.voc|IN.mp3 -o OUT.fvp\n");
        return 2;
    }

    std::string wav = in;
    std::string decoded;
    if (IsMp3(in)) {
        if (!std::filesystem::exists(in)) {
            ShowMes(1005, MesArg::Text(in));
            return 1;
        }
        std::string templ = (std::filesystem::temp_directory_path() / "lmk-mp3-XXXXXX").string();
        int fd = mkstemp(templ.data());
        if (fd < 0) {
            ShowMes(2009, MesArg::Text(templ));
            return 1;
        }
        close(fd);
        decoded = templ;
        const int rc = DecodeMp3ToWav(in, decoded);
        if (rc != 0) {
            std::remove(decoded.c_str());
            ShowMes(rc == -1 ? 2010 : 2024, MesArg::Text(in));
            return 1;
        }
        wav = decoded;
    }

    TinfVoice packer(3, 11025, 12);
    const bool ok = packer.ErrorCode == 0 && packer.Pack(out, wav);
    if (!decoded.empty()) std::remove(decoded.c_str());
    if (!ok) {
        ShowMes(packer.ErrorCode, MesArg::Text(IsOutputCode(packer.ErrorCode) ? out : in));
        return 1;
    }
    return 0;
}
