#pragma once
// The settings key as INI files through QSettings (organisation "Informer Timora"): the user scope
// stands for HKEY_CURRENT_USER, the system scope for HKEY_LOCAL_MACHINE, and a file for the key.
// KORVIS_CONFIG_HOME=<dir> moves both into <dir>/user and <dir>/system, for tests and for trying
// the program out.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_store.h"

class QSettings;

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();  // the program's own files
    QtSettingsStore(std::string userFile, std::string systemFile);
    ~QtSettingsStore() override;

    // The file that holds the key of a scope.
    static std::string DefaultFile(SettingsScope scope);
    const std::string& File(SettingsScope scope) const { return files_[Index(scope)]; }

    bool KeyExists(SettingsScope scope) override;
    bool CreateKey(SettingsScope scope) override;
    bool ValueExists(SettingsScope scope, std::string_view name) override;
    SettingsStatus ReadInt(SettingsScope scope, std::string_view name, int32_t& out) override;
    SettingsStatus ReadText(SettingsScope scope, std::string_view name, std::string& out) override;
    void WriteInt(SettingsScope scope, std::string_view name, int32_t value) override;
    void WriteText(SettingsScope scope, std::string_view name, std::string_view value) override;
    bool Commit(SettingsScope scope) override;

private:
    static int Index(SettingsScope scope) { return scope == SettingsScope::User ? 0 : 1; }
    QSettings& Settings(SettingsScope scope);

    std::string files_[2];
    std::unique_ptr<QSettings> settings_[2];
    // Writes not yet committed, newest last; ints and texts alike as the text that is stored.
    std::vector<std::pair<std::string, std::string>> pending_[2];
};

// A stored text as a 32-bit integer: decimal with an optional sign, from -2^31 up to 2^32 - 1 (a
// double word above 2^31 - 1 reads as the negative number of the same bits). Nothing otherwise.
std::optional<int32_t> ParseStoredInt(std::string_view text);
