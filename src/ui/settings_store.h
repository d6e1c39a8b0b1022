#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace lettermoor::ui {

// What the desktop program remembers between runs: the window's size and place, the options
// the user set, and the ROMs opened last. Kept with QSettings in the user's configuration
// folder (~/.config/lettermoor/lettermoor.ini), or in a file of its own for tests.
class SettingsStore {
 public:
  static constexpr int kRecentLimit = 8;

  SettingsStore();                              // the user's settings
  explicit SettingsStore(const QString& file);  // a settings file of its own
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // QWidget::saveGeometry()'s bytes, or none yet.
  QByteArray WindowGeometry() const;
  void SetWindowGeometry(const QByteArray& geometry);

  // An on/off option by name; `fallback` until the user has set it.
  bool Option(const QString& name, bool fallback) const;
  void SetOption(const QString& name, bool on);

  // The ROMs opened last, the latest first, at most kRecentLimit, no path twice.
  QStringList RecentRoms() const;
  // Puts `path` (made absolute) first, dropping an older mention and the oldest beyond the limit.
  void AddRecentRom(const QString& path);
  void RemoveRecentRom(const QString& path);

  // A text setting by name (the emulator's command line, say); `fallback` until set.
  QString Text(const QString& name, const QString& fallback = {}) const;
  void SetText(const QString& name, const QString& value);

  // The unmodified ROM the user named for `rom` (both made absolute), or empty. Patches are made
  // against it and translations compare with it; the backup is not an original.
  QString OriginalRom(const QString& rom) const;
  void SetOriginalRom(const QString& rom, const QString& original);  // empty forgets it
  // The character table remembered for a ROM (a path, or "-" for none), as OriginalRom.
  QString CharacterTable(const QString& rom) const;
  void SetCharacterTable(const QString& rom, const QString& table);  // empty forgets it

  // Writes what changed to disk now (it is written on destruction anyway).
  void Sync();

 private:
  void SetRecentRoms(const QStringList& paths);
  std::unique_ptr<QSettings> settings_;
};

}  // namespace lettermoor::ui
