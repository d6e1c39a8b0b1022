#include "ui/emulator_command.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace lettermoor::ui {

namespace {

// A word of a command line as QProcess::splitCommand reads it back.
QString Quoted(const QString& word) {
  return word.contains(QLatin1Char(' ')) ? QLatin1Char('"') + word + QLatin1Char('"') : word;
}

}  // namespace

QList<EmulatorPreset> FindEmulatorPresets(const std::function<QString(const QString&)>& findProgram,
                                          const QStringList& coreFolders) {
  QList<EmulatorPreset> presets;
  const QString rom = QString::fromLatin1(kRomPlaceholder);
  if (!findProgram(QStringLiteral("mednafen")).isEmpty()) {
    presets.push_back({QStringLiteral("Mednafen"), QStringLiteral("mednafen ") + rom});
  }
  if (!findProgram(QStringLiteral("retroarch")).isEmpty()) {
    // Balanced first: accurate enough for reading text, and quick on an older machine.
    for (const char* kind : {"balanced", "accuracy", "performance"}) {
      const QString core = QStringLiteral("bsnes_mercury_%1_libretro.so").arg(QLatin1String(kind));
      for (const QString& folder : coreFolders) {
        const QString path = QDir(folder).filePath(core);
        if (!QFileInfo(path).isFile()) continue;
        presets.push_back({QStringLiteral("RetroArch, bsnes-mercury %1").arg(QLatin1String(kind)),
                           QStringLiteral("retroarch -L ") + Quoted(path) + QLatin1Char(' ') + rom});
        break;
      }
    }
  }
  return presets;
}

QList<EmulatorPreset> FindEmulatorPresets() {
  QStringList folders;
  // Debian's multiarch folders, whatever the machine, then the plain and the local ones.
  for (const QFileInfo& arch : QDir(QStringLiteral("/usr/lib")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (arch.fileName().endsWith(QLatin1String("-linux-gnu"))) folders << arch.filePath() + QStringLiteral("/libretro");
  }
  folders << QStringLiteral("/usr/lib/libretro") << QStringLiteral("/usr/local/lib/libretro");
  return FindEmulatorPresets([](const QString& name) { return QStandardPaths::findExecutable(name); }, folders);
}

QStringList EmulatorArguments(const QString& command, const QString& romPath) {
  QStringList words = QProcess::splitCommand(command);
  if (words.isEmpty()) return words;
  const QString placeholder = QString::fromLatin1(kRomPlaceholder);
  bool placed = false;
  // The program itself is never the ROM: only its arguments are looked at.
  for (qsizetype i = 1; i < words.size(); ++i) {
    if (!words[i].contains(placeholder)) continue;
    words[i].replace(placeholder, romPath);
    placed = true;
  }
  if (!placed) words.push_back(romPath);
  return words;
}

}  // namespace lettermoor::ui
