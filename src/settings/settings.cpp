// The settings algorithm: which scope is read, which values are checked and created one by one,
// which are read as one block, and what is written back at close.
#include "settings/settings.h"

#include <initializer_list>
#include <string>
#include <variant>

#include "settings/qt_settings_store.h"

namespace {

using Field = std::variant<int8_t TInfoConfig::*, uint8_t TInfoConfig::*, bool TInfoConfig::*,
                           int16_t TInfoConfig::*, std::optional<std::string> TInfoConfig::*,
                           std::string TInfoConfig::*>;

struct Entry {
    const char* name;
    Field field;
};

// In the order they are checked.
const Entry kFirstGroup[] = {
    {"IsLang2", &TInfoConfig::IsLang2},       {"IsLang3", &TInfoConfig::IsLang3},
    {"GpsShow", &TInfoConfig::GpsShow},       {"GpsFormat", &TInfoConfig::GpsFormat},
    {"ChangeTat", &TInfoConfig::ChangeTat},   {"Lang2ToV23", &TInfoConfig::Lang2ToV23},
    {"ParTempEnable", &TInfoConfig::ParTempEnable}, {"EndStEnable", &TInfoConfig::EndStEnable},
    {"ZoneEnable", &TInfoConfig::ZoneEnable}, {"SoundMin", &TInfoConfig::SoundMin},
    {"SoundDownT", &TInfoConfig::SoundDownT}, {"SoundUpT", &TInfoConfig::SoundUpT},
    {"SoundEndSt", &TInfoConfig::SoundEndSt}, {"SoundZone1", &TInfoConfig::SoundZone1},
    {"SoundZone2", &TInfoConfig::SoundZone2}, {"GrMin", &TInfoConfig::GrMin},
    {"GrMax", &TInfoConfig::GrMax},           {"GrDif", &TInfoConfig::GrDif},
    {"PeriodMsg", &TInfoConfig::PeriodMsg},   {"EndStL1", &TInfoConfig::EndStL1},
    {"EndStL2", &TInfoConfig::EndStL2},       {"EndStL3", &TInfoConfig::EndStL3},
    {"BusL1", &TInfoConfig::BusL1},           {"BusL2", &TInfoConfig::BusL2},
    {"BusL3", &TInfoConfig::BusL3},           {"MonL1", &TInfoConfig::MonL1},
    {"MonL2", &TInfoConfig::MonL2},           {"MonL3", &TInfoConfig::MonL3},
    {"DayL1", &TInfoConfig::DayL1},           {"DayL2", &TInfoConfig::DayL2},
    {"DayL3", &TInfoConfig::DayL3},           {"PrefIL1", &TInfoConfig::PrefIL1},
    {"PrefIL2", &TInfoConfig::PrefIL2},       {"PrefIL3", &TInfoConfig::PrefIL3},
    {"PrefEL1", &TInfoConfig::PrefEL1},       {"PrefEL2", &TInfoConfig::PrefEL2},
    {"PrefEL3", &TInfoConfig::PrefEL3},       {"VoiceCity", &TInfoConfig::VoiceCity},
};

const Entry kSecondGroup[] = {
    {"PortNum", &TInfoConfig::PortNum},     {"IndexPortRate", &TInfoConfig::IndexPortRate},
    {"ToolTip", &TInfoConfig::ToolTip},     {"CountType", &TInfoConfig::CountType},
    {"CountWin", &TInfoConfig::CountWin},   {"CurWin", &TInfoConfig::CurWin},
    {"SmallPause", &TInfoConfig::SmallPause}, {"VerDB", &TInfoConfig::VerDB},
    {"NameOrg", &TInfoConfig::NameOrg},     {"NameDB", &TInfoConfig::NameDB},
    {"FontDef", &TInfoConfig::FontDef},     {"FontDefRep", &TInfoConfig::FontDefRep},
    {"FontSize", &TInfoConfig::FontSize},   {"FontSizeRep", &TInfoConfig::FontSizeRep},
    {"IsLang2", &TInfoConfig::IsLang2},     {"GpsShow", &TInfoConfig::GpsShow},
};

// Written at close, in this order, before the folder list and GrpName.
const Entry kSaved[] = {
    {"PortNum", &TInfoConfig::PortNum},     {"IndexPortRate", &TInfoConfig::IndexPortRate},
    {"ToolTip", &TInfoConfig::ToolTip},     {"IsLang2", &TInfoConfig::IsLang2},
    {"GpsShow", &TInfoConfig::GpsShow},     {"CountType", &TInfoConfig::CountType},
    {"CountWin", &TInfoConfig::CountWin},   {"CurWin", &TInfoConfig::CurWin},
    {"SmallPause", &TInfoConfig::SmallPause}, {"VerDB", &TInfoConfig::VerDB},
    {"NameOrg", &TInfoConfig::NameOrg},     {"NameDB", &TInfoConfig::NameDB},
    {"FontDef", &TInfoConfig::FontDef},     {"FontDefRep", &TInfoConfig::FontDefRep},
    {"FontSize", &TInfoConfig::FontSize},   {"FontSizeRep", &TInfoConfig::FontSizeRep},
};

bool IsText(const Entry& e) {
    return std::holds_alternative<std::optional<std::string> TInfoConfig::*>(e.field) ||
           std::holds_alternative<std::string TInfoConfig::*>(e.field);
}

// Ints are kept at the field's width: the low byte or the low 16 bits.
void SetInt(TInfoConfig& c, const Entry& e, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    if (auto p = std::get_if<int8_t TInfoConfig::*>(&e.field)) c.**p = static_cast<int8_t>(static_cast<uint8_t>(u));
    else if (auto p = std::get_if<uint8_t TInfoConfig::*>(&e.field)) c.**p = static_cast<uint8_t>(u);
    else if (auto p = std::get_if<bool TInfoConfig::*>(&e.field)) c.**p = v != 0;
    else if (auto p = std::get_if<int16_t TInfoConfig::*>(&e.field)) c.**p = static_cast<int16_t>(static_cast<uint16_t>(u));
}

int32_t GetInt(const TInfoConfig& c, const Entry& e) {
    if (auto p = std::get_if<int8_t TInfoConfig::*>(&e.field)) return c.**p;
    if (auto p = std::get_if<uint8_t TInfoConfig::*>(&e.field)) return c.**p;
    if (auto p = std::get_if<bool TInfoConfig::*>(&e.field)) return c.**p ? 1 : 0;
    if (auto p = std::get_if<int16_t TInfoConfig::*>(&e.field)) return c.**p;
    return 0;
}

void SetText(TInfoConfig& c, const Entry& e, std::string text) {
    if (auto p = std::get_if<std::optional<std::string> TInfoConfig::*>(&e.field)) c.**p = std::move(text);
    else if (auto p = std::get_if<std::string TInfoConfig::*>(&e.field)) c.**p = std::move(text);
}

std::string GetText(const TInfoConfig& c, const Entry& e) {
    if (auto p = std::get_if<std::optional<std::string> TInfoConfig::*>(&e.field)) return (c.**p).value_or("");
    if (auto p = std::get_if<std::string TInfoConfig::*>(&e.field)) return c.**p;
    return {};
}

void Write(SettingsStore& store, SettingsScope scope, const TInfoConfig& c, const Entry& e) {
    if (IsText(e)) store.WriteText(scope, e.name, GetText(c, e));
    else store.WriteInt(scope, e.name, GetInt(c, e));
}

bool ReadFirstGroup(TInfoConfig& c, SettingsStore& store, SettingsScope scope) {
    for (const Entry& e : kFirstGroup) {
        const std::string_view name = e.name;
        if (name == "IsLang2") c.IsLang2 = 0;
        if (name == "IsLang3") c.IsLang3 = 0;
        if (name == "GpsShow") c.GpsShow = 0;
        if (!store.ValueExists(scope, name)) {
            Write(store, scope, c, e);
            if (!store.Commit(scope)) return false;
            continue;
        }
        if (IsText(e)) {
            std::string text;
            if (store.ReadText(scope, name, text) != SettingsStatus::Ok) return false;
            SetText(c, e, std::move(text));
        } else {
            int32_t v = 0;
            if (store.ReadInt(scope, name, v) != SettingsStatus::Ok) return false;
            SetInt(c, e, v);
        }
    }
    return true;
}

void ReadDirList(TInfoConfig& c, SettingsStore& store, SettingsScope scope) {
    for (size_t i = 0; i < c.DirList.size(); ++i) {
        std::string text;
        const SettingsStatus s = store.ReadText(scope, "DirList" + std::to_string(i), text);
        if (s != SettingsStatus::Ok && s != SettingsStatus::Missing) return;
        c.DirList[i].reset();
        if (!text.empty() && text != " ") c.DirList[i] = std::move(text);
    }
}

// True when all of the block was read.
bool ReadSecondGroup(TInfoConfig& c, SettingsStore& store, SettingsScope scope) {
    for (const Entry& e : kSecondGroup) {
        if (IsText(e)) {
            std::string text;
            const SettingsStatus s = store.ReadText(scope, e.name, text);
            if (s != SettingsStatus::Ok && s != SettingsStatus::Missing) return false;
            SetText(c, e, std::move(text));
        } else {
            int32_t v = 0;
            if (store.ReadInt(scope, e.name, v) != SettingsStatus::Ok) return false;
            SetInt(c, e, v);
        }
    }
    return true;
}

// The first-group values of `from` that `to` lacks, as stored, so that a key made afresh in
// another scope does not reset them at the next start.
void CopyFirstGroup(SettingsStore& store, SettingsScope from, SettingsScope to) {
    for (const Entry& e : kFirstGroup) {
        if (store.ValueExists(to, e.name) || !store.ValueExists(from, e.name)) continue;
        if (IsText(e)) {
            std::string text;
            if (store.ReadText(from, e.name, text) == SettingsStatus::Ok) store.WriteText(to, e.name, text);
        } else {
            int32_t v = 0;
            if (store.ReadInt(from, e.name, v) == SettingsStatus::Ok) store.WriteInt(to, e.name, v);
        }
    }
}

bool WriteInto(const TInfoConfig& c, SettingsStore& store, SettingsScope scope) {
    if (!store.KeyExists(scope) && !store.CreateKey(scope)) return false;
    if (c.ReadScope && *c.ReadScope != scope) CopyFirstGroup(store, *c.ReadScope, scope);
    for (const Entry& e : kSaved) Write(store, scope, c, e);
    for (size_t i = 0; i < c.DirList.size(); ++i)
        store.WriteText(scope, "DirList" + std::to_string(i), c.DirList[i].value_or(" "));
    store.WriteText(scope, "GrpName", c.GrpName.value_or(""));
    return store.Commit(scope);
}

}  // namespace

bool LoadSettings(TInfoConfig& c, SettingsStore& store) {
    c.PortNum = -1;
    c.IndexPortRate = -1;
    c.VerDB = -1;
    bool useDefaults = true;

    SettingsScope scope = SettingsScope::User;
    if (!store.KeyExists(scope)) {
        scope = SettingsScope::System;
        if (!store.KeyExists(scope)) {
            c.ReadScope.reset();
            return false;
        }
    }
    c.ReadScope = scope;

    const bool firstGroupRead = ReadFirstGroup(c, store, scope);
    ReadDirList(c, store, scope);
    if (store.ValueExists(scope, "GrpName")) {
        std::string text;
        if (store.ReadText(scope, "GrpName", text) == SettingsStatus::Ok && !text.empty()) c.GrpName = std::move(text);
    }
    if (firstGroupRead && ReadSecondGroup(c, store, scope)) useDefaults = false;

    if (useDefaults) {
        if (c.PortNum < 0) c.PortNum = 2;
        if (c.IndexPortRate < 0) c.IndexPortRate = 5;
        if (c.VerDB < 0) c.VerDB = 0;
    }
    return firstGroupRead;
}

bool SaveSettings(const TInfoConfig& c, SettingsStore& store) {
    if (c.ReadScope == SettingsScope::User) return WriteInto(c, store, SettingsScope::User);
    // A user's own key shadows the system one, so once values went there they stay there.
    return WriteInto(c, store, SettingsScope::System) || WriteInto(c, store, SettingsScope::User);
}

bool LoadSettings() {
    QtSettingsStore store;
    return LoadSettings(InfoConfig, store);
}

bool SaveSettings() {
    QtSettingsStore store;
    return SaveSettings(InfoConfig, store);
}
