// lettermoor-cli's preview and check: the text-window layout on the sample ROM.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "codec/text_warnings.h"
#include "codec/text_window_format.h"
#include "rom/snes_address.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliPreview = CliSample;

TEST_F(CliPreview, PreviewAndCheckExitCodes) {
  // The sample's own text fits its own font.
  const CliRun clean = Run({"check", RomPath()});
  EXPECT_EQ(clean.exitCode, 0) << clean.err;
  EXPECT_EQ(clean.out, "");
  // Names and numbers at their longest do not: those are listed only when asked for.
  const CliRun estimates = Run({"check", RomPath(), "--estimates"});
  EXPECT_EQ(estimates.exitCode, 1);
  ASSERT_FALSE(estimates.out.empty());
  EXPECT_NE(Lines(estimates.out)[0].find("(estimate)"), std::string::npos);

  // A word too long for any line, written over line 3 at the same size.
  const std::string path = CopyOfSample("long-word.smc");
  int32_t size = 0;
  Decoded(Table(ListingMode::PointerTableListing).entries[2], &size);
  ASSERT_GT(size, 30);
  const std::string word = std::string(static_cast<size_t>(size - 1), 'W') + "[02]";
  ASSERT_EQ(Run({"apply", path, "3", word}).exitCode, 0);
  const CliRun cut = Run({"check", path});
  EXPECT_EQ(cut.exitCode, 1);
  ASSERT_FALSE(cut.out.empty());
  const std::vector<std::string> fields = Fields(Lines(cut.out)[0]);
  ASSERT_GE(fields.size(), 2u);
  EXPECT_EQ(fields[0], "3");
  EXPECT_EQ(fields[1], "line 1 cuts a word");

  // Line 3 with blank space (codes 00) over its end code and the 4000 bytes after it.
  const std::string endless = CopyOfSample("no-end.smc");
  std::vector<uint8_t> image = ReadBytes(endless);
  const int64_t line3 = SnesToFileOffset(Table(ListingMode::PointerTableListing).entries[2].textAddress);
  std::fill_n(image.begin() + line3, 4100, 0);
  WriteBytesTo(endless, image);
  const CliRun noEnd = Run({"check", endless});
  EXPECT_EQ(noEnd.exitCode, 1);
  const std::vector<std::string> lines = Lines(noEnd.out);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
    const std::vector<std::string> f = Fields(l);
    return f.size() >= 2 && f[0] == "3" && f[1] == DescribeTextWarning(TextWarningKind::EndCodeMissing);
  })) << noEnd.out;

  const CliRun shown = Run({"preview", path, "3", "--png", "frames.png"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(Lines(shown.out)[0].find("(cut)"), std::string::npos) << shown.out;
  const std::vector<uint8_t> png = ReadBytes(Dir() + "/frames.png");
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");

  // A headerless dump reads its font table where a headed one does: the same layout.
  ASSERT_EQ(Run({"make-sample", "headerless.sfc", "--headerless"}).exitCode, 0);
  const CliRun headed = Run({"preview", RomPath(), "4"});
  const CliRun headerless = Run({"preview", "headerless.sfc", "4"});
  EXPECT_EQ(headerless.exitCode, 0) << headerless.err;
  EXPECT_EQ(headerless.out, headed.out);
  EXPECT_NE(headed.out.find("wait"), std::string::npos) << headed.out;

  // Lines that do not exist, and a font table that leads nowhere.
  EXPECT_EQ(Run({"preview", RomPath(), "0"}).exitCode, 2);
  EXPECT_EQ(Run({"preview", RomPath(), "999999"}).exitCode, 2);
  const std::string broken = CopyOfSample("no-font.smc");
  std::vector<uint8_t> bytes = ReadBytes(broken);
  std::fill_n(bytes.begin() + text_window::kFontTableOffset, text_window::kFontRecordSize * text_window::kFontCount, 0);
  std::ofstream(broken, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"preview", broken, "1"},
                                               std::vector<std::string>{"check", broken}}) {
    const CliRun refused = Run(args);
    EXPECT_EQ(refused.exitCode, 2) << args[0];
    EXPECT_NE(refused.err.find("font"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
  }
}

}  // namespace
}  // namespace lettermoor::test
