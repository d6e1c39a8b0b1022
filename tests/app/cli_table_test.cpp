// lettermoor-cli through a character table: the sample's example table, from apply to import.

#include <gtest/gtest.h>

#include <fstream>

#include "codec/png_image.h"
#include "codec/text_encoder.h"
#include "rom/snes_address.h"
#include "sample/sample_font.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliTable = CliSample;

constexpr const char* kCafe = "Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu.[13 02]";

void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream(path, std::ios::binary) << content;
}

// The whole flow a translator goes through, with the table given and then found beside the ROM.
TEST_F(CliTable, TheSampleTableTakesLettersFromApplyToImport) {
  const std::string rom = CopyOfSample("cafe");
  WriteFile(Dir() + "/T", kSampleCharacterTable);
  const std::vector<uint8_t> before = ReadRom(rom);
  const CliRun applied = Run({"apply", "--table", "T", Name("cafe"), "4", kCafe});
  ASSERT_EQ(applied.exitCode, 0) << applied.err;
  // The table's bytes, and nothing else changed.
  const int64_t at = SnesToFileOffset(Table(ListingMode::PointerTableListing).entries[3].textAddress);
  const std::vector<uint8_t> cafe = {0x73, 0x91, 0x96, 0x8C, 0x50, 0x94, 0x8C, 0x9A, 0x8F, 0x50, 0xA6, 0xA5, 0x5E, 0x13, 0x02};
  std::vector<uint8_t> expected = before;
  std::copy(cafe.begin(), cafe.end(), expected.begin() + at);
  EXPECT_EQ(ReadRom(rom), expected);

  EXPECT_EQ(Run({"show", "--table", "T", Name("cafe"), "4"}).out, std::string(kCafe) + "\n");
  // Without the table the same bytes are the game's own characters.
  EXPECT_EQ(Run({"show", Name("cafe"), "4"}).out, "Caf\\ d\\j_ vu.[13 02]\n");
  const CliRun found = Run({"search", "--table", "T", Name("cafe"), "CAF\xC3\x89"});
  ASSERT_EQ(found.exitCode, 0) << found.err;
  EXPECT_EQ(Fields(Lines(found.out).at(0)).at(0), "4");
  EXPECT_EQ(Run({"search", Name("cafe"), "CAF\xC3\x89"}).exitCode, 1);
  // The preview lays out the table's bytes and prints them as its letters.
  const CliRun preview = Run({"preview", "--table", "T", Name("cafe"), "4"});
  EXPECT_NE(preview.out.find("Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu."), std::string::npos) << preview.out;

  const CliRun exported = Run({"export", "--table", "T", Name("cafe"), "-o", "cafe.txt"});
  ASSERT_EQ(exported.exitCode, 0) << exported.err;
  const std::string script = ReadText(Dir() + "/cafe.txt");
  EXPECT_NE(script.find("\n# Character table: T\n"), std::string::npos);
  EXPECT_NE(script.find("\nCaf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu."), std::string::npos);
  const CliRun same = Run({"import", "--table", "T", Name("cafe"), "cafe.txt"});
  ASSERT_EQ(same.exitCode, 0) << same.err;
  EXPECT_NE(same.out.find(" 0 changed"), std::string::npos) << same.out;
  EXPECT_EQ(ReadRom(rom), expected);

  // Another table (or none) is refused, naming both, unless asked; the ROM is left alone.
  const CliRun none = Run({"import", Name("cafe"), "cafe.txt"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("the character table T"), std::string::npos) << none.err;
  EXPECT_NE(none.err.find("no character table"), std::string::npos) << none.err;
  EXPECT_EQ(ReadRom(rom), expected);

  // The table beside the ROM is the default; --no-table turns it off.
  WriteFile(Dir() + "/cafe.tbl", kSampleCharacterTable);
  EXPECT_EQ(Run({"show", Name("cafe"), "4"}).out, std::string(kCafe) + "\n");
  EXPECT_EQ(Run({"show", "--no-table", Name("cafe"), "4"}).out, "Caf\\ d\\j_ vu.[13 02]\n");
  const CliRun other = Run({"import", Name("cafe"), "cafe.txt"});
  EXPECT_EQ(other.exitCode, 2);
  EXPECT_NE(other.err.find("cafe.tbl"), std::string::npos) << other.err;
  EXPECT_EQ(Run({"import", "--other-table", Name("cafe"), "cafe.txt"}).exitCode, 0);

  const CliRun refused = Run({"apply", Name("cafe"), "4", "Stra\xC3\x9F" "e[02]"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("column 5"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("cafe.tbl"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadRom(rom), expected);
  std::remove((Dir() + "/cafe.tbl").c_str());
}

// A table that does not load ends every command with its file, line and reason, and the ROM is
// never touched by it.
TEST_F(CliTable, ABadTableIsRefusedBeforeTheRomIsTouched) {
  const std::string rom = CopyOfSample("bad");
  const std::vector<uint8_t> before = ReadRom(rom);
  WriteFile(Dir() + "/bad.tbl", "8C=\xC3\xA9\n# fine so far\n8E=[\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"apply", Name("bad"), "4", "Hi[02]"}, {"show", Name("bad"), "4"},
        {"list", Name("bad")}, {"apply", "--table", "missing.tbl", Name("bad"), "4", "Hi[02]"}}) {
    const CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    const bool missing = args[1] == "--table";
    EXPECT_NE(run.err.find(missing ? "missing.tbl" : "bad.tbl is refused: line 3"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Run({"show", "--no-table", Name("bad"), "4"}).exitCode, 0);
  EXPECT_EQ(ReadRom(rom), before);
  std::remove((Dir() + "/bad.tbl").c_str());
}

TEST_F(CliTable, MakeSampleWritesItsExampleTableWhenAsked) {
  ASSERT_EQ(Run({"make-sample", "--example-table", "french.smc"}).exitCode, 0);
  EXPECT_EQ(ReadText(Dir() + "/french.tbl"), kSampleCharacterTable);
  // Found beside the ROM by every command; the PO file is UTF-8 through it.
  ASSERT_EQ(Run({"apply", "french.smc", "4", kCafe}).exitCode, 0);
  const CliRun po = Run({"export", "--format", "po", "french.smc"});
  ASSERT_EQ(po.exitCode, 0) << po.err;
  EXPECT_NE(po.out.find("msgid \"Caf\xC3\xA9 d\xC3\xA9j\xC3\xA0 vu.[13 02]\""), std::string::npos);
  // The font picture names each glyph by the table's letter: the byte 8C is é.
  ASSERT_EQ(Run({"font", "export", "french.smc", "-o", "french.png"}).exitCode, 0);
  const std::optional<RgbaPicture> picture = DecodePng(ReadRom(Dir() + "/french.png"));
  ASSERT_TRUE(picture);
  const auto letters = std::find_if(picture->texts.begin(), picture->texts.end(), [](const auto& t) { return t.first == "Letters"; });
  ASSERT_NE(letters, picture->texts.end());
  EXPECT_NE(letters->second.find("8C\t\xC3\xA9\n"), std::string::npos) << letters->second;
  std::remove((Dir() + "/french.tbl").c_str());
}

}  // namespace
}  // namespace lettermoor::test
