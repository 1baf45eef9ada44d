#pragma once
// A typed key/value store with two scopes, each holding at most one key of named values: the shape
// of a registry key under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/info_config.h"

enum class SettingsStatus {
    Ok,
    Missing,    // no such value
    WrongType,  // the value is not of the type asked for (an int that is no 32-bit integer)
    Failed,     // the key could not be read
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual bool KeyExists(SettingsScope scope) = 0;
    // Makes an empty key when there is none; false when it cannot be made.
    virtual bool CreateKey(SettingsScope scope) = 0;

    virtual bool ValueExists(SettingsScope scope, std::string_view name) = 0;
    virtual SettingsStatus ReadInt(SettingsScope scope, std::string_view name, int32_t& out) = 0;
    virtual SettingsStatus ReadText(SettingsScope scope, std::string_view name, std::string& out) = 0;

    // Writes are seen by later reads at once but last only once committed.
    virtual void WriteInt(SettingsScope scope, std::string_view name, int32_t value) = 0;
    virtual void WriteText(SettingsScope scope, std::string_view name, std::string_view value) = 0;
    // Makes the writes since the last commit lasting, all of them or none; false when they could
    // not be kept (they are dropped then).
    virtual bool Commit(SettingsScope scope) = 0;
};
