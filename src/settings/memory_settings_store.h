#pragma once
// A settings store held in memory, for tests and for trying the settings logic out: each scope can
// be given a key, values of either type, and the right to write.
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "settings/settings_store.h"

class MemorySettingsStore : public SettingsStore {
public:
    using Value = std::variant<int32_t, std::string>;

    // Set-up and inspection. Setting a value also makes the key.
    void SetInt(SettingsScope scope, const std::string& name, int32_t value);
    void SetText(SettingsScope scope, const std::string& name, const std::string& value);
    void SetKey(SettingsScope scope, bool exists);
    void SetWritable(SettingsScope scope, bool writable);
    std::optional<Value> Get(SettingsScope scope, const std::string& name) const;
    // The names committed into a scope, in the order they were written.
    const std::vector<std::string>& WriteLog(SettingsScope scope) const;

    bool KeyExists(SettingsScope scope) override;
    bool CreateKey(SettingsScope scope) override;
    bool ValueExists(SettingsScope scope, std::string_view name) override;
    SettingsStatus ReadInt(SettingsScope scope, std::string_view name, int32_t& out) override;
    SettingsStatus ReadText(SettingsScope scope, std::string_view name, std::string& out) override;
    void WriteInt(SettingsScope scope, std::string_view name, int32_t value) override;
    void WriteText(SettingsScope scope, std::string_view name, std::string_view value) override;
    bool Commit(SettingsScope scope) override;

private:
    struct Key {
        bool exists = false;
        bool writable = true;
        std::map<std::string, Value, std::less<>> values;
        std::vector<std::pair<std::string, Value>> pending;
        std::vector<std::string> log;
    };
    Key& key(SettingsScope scope) { return scopes_[scope == SettingsScope::User ? 0 : 1]; }
    const Key& key(SettingsScope scope) const { return scopes_[scope == SettingsScope::User ? 0 : 1]; }
    const Value* find(SettingsScope scope, std::string_view name);

    Key scopes_[2];
};
