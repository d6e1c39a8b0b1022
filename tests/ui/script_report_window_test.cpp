#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>
#include <sstream>

#include "main_window_fixture.h"
#include "ui/script_report_window.h"

namespace lettermoor::test {
namespace {

// File > Export Script writes the script where the dialog says; after one text is changed,
// File > Import Script writes it, refills the list with the marked row kept, and shows the
// report in a window whose Copy button puts the whole report on the clipboard.
TEST_F(MainWindowTest, ExportAndImportScriptThroughTheFileMenu) {
  TempDir dir;
  const std::string path = dir.File("script.txt");
  window.SetScriptPathPrompt([&](bool) { return QString::fromStdString(path); });
  EXPECT_FALSE(window.Action(CommandId::ExportScript)->isEnabled());
  OpenStandard();
  ASSERT_TRUE(window.Action(CommandId::ExportScript)->isEnabled());
  ASSERT_TRUE(window.Action(CommandId::ImportScript)->isEnabled());
  Trigger(CommandId::ExportScript);
  const std::vector<SeenMessage> seen = modals.TakeMessages();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].text.startsWith(QStringLiteral("Exported "))) << seen[0].text.toStdString();

  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  std::string script = s.str();
  // The second block's text (line 2's), shortened to its first letter and its codes.
  size_t at = script.find("\n@ $", script.find("\n@ $") + 1);
  at = script.find("\n#< ", at) + 1;
  at = script.find('\n', at) + 1;
  const size_t end = script.find('\n', at);
  const std::string old = script.substr(at, end - at);
  const std::string shorter = old.substr(0, 1) + old.substr(old.rfind('['));
  script.replace(at, end - at, shorter);
  std::ofstream(path, std::ios::binary) << script;

  ClickRow(2);
  Trigger(CommandId::ImportScript);
  ui::ScriptReportWindow* report = window.ScriptReport();
  ASSERT_NE(report, nullptr);
  ASSERT_TRUE(report->isVisible());
  EXPECT_EQ(report->windowTitle(), QStringLiteral("Import Script: script.txt"));
  const QString text = report->Text()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral(": written, "))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("1 changed (1 written"))) << text.toStdString();
  QTest::mouseClick(report->CopyButton(), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), text);
  EXPECT_EQ(Row(1), QString::fromStdString(shorter.substr(0, 1)));
  EXPECT_EQ(List().currentIndex().row(), 2);
  EXPECT_EQ(Label(LabelId::Line), QStringLiteral("Line: 3/%1").arg(RowCount()));
}

}  // namespace
}  // namespace lettermoor::test
