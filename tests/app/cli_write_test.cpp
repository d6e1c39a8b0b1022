// lettermoor-cli's writing commands: apply, expand and make-sample, checked on the bytes on disk.

#include <gtest/gtest.h>

#include <filesystem>

#include "codec/text_encoder.h"
#include "editor/editor_window.h"
#include "entries/text_entry_table.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliWrite = CliLayouts;
LETTERMOOR_ON_BOTH_LAYOUTS(CliWrite);

TEST_P(CliWrite, MakeSampleWritesTheGeneratorsImage) {
  EXPECT_EQ(ReadRom(RomPath()), MakeSampleRom(false));
  // A headerless file is the headed one without its first 0x200 bytes.
  const size_t header = Headerless() ? 0x200 : 0;
  EXPECT_EQ(ReadBytes(RomPath()).size(), kSampleRomSize - header);
  std::vector<std::string> args = {"make-sample", Name("expanded"), "--expanded"};
  if (Headerless()) args.push_back("--headerless");
  const CliRun expanded = Run(args);
  ASSERT_EQ(expanded.exitCode, 0) << expanded.err;
  EXPECT_EQ(ReadBytes(Dir() + "/" + Name("expanded")).size(), kSampleExpandedRomSize - header);
  EXPECT_EQ(ReadRom(Dir() + "/" + Name("expanded")), MakeSampleRom(true));

  const CliRun nowhere = Run({"make-sample", "no-such-directory/sample.smc"});
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_NE(nowhere.err.find("no-such-directory/sample.smc"), std::string::npos);
}

TEST_P(CliWrite, ApplyWritesInPlaceAndShowReflectsIt) {
  const std::string path = CopyOfSample("apply");
  const TextEntry entry = Table(ListingMode::RawTextListing).entries[4];
  const int64_t offset = SnesToFileOffset(entry.textAddress);
  int32_t size = 0;
  Decoded(entry, &size);
  ASSERT_GT(size, 6);
  const std::vector<uint8_t> before = ReadRom(path);

  // A text exactly as large as the old string passes the overwrite guard.
  const std::string exact = std::string(static_cast<size_t>(size - 1), 'x') + "[02]";
  const CliRun same = Run({"apply", Name("apply"), "5", exact, "--listing", "raw"});
  ASSERT_EQ(same.exitCode, 0) << same.err;
  EXPECT_EQ(Run({"show", Name("apply"), "5", "--listing", "raw"}).out, exact + "\n");

  const CliRun applied = Run({"apply", Name("apply"), "5", "Hi[03 02]", "--listing", "raw"});
  ASSERT_EQ(applied.exitCode, 0) << applied.err;
  EXPECT_EQ(applied.err, "");
  std::vector<uint8_t> expected = before;
  const std::vector<uint8_t> exactBytes = TextEncoder(exact);
  std::copy(exactBytes.begin(), exactBytes.end(), expected.begin() + offset);
  const std::vector<uint8_t> hi = {0x78, 0x99, 0x03, 0x02};
  std::copy(hi.begin(), hi.end(), expected.begin() + offset);
  EXPECT_EQ(ReadRom(path), expected);
  EXPECT_EQ(Run({"show", Name("apply"), "5", "--listing", "raw"}).out, "Hi[03 02]\n");
}

TEST_P(CliWrite, RefusedAppliesLeaveTheFileUntouched) {
  const std::string path = CopyOfSample("refused");
  const TextEntryTable table = Table(ListingMode::RawTextListing);
  int32_t size = 0;
  const std::string original = Decoded(table.entries[9], &size);
  const std::vector<uint8_t> before = ReadRom(path);

  struct Case {
    std::string text;
    std::string message;
  };
  // The window's message, then what it means on the command line.
  const std::string tooLarge = std::string(editor_text::kTooLarge) +
                               "\nOn the command line: --compress writes dictionary words back as references, "
                               "which may make it fit; --allow-larger writes it anyway, over whatever follows "
                               "the old text.";
  const std::vector<Case> cases = {
      // One byte more than the old string.
      {std::string(static_cast<size_t>(size), 'x') + "[02]", tooLarge},
      // The unedited text: its dictionary words come back as plain characters, so it grew.
      {original, tooLarge},
      {"Hi[03 02", std::string(editor_text::kBracketError) + "\nColumn 3: this \"[\" is never closed."},
      // A character that is no game character, named with its column ("\xE2\x80\x99" is a
      // typographic apostrophe, once written as three codes).
      {"It\xE2\x80\x99s[02]", DescribeNonGameCharacter(*FindNonGameCharacter("It\xE2\x80\x99s[02]"))},
  };
  ASSERT_GT(MeasureText(original), size);
  for (const Case& c : cases) {
    const CliRun run = Run({"apply", Name("refused"), "10", c.text, "--listing", "raw"});
    EXPECT_EQ(run.exitCode, 1) << c.text;
    EXPECT_EQ(run.err, c.message + "\n");
    EXPECT_EQ(run.out, "");
    ASSERT_EQ(ReadRom(path), before) << c.text;
  }

  // With the guard off the larger text goes in, over what follows the old string.
  const std::string larger = std::string(static_cast<size_t>(size) + 3, 'y') + "[02]";
  const CliRun allowed = Run({"apply", Name("refused"), "10", larger, "--listing", "raw", "--allow-larger"});
  ASSERT_EQ(allowed.exitCode, 0) << allowed.err;
  const std::vector<uint8_t> encoded = TextEncoder(larger);
  const std::vector<uint8_t> after = ReadRom(path);
  const auto at = after.begin() + SnesToFileOffset(table.entries[9].textAddress);
  EXPECT_TRUE(std::equal(encoded.begin(), encoded.end(), at));
}

TEST_P(CliWrite, ExpandAppendsTheBlankBlocksOnce) {
  const std::string path = CopyOfSample("expand");
  const CliRun expanded = Run({"expand", Name("expand")});
  ASSERT_EQ(expanded.exitCode, 0) << expanded.err;
  EXPECT_EQ(expanded.out, "ROM expanded to 0x4001FF bytes.\nHave a nice day!\n");
  const std::vector<uint8_t> bytes = ReadRom(path);
  EXPECT_EQ(bytes.size(), 0x400200u);
  // Grown to 0x400000 bytes when headerless: the file is never given a header.
  EXPECT_EQ(ReadBytes(path).size(), Headerless() ? 0x400000u : 0x400200u);
  EXPECT_EQ(bytes, MakeSampleRom(true));
  EXPECT_NE(Run({"info", Name("expand")}).out.find("Expanded: yes\n"), std::string::npos);

  const CliRun list = Run({"list", Name("expand"), "--listing", "expanded"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  const std::vector<std::string> lines = Lines(list.out);
  ASSERT_EQ(lines.size(), 4095u);
  EXPECT_EQ(lines.front(), "1\t0\tF00000\t0\t0\t256\t");
  EXPECT_EQ(lines.back(), "4095\t0\tFFFE00\t0\t0\t256\t");

  // A second expand changes nothing.
  const CliRun again = Run({"expand", Name("expand")});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(ReadRom(path), bytes);

  // An unexpanded ROM has no expanded listing to offer.
  const CliRun notExpanded = Run({"list", Sample(), "--listing", "expanded"});
  EXPECT_EQ(notExpanded.exitCode, 2);
  EXPECT_EQ(notExpanded.out, "");
  EXPECT_FALSE(notExpanded.err.empty());
}

TEST_P(CliWrite, EveryWritingCommandKeepsACopyFirstUnlessToldNot) {
  const std::string path = Dir() + "/" + Name("bak");
  struct Step {
    std::vector<std::string> args;  // after the command's name and the ROM
    const char* command;
    bool fresh;  // on a fresh copy of the sample, without an older backup
  };
  const Step steps[] = {
      {{"5", "Hi[03 02]", "--listing", "raw"}, "apply", true},
      {{"6", "Ho[03 02]", "--listing", "raw"}, "apply", false},  // a new command keeps a new copy
      {{}, "expand", true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.command);
    if (step.fresh) {
      CopyOfSample("bak");
      std::filesystem::remove(path + ".bak");
    }
    std::vector<std::string> args = {step.command, Name("bak")};
    args.insert(args.end(), step.args.begin(), step.args.end());
    const std::vector<uint8_t> before = ReadBytes(path);
    const CliRun run = Run(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(ReadBytes(path), before);
    EXPECT_EQ(ReadBytes(path + ".bak"), before);  // the file's own bytes, as the command found them

    // --no-backup: the same write, and no copy.
    CopyOfSample("bak");
    std::filesystem::remove(path + ".bak");
    args.push_back("--no-backup");
    const CliRun bare = Run(args);
    ASSERT_EQ(bare.exitCode, 0) << bare.err;
    EXPECT_NE(ReadBytes(path), ReadBytes(RomPath()));
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));
  }
}

TEST_P(CliWrite, AFailedBackupWritesNothingAndSaysWhatToDo) {
  for (const std::string verb : {"apply", "expand", "relocate"}) {
    SCOPED_TRACE(verb);
    const std::string path = CopyOfSample("bak-fail");
    std::filesystem::remove_all(path + ".bak");
    // A move to free space needs an expanded ROM and a text too long for its place.
    if (verb == "relocate") { ASSERT_EQ(Run({"expand", Name("bak-fail"), "--no-backup"}).exitCode, 0); }
    std::filesystem::create_directory(path + ".bak");  // no file can be made there
    const std::vector<uint8_t> before = ReadBytes(path);
    std::vector<std::string> args = {verb == "relocate" ? "apply" : verb, Name("bak-fail")};
    if (verb == "apply") args.insert(args.end(), {"1", "Hi[02]"});
    if (verb == "relocate") args.insert(args.end(), {"1", std::string(300, 'W') + "[02]", "--relocate"});
    const CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_NE(run.err.find("could not be backed up to " + Name("bak-fail") + ".bak"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--no-backup"), std::string::npos) << run.err;
    args.push_back("--no-backup");
    EXPECT_EQ(Run(args).exitCode, 0);
    EXPECT_NE(ReadBytes(path), before);
    std::filesystem::remove_all(path + ".bak");
  }
}

}  // namespace
}  // namespace lettermoor::test
