#pragma once
// The one settings record of the program, read at start and written at close. Most values are only
// carried for the other informer tools that share the key; the build reads IsLang2, IsLang3 and
// Lang2ToV23, the main window ChangeTat and GrpName.
//
// Texts are UTF-8 here whatever their type in the key: an 8-bit text that may be unset is an
// optional, a wide text a plain string.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

enum class SettingsScope { User, System };  // HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE

class TInfoConfig {
public:
    // Values checked one by one, created when missing.
    int8_t IsLang2 = 0;  // nonzero: texts in language 2 are enabled
    int8_t IsLang3 = 0;  // nonzero: texts in language 3 are enabled
    int8_t GpsShow = 0;
    int8_t GpsFormat = 0;
    uint8_t ChangeTat = 0;   // nonzero: the Tatar-letter substitution option starts checked
    uint8_t Lang2ToV23 = 0;  // text variant for display boards, 0 to 4
    bool ParTempEnable = false;
    bool EndStEnable = false;
    bool ZoneEnable = false;
    std::optional<std::string> SoundMin, SoundDownT, SoundUpT, SoundEndSt, SoundZone1, SoundZone2;
    int8_t GrMin = 0, GrMax = 0, GrDif = 0, PeriodMsg = 0;
    std::string EndStL1, EndStL2, EndStL3, BusL1, BusL2, BusL3, MonL1, MonL2, MonL3, DayL1, DayL2, DayL3;
    std::string PrefIL1, PrefIL2, PrefIL3, PrefEL1, PrefEL2, PrefEL3;
    int8_t VoiceCity = 0;

    // Ten folder slots: unset, or a text that is neither empty nor a single space.
    std::array<std::optional<std::string>, 10> DirList;

    // Values read as one block.
    int8_t PortNum = 0;
    int8_t IndexPortRate = 0;
    int8_t ToolTip = 0;
    int16_t CountType = 0;
    int16_t CountWin = 0;
    int16_t CurWin = 0;
    int8_t SmallPause = 0;
    int8_t VerDB = 0;
    std::optional<std::string> NameOrg, NameDB, FontDef, FontDefRep;
    int16_t FontSize = 0;
    int16_t FontSizeRep = 0;

    // The full path of the group file built last.
    std::optional<std::string> GrpName;

    // Where LoadSettings found the key (nothing when there was none); SaveSettings writes there.
    std::optional<SettingsScope> ReadScope;
};

// The program's record.
extern TInfoConfig InfoConfig;
