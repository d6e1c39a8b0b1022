// The main window's character table: loaded with each ROM, chosen or cleared with Options >
// Character Table..., remembered per ROM, named in the status bar.

#include <sys/stat.h>

#include "document/document_text.h"
#include "editor/editor_window.h"

namespace lettermoor {

void EditorWindow::LoadTable() {
  const std::string remembered = view_.RememberedTable(Rom().path);
  std::optional<CharacterTable> table;
  const std::string path = remembered.empty() ? Document::DefaultTablePath(Rom().path) : remembered;
  struct stat st {};
  // No file beside the ROM is no table; a remembered one that went away is said.
  if (remembered != kNoTableRemembered && (!remembered.empty() || ::stat(path.c_str(), &st) == 0)) {
    TableLoad load;
    table = CharacterTable::Load(path, load);
    if (!table) ShowWarning(DescribeTableLoad(path, load), editor_text::kTableCaption);
  }
  doc_.SetCharacterTable(std::move(table));
  view_.ShowCharacterTable(doc_.Characters());
}

void EditorWindow::ChooseTable() {
  if (!IsRomOpen()) return;
  const std::optional<std::string> path = view_.ChooseCharacterTable(doc_.Characters() ? doc_.Characters()->Path() : "");
  // The edit box's text is read through the table in use: settled before it changes.
  if (!path || !SettleUnappliedEdit()) return;
  std::optional<CharacterTable> table;
  if (!path->empty()) {
    TableLoad load;
    table = CharacterTable::Load(*path, load);
    if (!table) {
      // The table in use stays.
      ShowWarning(DescribeTableLoad(*path, load), editor_text::kTableCaption);
      return;
    }
  }
  view_.RememberTable(Rom().path, path->empty() ? kNoTableRemembered : *path);
  doc_.SetCharacterTable(std::move(table));
  view_.ShowCharacterTable(doc_.Characters());
  const int mark = view_.SelectionMark();
  FillEntryList();
  if (mark > 0) SelectRow(mark);
}

}  // namespace lettermoor
