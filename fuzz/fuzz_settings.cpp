// Any bytes as the user's settings file: reading never fails hard, and what is saved afterwards
// reads back as it was saved.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "settings/qt_settings_store.h"
#include "settings/settings.h"

namespace {

std::string ScratchFile(const char* what) {
    return "/tmp/korvis-fuzz-" + std::string(what) + "-" + std::to_string(getpid());
}

bool SameSaved(const TInfoConfig& a, const TInfoConfig& b) {
    return a.PortNum == b.PortNum && a.IndexPortRate == b.IndexPortRate && a.ToolTip == b.ToolTip &&
           a.IsLang2 == b.IsLang2 && a.GpsShow == b.GpsShow && a.CountType == b.CountType &&
           a.CountWin == b.CountWin && a.CurWin == b.CurWin && a.SmallPause == b.SmallPause &&
           a.VerDB == b.VerDB && a.NameOrg.value_or("") == b.NameOrg.value_or("") &&
           a.NameDB.value_or("") == b.NameDB.value_or("") && a.FontDef.value_or("") == b.FontDef.value_or("") &&
           a.FontDefRep.value_or("") == b.FontDefRep.value_or("") && a.FontSize == b.FontSize &&
           a.FontSizeRep == b.FontSizeRep && a.DirList == b.DirList && a.GrpName == b.GrpName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string user = ScratchFile("user.ini");
    static const std::string system = ScratchFile("system-missing") + "/none/Informer Timora.ini";
    std::FILE* f = std::fopen(user.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    ParseStoredInt(std::string_view(reinterpret_cast<const char*>(data), size));

    TInfoConfig read;
    {
        QtSettingsStore store(user, system);
        LoadSettings(read, store);
        if (read.ReadScope != SettingsScope::User) __builtin_trap();
        for (const auto& slot : read.DirList)
            if (slot && (slot->empty() || *slot == " ")) __builtin_trap();
        if (read.GrpName && read.GrpName->empty()) __builtin_trap();
    }
    bool saved;
    {
        QtSettingsStore store(user, system);
        saved = SaveSettings(read, store);
    }
    if (saved) {
        TInfoConfig again;
        QtSettingsStore store(user, system);
        // A first group the file spoils skips the rest of the reading; otherwise every saved
        // value must come back.
        if (LoadSettings(again, store) && !SameSaved(read, again)) __builtin_trap();
    }
    std::remove(user.c_str());
    return 0;
}
