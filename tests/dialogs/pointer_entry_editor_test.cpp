#include "dialogs/pointer_entry_editor.h"

#include <gtest/gtest.h>

#include <functional>

#include "dialogs/opened_rom.h"
#include "entries/text_entry_table.h"

namespace lettermoor {
namespace {

using test::OpenedRom;
using test::SyntheticRom;

// Plays the dialog as a user would: the fields are loaded from the form, then each attempt edits
// them and presses Apply; a refused Apply shows its message and the next attempt follows. When no
// attempt passes, the user cancels.
class ScriptedDialog {
 public:
  using Attempt = std::function<void(PointerEntryFields&)>;

  explicit ScriptedDialog(std::vector<Attempt> attempts) : attempts_(std::move(attempts)) {}

  bool operator()(PointerEntryForm& form) {
    shown = LoadPointerEntryFields(form);
    PointerEntryFields fields = shown;
    for (const Attempt& attempt : attempts_) {
      attempt(fields);
      std::optional<FieldError> error = ExchangePointerEntryFields(fields, form);
      if (!error) return true;
      refusals.push_back(*error);
    }
    return false;
  }

  PointerEntryFields shown;
  std::vector<FieldError> refusals;

 private:
  std::vector<Attempt> attempts_;
};

void Unchanged(PointerEntryFields&) {}

// Bytes of the file that differ between two images.
std::vector<size_t> ChangedOffsets(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  std::vector<size_t> out;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    if (a[i] != b[i]) out.push_back(i);
  }
  return out;
}

TEST(PointerEntryFields, ExchangeChecksTheFieldsInOrderAndStopsAtTheFirstFailure) {
  PointerEntryForm form{"C5FE00", 5, 3, true};
  auto exchange = [&](PointerEntryFields fields) {
    return ExchangePointerEntryFields(fields, form);
  };

  auto error = exchange({"C5FE001", "", "999"});  // all three wrong: the address is told first
  ASSERT_TRUE(error);
  EXPECT_EQ(error->fieldId, kAddressFieldId);
  EXPECT_EQ(error->message, "Please enter no more than 6 characters.");

  error = exchange({"C5FE00", "464", "999"});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->fieldId, kSpriteFieldId);
  EXPECT_EQ(error->message, "Please enter an integer between 0 and 463.");

  error = exchange({"C5FE00", "463", "256"});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->fieldId, kMovementFieldId);
  EXPECT_EQ(error->message, "Please enter an integer between 0 and 255.");

  for (const char* bad : {"", "12a", "-", "1 2"}) {
    error = exchange({"C5FE00", bad, "0"});
    ASSERT_TRUE(error) << bad;
    EXPECT_EQ(error->message, "Please enter an integer.") << '"' << bad << '"';
  }
  // Far too many digits must not wrap around into the range.
  error = exchange({"C5FE00", "4294967296", "0"});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->message, "Please enter an integer between 0 and 463.");

  // Every refusal above left the form as it was.
  EXPECT_EQ(form.addressText, "C5FE00");
  EXPECT_EQ(form.spriteNumber, 5);
  EXPECT_EQ(form.movementNumber, 3);

  EXPECT_FALSE(exchange({"abc", " 463 ", "0"}));
  EXPECT_EQ(form.addressText, "abc");
  EXPECT_EQ(form.spriteNumber, 463);
  EXPECT_EQ(form.movementNumber, 0);
}

TEST(PointerEntryFields, PlainPointerNumbersAreNeitherCheckedNorTaken) {
  PointerEntryForm form = MakePointerEntryForm(TextEntry{0x157D70, 0xC5FE00, -1, -1});
  EXPECT_FALSE(form.numbersEditable);
  PointerEntryFields fields = LoadPointerEntryFields(form);
  EXPECT_EQ(fields.spriteText, "-1");
  EXPECT_EQ(fields.movementText, "-1");
  fields.addressText = "C5FE10";
  fields.spriteText = "12";
  EXPECT_FALSE(ExchangePointerEntryFields(fields, form));
  EXPECT_EQ(form.addressText, "C5FE10");
  EXPECT_EQ(form.spriteNumber, -1);
  EXPECT_EQ(form.movementNumber, -1);
}

TEST(PointerEntryFields, AddressTextParsesAsUnsignedHexadecimal) {
  EXPECT_EQ(ParseHexAddress("C51B12"), static_cast<SnesAddress>(0xC51B12));
  EXPECT_EQ(ParseHexAddress("c51b12"), ParseHexAddress("C51B12"));
  EXPECT_EQ(ParseHexAddress("  0xC5"), 0xC5);
  EXPECT_EQ(ParseHexAddress("0X1f"), 0x1F);
  EXPECT_EQ(ParseHexAddress("+10"), 0x10);
  EXPECT_EQ(ParseHexAddress("12G4"), 0x12);  // digits up to the first other character
  EXPECT_EQ(ParseHexAddress("-1"), static_cast<SnesAddress>(0xFFFFFFFFu));
  EXPECT_EQ(ParseHexAddress("-10"), static_cast<SnesAddress>(0xFFFFFFF0u));
  EXPECT_EQ(ParseHexAddress("123456789"), static_cast<SnesAddress>(0xFFFFFFFFu));
  for (const char* none : {"", "   ", "zz", "0x", "-", "$C5FE00", "x12"}) {
    EXPECT_EQ(ParseHexAddress(none), 0) << '"' << none << '"';
  }
}

using PointerEntryEditor = OpenedRom;

TEST_F(PointerEntryEditor, UnchangedApplyRewritesTheRecordsSevenBytesAndNothingElse) {
  const int64_t record = SyntheticRom::RecordOffset(0);
  // Another program scribbles over the whole record after the table was built.
  std::vector<uint8_t> scribbled = Disk();
  for (int i = 0; i < 17; ++i) scribbled[static_cast<size_t>(record + i)] = 0xEE;
  file_->WriteAll(scribbled);

  ScriptedDialog dialog({Unchanged});
  view_.onPointerEntryEditor = std::ref(dialog);
  view_.ClickRow(window_, 0);
  const size_t rowsReplaced = view_.replacedRows.size();
  const int editTextsSet = view_.setEditTextCalls;
  window_.EditTextPointerEntry(view_.selectionMark);

  ASSERT_EQ(view_.pointerEditorForms.size(), 1u);
  EXPECT_EQ(view_.pointerEditorForms[0].addressText, "C5FE00");
  EXPECT_EQ(view_.pointerEditorForms[0].spriteNumber, 5);
  EXPECT_EQ(view_.pointerEditorForms[0].movementNumber, 3);
  EXPECT_TRUE(view_.pointerEditorForms[0].numbersEditable);
  EXPECT_EQ(dialog.shown.addressText, "C5FE00");

  // Sprite (2 bytes at +5), movement (+8) and pointer (4 bytes at +13) come from the entry again;
  // the other ten bytes keep what the other program wrote.
  std::vector<uint8_t> expected = scribbled;
  const auto put = [&](int at, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) expected[static_cast<size_t>(record + at++)] = b;
  };
  put(5, {0x05, 0x00});
  put(8, {0x03});
  put(13, {0x00, 0xFE, 0xC5, 0x00});
  EXPECT_EQ(ChangedOffsets(Disk(), expected), std::vector<size_t>{});

  // Same address: the row and the entry view stay as they were.
  EXPECT_EQ(view_.replacedRows.size(), rowsReplaced);
  EXPECT_EQ(view_.setEditTextCalls, editTextsSet);
}

TEST_F(PointerEntryEditor, SpriteAboveRangeIsShownAndRefusedUntilCorrected) {
  ScriptedDialog dialog({Unchanged, [](PointerEntryFields& f) { f.spriteText = "463"; }});
  view_.onPointerEntryEditor = std::ref(dialog);
  EditRow(2);

  EXPECT_EQ(dialog.shown.spriteText, "500");
  ASSERT_EQ(dialog.refusals.size(), 1u);
  EXPECT_EQ(dialog.refusals[0].fieldId, kSpriteFieldId);
  EXPECT_EQ(dialog.refusals[0].message, "Please enter an integer between 0 and 463.");

  const std::vector<uint8_t> disk = Disk();
  const int64_t record = SyntheticRom::RecordOffset(2);
  EXPECT_EQ(disk[record + 5], 0xCF);
  EXPECT_EQ(disk[record + 6], 0x01);
  EXPECT_EQ(window_.Table().entries[2].sprite, 463);
}

TEST_F(PointerEntryEditor, RefusedApplyThenCancelWritesNothing) {
  const std::vector<uint8_t> before = Disk();
  const TextEntry entry = window_.Table().entries[1];
  ScriptedDialog dialog({[](PointerEntryFields& f) {
    f.addressText = "C5FE10";
    f.movementText = "300";
  }});
  view_.onPointerEntryEditor = std::ref(dialog);
  EditRow(1);

  ASSERT_EQ(dialog.refusals.size(), 1u);
  EXPECT_EQ(dialog.refusals[0].fieldId, kMovementFieldId);
  EXPECT_EQ(Disk(), before);
  EXPECT_EQ(window_.Table().entries[1], entry);
}

TEST_F(PointerEntryEditor, NewSpriteWithTheSameAddressLeavesTheViewAsItWas) {
  ScriptedDialog dialog({[](PointerEntryFields& f) { f.spriteText = "0"; }});
  view_.onPointerEntryEditor = std::ref(dialog);
  view_.ClickRow(window_, 0);
  ASSERT_TRUE(view_.IsEnabled(CommandId::EditTptEntry));
  const std::vector<std::string> rows = view_.rows;
  const int editTextsSet = view_.setEditTextCalls;
  window_.EditTextPointerEntry(view_.selectionMark);

  EXPECT_EQ(window_.Table().entries[0].sprite, 0);
  EXPECT_EQ(Disk()[SyntheticRom::RecordOffset(0) + 5], 0x00);
  EXPECT_EQ(view_.rows, rows);
  EXPECT_EQ(view_.setEditTextCalls, editTextsSet);
  // Not looked at again until the entry is shown again.
  EXPECT_TRUE(view_.IsEnabled(CommandId::EditTptEntry));
  view_.ClickRow(window_, 0);
  EXPECT_FALSE(view_.IsEnabled(CommandId::EditTptEntry));
}

TEST_F(PointerEntryEditor, NewAddressRenewsOnlyTheSelectedRow) {
  // Row 0 leaves Alpha (shared with rows 1, 5, 8) for Bravo (rows 2, 3, 6), typed in lower case.
  ScriptedDialog dialog({[](PointerEntryFields& f) { f.addressText = "c5fe10"; }});
  view_.onPointerEntryEditor = std::ref(dialog);
  view_.replacedRows.clear();
  EditRow(0);

  EXPECT_EQ(window_.Table().entries[0].textAddress, Snes(kBravo));
  const std::vector<uint8_t> disk = Disk();
  const int64_t record = SyntheticRom::RecordOffset(0);
  EXPECT_EQ(std::vector<uint8_t>(disk.begin() + record + 13, disk.begin() + record + 17),
            (std::vector<uint8_t>{0x10, 0xFE, 0xC5, 0x00}));

  EXPECT_EQ(view_.replacedRows, std::vector<int>{0});
  EXPECT_EQ(view_.rows, (std::vector<std::string>{"Bravo", "Alpha", "Bravo", "Bravo", "Charlie",
                                                  "Alpha", "Bravo", "Charlie", "Alpha"}));
  EXPECT_EQ(view_.selectionMark, 0);
  EXPECT_EQ(view_.editText, "Bravo[02]");
  EXPECT_EQ(view_.Label(LabelId::Line), "Line: 1/9");
  EXPECT_EQ(view_.Label(LabelId::Size), "Size: 6");
  EXPECT_EQ(view_.Label(LabelId::CurrentSize), "Current Size: 6 (uncompressed)");
}

TEST_F(PointerEntryEditor, PlainPointerEntryChangesOnlyItsOwnFourBytes) {
  const std::vector<uint8_t> before = Disk();
  // Even a form that comes back with numbers must not turn into record fields.
  view_.onPointerEntryEditor = [](PointerEntryForm& form) {
    EXPECT_FALSE(form.numbersEditable);
    EXPECT_EQ(form.spriteNumber, -1);
    EXPECT_EQ(form.movementNumber, -1);
    form.addressText = "C5FE20";
    form.spriteNumber = 7;
    form.movementNumber = 9;
    return true;
  };
  EditRow(5);  // plain pointer 1: Alpha -> Charlie

  const int64_t location = SyntheticRom::PlainPointerOffset(1);
  const std::vector<size_t> changed = ChangedOffsets(before, Disk());
  ASSERT_FALSE(changed.empty());
  for (size_t at : changed) {
    EXPECT_GE(static_cast<int64_t>(at), location);
    EXPECT_LT(static_cast<int64_t>(at), location + 4);
  }
  const std::vector<uint8_t> after = Disk();
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + location, after.begin() + location + 4),
            (std::vector<uint8_t>{0x20, 0xFE, 0xC5, 0x00}));
  EXPECT_EQ(window_.Table().entries[5],
            (TextEntry{static_cast<int32_t>(location), Snes(kCharlie), -1, -1}));
  EXPECT_EQ(view_.rows[5], "Charlie");
  EXPECT_EQ(view_.rows[4], "Charlie");
  EXPECT_EQ(view_.rows[6], "Bravo");
}

// The plain functions the editor's command is made of, over the ROM and the table alone.
TEST_F(PointerEntryEditor, FormAndWriteBackWorkWithoutAWindow) {
  TextEntryTable& table = window_.Table();
  RomFile& rom = *window_.Rom().handle;

  struct FormCase {
    int row;
    bool hasForm;
    const char* address;
    bool numbersEditable;
  };
  for (const FormCase& c : {FormCase{0, true, "C5FE00", true}, FormCase{4, true, "C5FE20", false},
                            FormCase{-1, false, "", false}, FormCase{kRows, false, "", false}}) {
    SCOPED_TRACE(c.row);
    const std::optional<PointerEntryForm> form = PointerEntryFormFor(table, c.row);
    ASSERT_EQ(form.has_value(), c.hasForm);
    if (!form) continue;
    EXPECT_EQ(form->addressText, c.address);
    EXPECT_EQ(form->numbersEditable, c.numbersEditable);
  }

  // New numbers at the same address; then a plain pointer moved to another text.
  PointerEntryForm numbers = *PointerEntryFormFor(table, 1);
  numbers.spriteNumber = 9;
  EXPECT_EQ(ApplyPointerEdit(rom, table, 1, numbers), PointerEditResult::Written);
  EXPECT_EQ(table.entries[1].sprite, 9);
  EXPECT_EQ(Disk()[SyntheticRom::RecordOffset(1) + 5], 9);

  PointerEntryForm moved = *PointerEntryFormFor(table, 5);
  moved.addressText = "C5FE10";
  EXPECT_EQ(ApplyPointerEdit(rom, table, 5, moved), PointerEditResult::Moved);
  EXPECT_EQ(table.entries[5].textAddress, Snes(kBravo));

  // A row that is not there is refused and nothing changes.
  const std::vector<uint8_t> before = Disk();
  EXPECT_EQ(ApplyPointerEdit(rom, table, kRows, moved), PointerEditResult::Refused);
  EXPECT_EQ(Disk(), before);
}

TEST_F(PointerEntryEditor, CommandTellsWhatHappened) {
  EXPECT_EQ(window_.EditTextPointerEntry(-1), PointerEditResult::NothingToEdit);
  EXPECT_EQ(window_.EditTextPointerEntry(0), PointerEditResult::Cancelled);  // no answer: cancel
  view_.onPointerEntryEditor = [](PointerEntryForm&) { return true; };
  EXPECT_EQ(window_.EditTextPointerEntry(0), PointerEditResult::Written);
  view_.onPointerEntryEditor = [](PointerEntryForm& form) {
    form.addressText = "C5FE20";
    return true;
  };
  EXPECT_EQ(window_.EditTextPointerEntry(0), PointerEditResult::Moved);
  EXPECT_EQ(view_.rows[0], "Charlie");
  window_.CloseRom();
  EXPECT_EQ(window_.EditTextPointerEntry(0), PointerEditResult::NothingToEdit);
}

TEST_F(PointerEntryEditor, NothingOpensWithoutARowOrAnEditablePointer) {
  const std::vector<uint8_t> before = Disk();
  view_.onPointerEntryEditor = [](PointerEntryForm&) { return true; };

  view_.selectionMark = -1;
  window_.EditTextPointerEntry(view_.selectionMark);
  view_.selectionMark = kRows;
  window_.EditTextPointerEntry(view_.selectionMark);
  EXPECT_TRUE(view_.pointerEditorForms.empty());

  // The raw text listing's entries have no pointer behind them.
  window_.SetListingMode(ListingMode::RawTextListing);
  ASSERT_GT(window_.Table().count(), 0);
  view_.DoubleClickRow(window_, 0);
  window_.EditTextPointerEntry(view_.selectionMark);
  EXPECT_TRUE(view_.pointerEditorForms.empty());

  window_.CloseRom();
  view_.selectionMark = 0;
  window_.EditTextPointerEntry(view_.selectionMark);
  EXPECT_TRUE(view_.pointerEditorForms.empty());
  EXPECT_EQ(Disk(), before);
}

}  // namespace
}  // namespace lettermoor
