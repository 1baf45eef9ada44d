#include "settings/memory_settings_store.h"

void MemorySettingsStore::SetInt(SettingsScope scope, const std::string& name, int32_t value) {
    key(scope).exists = true;
    key(scope).values[name] = value;
}

void MemorySettingsStore::SetText(SettingsScope scope, const std::string& name, const std::string& value) {
    key(scope).exists = true;
    key(scope).values[name] = value;
}

void MemorySettingsStore::SetKey(SettingsScope scope, bool exists) {
    key(scope).exists = exists;
    if (!exists) key(scope).values.clear();
}

void MemorySettingsStore::SetWritable(SettingsScope scope, bool writable) { key(scope).writable = writable; }

std::optional<MemorySettingsStore::Value> MemorySettingsStore::Get(SettingsScope scope,
                                                                   const std::string& name) const {
    const Key& k = key(scope);
    auto it = k.values.find(name);
    if (it == k.values.end()) return std::nullopt;
    return it->second;
}

const std::vector<std::string>& MemorySettingsStore::WriteLog(SettingsScope scope) const { return key(scope).log; }

bool MemorySettingsStore::KeyExists(SettingsScope scope) { return key(scope).exists; }

bool MemorySettingsStore::CreateKey(SettingsScope scope) {
    Key& k = key(scope);
    if (k.exists) return true;
    if (!k.writable) return false;
    k.exists = true;
    return true;
}

const MemorySettingsStore::Value* MemorySettingsStore::find(SettingsScope scope, std::string_view name) {
    Key& k = key(scope);
    if (!k.exists) return nullptr;
    for (auto it = k.pending.rbegin(); it != k.pending.rend(); ++it)
        if (it->first == name) return &it->second;
    auto it = k.values.find(name);
    return it == k.values.end() ? nullptr : &it->second;
}

bool MemorySettingsStore::ValueExists(SettingsScope scope, std::string_view name) { return find(scope, name); }

SettingsStatus MemorySettingsStore::ReadInt(SettingsScope scope, std::string_view name, int32_t& out) {
    if (!key(scope).exists) return SettingsStatus::Failed;
    const Value* v = find(scope, name);
    if (!v) return SettingsStatus::Missing;
    if (!std::holds_alternative<int32_t>(*v)) return SettingsStatus::WrongType;
    out = std::get<int32_t>(*v);
    return SettingsStatus::Ok;
}

SettingsStatus MemorySettingsStore::ReadText(SettingsScope scope, std::string_view name, std::string& out) {
    if (!key(scope).exists) return SettingsStatus::Failed;
    const Value* v = find(scope, name);
    if (!v) return SettingsStatus::Missing;
    if (!std::holds_alternative<std::string>(*v)) return SettingsStatus::WrongType;
    out = std::get<std::string>(*v);
    return SettingsStatus::Ok;
}

void MemorySettingsStore::WriteInt(SettingsScope scope, std::string_view name, int32_t value) {
    key(scope).pending.emplace_back(std::string(name), value);
}

void MemorySettingsStore::WriteText(SettingsScope scope, std::string_view name, std::string_view value) {
    key(scope).pending.emplace_back(std::string(name), std::string(value));
}

bool MemorySettingsStore::Commit(SettingsScope scope) {
    Key& k = key(scope);
    auto pending = std::move(k.pending);
    k.pending.clear();
    if (!k.exists || !k.writable) return pending.empty();
    for (auto& [name, value] : pending) {
        k.log.push_back(name);
        k.values[name] = std::move(value);
    }
    return true;
}
