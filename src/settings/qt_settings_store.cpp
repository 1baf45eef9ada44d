#include "settings/qt_settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <cstdlib>

namespace {

const char kOrganisation[] = "Informer Timora";

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

std::optional<int32_t> ParseStoredInt(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000ull) return std::nullopt;
        return static_cast<int32_t>(-static_cast<int64_t>(value));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

std::string QtSettingsStore::DefaultFile(SettingsScope scope) {
    const char* home = std::getenv("KORVIS_CONFIG_HOME");  // NOLINT(concurrency-mt-unsafe): nothing sets the environment while the program runs
    if (home && *home) {
        const QString dir = QString::fromLocal8Bit(home) + (scope == SettingsScope::User ? "/user/" : "/system/");
        return (dir + kOrganisation + ".ini").toStdString();
    }
    QSettings probe(QSettings::IniFormat, scope == SettingsScope::User ? QSettings::UserScope : QSettings::SystemScope,
                    kOrganisation);
    return probe.fileName().toStdString();
}

QtSettingsStore::QtSettingsStore() : QtSettingsStore(DefaultFile(SettingsScope::User), DefaultFile(SettingsScope::System)) {}

QtSettingsStore::QtSettingsStore(std::string userFile, std::string systemFile)
    : files_{std::move(userFile), std::move(systemFile)} {}

QtSettingsStore::~QtSettingsStore() = default;

QSettings& QtSettingsStore::Settings(SettingsScope scope) {
    std::unique_ptr<QSettings>& s = settings_[Index(scope)];
    if (!s) s = std::make_unique<QSettings>(Q(files_[Index(scope)]), QSettings::IniFormat);
    return *s;
}

bool QtSettingsStore::KeyExists(SettingsScope scope) { return QFileInfo(Q(File(scope))).isFile(); }

bool QtSettingsStore::CreateKey(SettingsScope scope) {
    if (KeyExists(scope)) return true;
    const QFileInfo info(Q(File(scope)));
    if (!QDir().mkpath(info.absolutePath())) return false;
    QFile file(info.absoluteFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return KeyExists(scope);
    file.close();
    settings_[Index(scope)].reset();  // read the new file afresh
    return true;
}

bool QtSettingsStore::ValueExists(SettingsScope scope, std::string_view name) {
    for (const auto& [n, v] : pending_[Index(scope)])
        if (n == name) return true;
    return KeyExists(scope) && Settings(scope).contains(Q(name));
}

SettingsStatus QtSettingsStore::ReadText(SettingsScope scope, std::string_view name, std::string& out) {
    const auto& pending = pending_[Index(scope)];
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        if (it->first == name) {
            out = it->second;
            return SettingsStatus::Ok;
        }
    }
    if (!KeyExists(scope)) return SettingsStatus::Failed;
    QSettings& s = Settings(scope);
    if (s.status() == QSettings::AccessError) return SettingsStatus::Failed;
    if (!s.contains(Q(name))) return SettingsStatus::Missing;
    const QVariant v = s.value(Q(name));
    // An unquoted text with commas in a hand-edited file comes back as a list.
    if (v.typeId() == QMetaType::QStringList) {
        out = v.toStringList().join(", ").toStdString();
        return SettingsStatus::Ok;
    }
    if (!v.canConvert<QString>()) return SettingsStatus::WrongType;
    out = v.toString().toStdString();
    return SettingsStatus::Ok;
}

SettingsStatus QtSettingsStore::ReadInt(SettingsScope scope, std::string_view name, int32_t& out) {
    std::string text;
    const SettingsStatus s = ReadText(scope, name, text);
    if (s != SettingsStatus::Ok) return s;
    const std::optional<int32_t> v = ParseStoredInt(text);
    if (!v) return SettingsStatus::WrongType;
    out = *v;
    return SettingsStatus::Ok;
}

void QtSettingsStore::WriteInt(SettingsScope scope, std::string_view name, int32_t value) {
    pending_[Index(scope)].emplace_back(std::string(name), std::to_string(value));
}

void QtSettingsStore::WriteText(SettingsScope scope, std::string_view name, std::string_view value) {
    pending_[Index(scope)].emplace_back(std::string(name), std::string(value));
}

bool QtSettingsStore::Commit(SettingsScope scope) {
    auto pending = std::move(pending_[Index(scope)]);
    pending_[Index(scope)].clear();
    if (pending.empty()) return true;
    if (!KeyExists(scope)) return false;
    QSettings& s = Settings(scope);
    // A file that could not be read is never replaced. One with lines QSettings cannot parse is:
    // those lines mean nothing to anybody, and everything else in it is kept.
    if (s.status() == QSettings::AccessError) return false;
    // Once QSettings has met a line it cannot parse it reports nothing more, not even a failed
    // write: then the file is read back to see whether the values are in it.
    const bool statusTells = s.status() == QSettings::NoError;
    for (const auto& [name, value] : pending) s.setValue(Q(name), Q(value));
    // QSettings replaces the whole file at once, so a failed write leaves the old one.
    s.sync();
    if (statusTells) {
        if (s.status() == QSettings::NoError) return true;
    } else {
        QSettings check(Q(File(scope)), QSettings::IniFormat);
        bool all = true;
        for (const auto& [name, value] : pending) all = all && check.value(Q(name)).toString() == Q(value);
        if (all) return true;
    }
    settings_[Index(scope)].reset();
    return false;
}
