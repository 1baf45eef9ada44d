#pragma once
// Reading the settings record at start and writing it at close.
#include "settings/info_config.h"
#include "settings/settings_store.h"

// Fills `config` from the user scope's key, or from the system scope's when the user has none.
// Values of the first group that are missing are created with their defaults. True when the first
// group was read without a failure; with no key anywhere nothing is read and the result is false.
bool LoadSettings(TInfoConfig& config, SettingsStore& store);

// Writes the values the program keeps into the scope the record was read from. A record read from
// nowhere goes into a new system-scope key. When the system scope cannot be written the user scope
// takes the values (together with the stored ones it lacks, so that nothing read at start is lost
// at the next start). False only when the values could be written nowhere.
bool SaveSettings(const TInfoConfig& config, SettingsStore& store);

// The same for InfoConfig over the program's own store (QSettings; see qt_settings_store.h).
bool LoadSettings();
bool SaveSettings();
