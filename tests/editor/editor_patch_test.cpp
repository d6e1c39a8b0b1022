// File > Create Patch and Apply Patch to a Copy, and Options > Original ROM, through the
// recording view: the original asked for once and remembered, the backup and the ROM refused as
// originals, typed work asked about, and a patched copy offered to be opened.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "editor_fixture.h"
#include "rom/patch.h"

namespace lettermoor::test {
namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

class EditorPatch : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    original_ = StandardRom().Save();
    rom_ = &OpenStandard();
  }
  // Writes a text over row 0 as the user would.
  void ChangeRow0(const std::string& text) {
    view.ClickRow(window, 0);
    view.Type(window, text);
    ASSERT_EQ(view.PressApply(window), ApplyResult::Written);
  }
  std::string Out(const std::string& name) const { return dir_.File(name); }
  // What applying the patch at `patch` to the original gives.
  std::vector<uint8_t> Patched(const std::string& patch) const {
    return ApplyPatch(original_->ReadAll(), ReadBytesOf(patch)).result;
  }

  TempDir dir_;
  std::unique_ptr<TempFile> original_;
  TempFile* rom_ = nullptr;
};

TEST_F(EditorPatch, OriginalIsAskedForOnceThenRemembered) {
  ChangeRow0("Howdy[03 00 02]");
  view.originalChoices = {original_->Path()};
  view.patchPaths = {Out("first.bps")};
  ASSERT_TRUE(window.MakePatch());
  EXPECT_EQ(view.originalDialogs.size(), 1u);
  ASSERT_EQ(view.patchDialogs.size(), 1u);
  EXPECT_EQ(view.patchDialogs[0].first, PatchFileQuestion::PatchToWrite);
  EXPECT_TRUE(view.patchDialogs[0].second.ends_with(".bps")) << view.patchDialogs[0].second;
  EXPECT_EQ(view.rememberedOriginals[rom_->Path()], original_->Path());
  EXPECT_EQ(Patched(Out("first.bps")), rom_->ReadAll());

  // The next patch asks only for its name; an IPS name makes an IPS patch.
  ChangeRow0("Hey[03 00 02]");
  view.patchDialogs.clear();
  view.patchPaths = {Out("second.ips")};
  ASSERT_TRUE(window.MakePatch());
  ASSERT_EQ(view.patchDialogs.size(), 1u);
  EXPECT_EQ(view.originalDialogs.size(), 1u);
  EXPECT_EQ(ReadPatchInfo(ReadBytesOf(Out("second.ips"))).format, PatchFormat::Ips);
  EXPECT_EQ(Patched(Out("second.ips")), rom_->ReadAll());
}

// The backup is the ROM as it was before this session's first write, not the original; neither it
// nor the ROM itself is taken (nor remembered), and nothing is written.
TEST_F(EditorPatch, TheBackupAndTheRomAreRefusedAsOriginals) {
  ChangeRow0("Howdy[03 00 02]");
  ASSERT_TRUE(Exists(window.BackupPath()));
  for (const std::string& wrong : {window.BackupPath(), rom_->Path()}) {
    SCOPED_TRACE(wrong);
    view.TakeMessages();
    view.originalChoices = {wrong};
    view.patchPaths = {Out("refused.bps")};
    EXPECT_FALSE(window.MakePatch());
    const auto messages = view.TakeMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_NE(messages[0].text.find(BareFileName(wrong)), std::string::npos);
    EXPECT_TRUE(view.rememberedOriginals.empty());
    EXPECT_FALSE(Exists(Out("refused.bps")));
  }
  view.originalChoices = {original_->Path()};
  view.patchPaths = {Out("asked.bps")};
  EXPECT_TRUE(window.MakePatch());
  EXPECT_EQ(view.rememberedOriginals[rom_->Path()], original_->Path());
}

// Create Patch reads the file on disk: typed work is asked about first.
TEST_F(EditorPatch, TypedWorkIsAskedAboutFirst) {
  view.originalChoices = {original_->Path()};
  window.OnCommand(CommandId::OriginalRom);
  view.ClickRow(window, 0);
  view.Type(window, "Typed[03 00 02]");
  view.changesAnswers = {ChangesAnswer::Cancel};
  view.patchPaths = {Out("typed.bps")};
  EXPECT_FALSE(window.MakePatch());
  EXPECT_EQ(view.changesQuestions.size(), 1u);
  EXPECT_FALSE(Exists(Out("typed.bps")));

  view.changesAnswers = {ChangesAnswer::Apply};
  ASSERT_TRUE(window.MakePatch());
  EXPECT_EQ(view.changesQuestions.size(), 2u);
  const std::vector<uint8_t> patched = Patched(Out("typed.bps"));
  EXPECT_EQ(patched, rom_->ReadAll());
  EXPECT_NE(patched, original_->ReadAll());
}

TEST_F(EditorPatch, ApplyToACopyOffersToOpenIt) {
  ChangeRow0("Howdy[03 00 02]");
  view.originalChoices = {original_->Path()};
  view.patchPaths = {Out("change.bps")};
  ASSERT_TRUE(window.MakePatch());
  const std::vector<uint8_t> changed = rom_->ReadAll();

  // This ROM is the patch's result already: refused, and no copy made.
  view.TakeMessages();
  view.patchPaths = {Out("change.bps"), Out("refused.smc")};
  EXPECT_FALSE(window.ApplyPatchToCopy());
  EXPECT_FALSE(Exists(Out("refused.smc")));
  ASSERT_EQ(view.TakeMessages().size(), 1u);

  // From the original, the copy is the changed ROM, and is opened when the user says so.
  view.PickRom(original_->Path());
  window.OnCommand(CommandId::Open);
  ASSERT_EQ(window.Rom().path, original_->Path());
  view.patchDialogs.clear();
  view.patchPaths = {Out("change.bps"), Out("copy.smc")};
  view.answers = {true};
  ASSERT_TRUE(window.ApplyPatchToCopy());
  EXPECT_EQ(view.patchDialogs[0].first, PatchFileQuestion::PatchToRead);
  EXPECT_EQ(view.patchDialogs[1].first, PatchFileQuestion::PatchedCopy);
  EXPECT_EQ(ReadBytesOf(Out("copy.smc")), changed);
  EXPECT_EQ(window.Rom().path, Out("copy.smc"));
  EXPECT_EQ(original_->ReadAll(), StandardRom().Bytes());
}

TEST_F(EditorPatch, TheItemsNeedAnOpenRom) {
  for (CommandId id : {CommandId::CreatePatch, CommandId::ApplyPatchToCopy, CommandId::OriginalRom}) {
    EXPECT_TRUE(view.IsEnabled(id));
  }
  window.OnCommand(CommandId::Close);
  for (CommandId id : {CommandId::CreatePatch, CommandId::ApplyPatchToCopy, CommandId::OriginalRom}) {
    EXPECT_FALSE(view.IsEnabled(id));
  }
  EXPECT_FALSE(window.MakePatch());
  EXPECT_TRUE(view.patchDialogs.empty());
}

}  // namespace
}  // namespace lettermoor::test
