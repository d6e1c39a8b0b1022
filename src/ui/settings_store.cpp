#include "ui/settings_store.h"

#include <QFileInfo>
#include <QSettings>

namespace lettermoor::ui {

namespace {
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kRecentKey = QStringLiteral("recent/roms");
QString OptionKey(const QString& name) { return QStringLiteral("options/") + name; }
QString TextKey(const QString& name) { return QStringLiteral("text/") + name; }
// A path as a key: QSettings treats '/' and '\\' as group separators, so hex-encode it.
QString RomKey(const QString& group, const QString& rom) {
  return group + QString::fromLatin1(QFileInfo(rom).absoluteFilePath().toUtf8().toHex());
}
QString OriginalKey(const QString& rom) { return RomKey(QStringLiteral("originals/"), rom); }
QString TableKey(const QString& rom) { return RomKey(QStringLiteral("tables/"), rom); }
}  // namespace

SettingsStore::SettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("lettermoor"), QStringLiteral("lettermoor"))) {}

SettingsStore::SettingsStore(const QString& file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

SettingsStore::~SettingsStore() = default;

QByteArray SettingsStore::WindowGeometry() const { return settings_->value(kGeometryKey).toByteArray(); }

void SettingsStore::SetWindowGeometry(const QByteArray& geometry) { settings_->setValue(kGeometryKey, geometry); }

bool SettingsStore::Option(const QString& name, bool fallback) const {
  const QVariant value = settings_->value(OptionKey(name));
  // A hand-edited file may hold anything: only a clear yes or no counts.
  if (value.isValid() && value.canConvert<bool>()) {
    const QString text = value.toString().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
  }
  return fallback;
}

void SettingsStore::SetOption(const QString& name, bool on) { settings_->setValue(OptionKey(name), on); }

QString SettingsStore::Text(const QString& name, const QString& fallback) const {
  const QVariant value = settings_->value(TextKey(name));
  return value.isValid() ? value.toString() : fallback;
}

void SettingsStore::SetText(const QString& name, const QString& value) { settings_->setValue(TextKey(name), value); }

QString SettingsStore::OriginalRom(const QString& rom) const {
  return settings_->value(OriginalKey(rom)).toString();
}

void SettingsStore::SetOriginalRom(const QString& rom, const QString& original) {
  if (original.isEmpty()) {
    settings_->remove(OriginalKey(rom));
  } else {
    settings_->setValue(OriginalKey(rom), QFileInfo(original).absoluteFilePath());
  }
}

QString SettingsStore::CharacterTable(const QString& rom) const { return settings_->value(TableKey(rom)).toString(); }

void SettingsStore::SetCharacterTable(const QString& rom, const QString& table) {
  if (table.isEmpty()) {
    settings_->remove(TableKey(rom));
  } else {
    settings_->setValue(TableKey(rom), table == QStringLiteral("-") ? table : QFileInfo(table).absoluteFilePath());
  }
}

QStringList SettingsStore::RecentRoms() const {
  QStringList kept;
  for (const QString& path : settings_->value(kRecentKey).toStringList()) {
    if (!path.isEmpty() && !kept.contains(path) && kept.size() < kRecentLimit) kept.append(path);
  }
  return kept;
}

void SettingsStore::AddRecentRom(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList paths = RecentRoms();
  paths.removeAll(absolute);
  paths.prepend(absolute);
  SetRecentRoms(paths);
}

void SettingsStore::RemoveRecentRom(const QString& path) {
  QStringList paths = RecentRoms();
  paths.removeAll(QFileInfo(path).absoluteFilePath());
  SetRecentRoms(paths);
}

void SettingsStore::SetRecentRoms(const QStringList& paths) {
  settings_->setValue(kRecentKey, paths.mid(0, kRecentLimit));
}

void SettingsStore::Sync() { settings_->sync(); }

}  // namespace lettermoor::ui
