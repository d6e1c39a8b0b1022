#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace lettermoor::ui {

// The settings name of the emulator's command line (Options > Emulator...).
inline constexpr const char* kEmulatorCommandSetting = "emulatorCommand";
// What stands for the ROM's path in that command line.
inline constexpr const char* kRomPlaceholder = "{rom}";

// A command line for an emulator found on this system.
struct EmulatorPreset {
  QString name;     // what the Emulator dialog lists
  QString command;  // with the {rom} placeholder
};

// The emulators that can be started here: mednafen, and retroarch with a bsnes-mercury core
// from one of `coreFolders`. `findProgram` gives a program's path on the PATH, or empty.
QList<EmulatorPreset> FindEmulatorPresets(const std::function<QString(const QString&)>& findProgram,
                                          const QStringList& coreFolders);
// The same on this system: the PATH, and the folders where Debian and others put libretro cores.
QList<EmulatorPreset> FindEmulatorPresets();

// The program and its arguments for `command` run on `romPath`: the command split into words as
// a shell would (quotes kept together, nothing run through a shell), each {rom} replaced by the
// path so that it stays one argument whatever it holds. A command without {rom} gets the path
// as its last argument. Empty for a blank command.
QStringList EmulatorArguments(const QString& command, const QString& romPath);

}  // namespace lettermoor::ui
