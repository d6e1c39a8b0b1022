#pragma once

#include <QDialog>
#include <QList>

#include "ui/emulator_command.h"

class QComboBox;
class QLineEdit;

namespace lettermoor::ui {

// Options > Emulator...: the command line Run in Emulator starts, with {rom} for the ROM's path,
// and the emulators found on this system to fill it from. OK keeps it; Cancel and Escape do not.
class EmulatorDialog : public QDialog {
  Q_OBJECT

 public:
  EmulatorDialog(QWidget* parent, const QString& command, const QList<EmulatorPreset>& presets);

  QString Command() const;
  QLineEdit* CommandEdit() const { return command_; }
  QComboBox* Presets() const { return presets_; }  // null when none was found

 private:
  QLineEdit* command_ = nullptr;
  QComboBox* presets_ = nullptr;
};

}  // namespace lettermoor::ui
