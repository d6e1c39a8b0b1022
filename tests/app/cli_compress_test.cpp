// lettermoor-cli with dictionary compression: apply --compress, measure, and what the refusals
// tell a command-line user.

#include <gtest/gtest.h>

#include "editor/editor_window.h"
#include "entries/text_entry_table.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliCompress = CliSample;

// Unchanged lines of the pointer listing go back with --compress, and show gives the same text.
// (Every line of the listing is swept by the compress_pointer_listing benchmark's check.)
TEST_F(CliCompress, UnchangedLinesApplyCompressedAndShowTheSameText) {
  CopyOfSample("compress");
  const std::string rom = Name("compress");
  const TextEntryTable table = Table(ListingMode::PointerTableListing);
  for (int line = 9; line <= table.count(); line += 131) {
    const std::string text = Decoded(table.entries[static_cast<size_t>(line - 1)]);
    const std::string number = std::to_string(line);
    if (line == 9) {
      // Written plainly, its spelled-out dictionary words do not fit; the refusal names the
      // options that help.
      const CliRun plain = Run({"apply", rom, number, text});
      EXPECT_EQ(plain.exitCode, 1);
      EXPECT_NE(plain.err.find(editor_text::kTooLarge), std::string::npos) << plain.err;
      EXPECT_NE(plain.err.find("--compress"), std::string::npos) << plain.err;
      EXPECT_NE(plain.err.find("--allow-larger"), std::string::npos) << plain.err;
    }
    const CliRun compressed = Run({"apply", rom, number, text, "--compress"});
    ASSERT_EQ(compressed.exitCode, 0) << "line " << line << ": " << compressed.err;
    EXPECT_EQ(Run({"show", rom, number}).out, text + "\n") << "line " << line;
  }
}

TEST_F(CliCompress, MeasurePrintsTheSizeTheBytesOrWhereTheBracketsFail) {
  const std::string sample = Sample();
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out;
    std::string errHas;
  } cases[] = {
      {{"measure", sample, "Hi[03 02]"}, 0, "4\n", ""},
      {{"measure", sample, "Hi[03 02]", "--bytes"}, 0, "4\n78 99 03 02\n", ""},
      {{"measure", sample, "", "--bytes", "--compress"}, 0, "0\n\n", ""},
      {{"measure", sample, "Hi[03 02"}, 1, "", "Column 3: this \"[\" is never closed."},
      {{"measure", sample, "Hi]03 02]", "--compress"}, 1, "", "Column 3: this \"]\" closes no \"[\"."},
      {{"apply", sample, "1", "Hi[03 02", "--compress"}, 1, "", "Column 3: this \"[\" is never closed."},
  };
  for (const Case& c : cases) {
    const CliRun run = Run(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments[2] << run.err;
    EXPECT_EQ(run.out, c.out) << c.arguments[2];
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
    if (c.exitCode != 0) { EXPECT_NE(run.err.find(editor_text::kBracketError), std::string::npos) << run.err; }
  }

  // The compressed bytes are as many as the size says, and fewer than the plain ones.
  const std::string text = Decoded(Table(ListingMode::PointerTableListing).entries[8]);
  const std::vector<std::string> plain = Lines(Run({"measure", sample, text, "--bytes"}).out);
  const std::vector<std::string> packed = Lines(Run({"measure", sample, text, "--bytes", "--compress"}).out);
  ASSERT_EQ(plain.size(), 2u);
  ASSERT_EQ(packed.size(), 2u);
  EXPECT_EQ(static_cast<int>(packed[1].size() + 1) / 3, std::stoi(packed[0]));
  EXPECT_LT(std::stoi(packed[0]), std::stoi(plain[0]));
}

}  // namespace
}  // namespace lettermoor::test
