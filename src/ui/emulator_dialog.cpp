#include "ui/emulator_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace lettermoor::ui {

EmulatorDialog::EmulatorDialog(QWidget* parent, const QString& command, const QList<EmulatorPreset>& presets)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Emulator"));
  auto* layout = new QVBoxLayout(this);
  auto* about = new QLabel(
      QStringLiteral("The command Tools > Run in Emulator starts. {rom} stands for the ROM's path; without it "
                     "the path goes last. Nothing runs through a shell: use double quotes around a word with "
                     "spaces."),
      this);
  about->setWordWrap(true);
  layout->addWidget(about);

  auto* form = new QFormLayout;
  command_ = new QLineEdit(command, this);
  command_->setMinimumWidth(420);
  if (!presets.isEmpty()) {
    presets_ = new QComboBox(this);
    presets_->addItem(QStringLiteral("(choose one to fill in the command line)"));
    for (const EmulatorPreset& p : presets) presets_->addItem(p.name, p.command);
    connect(presets_, &QComboBox::activated, this, [this](int index) {
      const QString chosen = presets_->itemData(index).toString();
      if (!chosen.isEmpty()) command_->setText(chosen);
    });
    auto* presetsLabel = new QLabel(QStringLiteral("&Found here:"), this);
    presetsLabel->setBuddy(presets_);
    form->addRow(presetsLabel, presets_);
  }
  auto* commandLabel = new QLabel(QStringLiteral("&Command line:"), this);
  commandLabel->setBuddy(command_);
  form->addRow(commandLabel, command_);
  layout->addLayout(form);
  if (presets.isEmpty()) {
    auto* none = new QLabel(QStringLiteral("No emulator was found on the PATH. Install the mednafen package, or "
                                           "retroarch and a libretro-bsnes-mercury core, or type your own "
                                           "emulator's command line."),
                            this);
    none->setWordWrap(true);
    layout->addWidget(none);
  }
  // Escape rejects, as in every dialog.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString EmulatorDialog::Command() const { return command_->text().trimmed(); }

}  // namespace lettermoor::ui
