// lettermoor-cli's reading commands on a generated sample ROM: info, list, dump, show, search and
// details, checked against what the codec itself makes of the same file.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

#include "editor/editor_window.h"
#include "entries/text_entry_table.h"
#include "dialogs/details_page.h"
#include "rom/header_checksum.h"
#include "rom/snes_address.h"
#include "sample/sample_rom.h"
#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliRead = CliLayouts;
LETTERMOOR_ON_BOTH_LAYOUTS(CliRead);

std::string Hex(int64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(value));
  return buf;
}

std::string Upper(std::string text) { return UpperCaseAscii(text); }

// The sample's header pair: its generator leaves the pair blank, so it is wrong.
HeaderChecksum SampleSum() {
  const std::vector<uint8_t> rom = MakeSampleRom(false);
  const HeaderChecksum sum = ReadHeaderChecksum(std::span(rom).subspan(RomFile::kCopierHeaderSize));
  EXPECT_EQ(sum.state, ChecksumState::Wrong);
  return sum;
}
std::string SampleChecksum() { return DescribeHeaderChecksum(SampleSum()); }

TEST_P(CliRead, InfoNamesTheFileItsTypeAndSize) {
  const CliRun run = Run({"info", Sample()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // The size is the headed layout's for both, as every offset is.
  EXPECT_EQ(run.out,
            "File name: " + Sample() + "\n"
            "ROM type: EarthBound ROM\n"
            "Size: 3146240 bytes\n"
            "Expanded: no\n"
            "Copier header: " + (Headerless() ? "no (headerless file)" : "yes") + "\n"
            "Header checksum: " + SampleChecksum() + "\n"
            "Free space: none (the ROM is not expanded)\n");
  EXPECT_EQ(run.err, "");
}

TEST_P(CliRead, ListGivesOneLinePerEntryOfEachListing) {
  const CliRun pointer = Run({"list", Sample()});
  ASSERT_EQ(pointer.exitCode, 0) << pointer.err;
  const std::vector<std::string> lines = Lines(pointer.out);
  const TextEntryTable table = Table(ListingMode::PointerTableListing);
  ASSERT_EQ(lines.size(), 2359u);
  ASSERT_EQ(table.count(), 2359);
  for (int i : {0, 1, 5, 700, 1405, 1406, 2358}) {
    const TextEntry& e = table.entries[static_cast<size_t>(i)];
    int32_t size = 0;
    Decoded(e, &size);
    const std::vector<std::string> f = Fields(lines[static_cast<size_t>(i)]);
    ASSERT_EQ(f.size(), 7u) << lines[static_cast<size_t>(i)];
    EXPECT_EQ(f[0], std::to_string(i + 1));
    EXPECT_EQ(f[1], Hex(e.location));
    EXPECT_EQ(f[2], Hex(e.textAddress));
    EXPECT_EQ(f[3], std::to_string(e.sprite));
    EXPECT_EQ(f[4], std::to_string(e.movement));
    EXPECT_EQ(f[5], std::to_string(size));
    EXPECT_FALSE(f[6].empty());
    EXPECT_LE(f[6].size(), 149u);
  }
  EXPECT_EQ(Fields(lines[0])[1], "F8B92");
  EXPECT_EQ(Fields(lines[1406])[3], "-1");  // the first plain pointer
  EXPECT_EQ(Fields(lines[700])[3], "500");  // the one sprite past what the pointer editor takes

  const CliRun raw = Run({"list", Sample(), "--listing", "raw"});
  ASSERT_EQ(raw.exitCode, 0) << raw.err;
  const std::vector<std::string> rawLines = Lines(raw.out);
  EXPECT_EQ(rawLines.size(), static_cast<size_t>(Table(ListingMode::RawTextListing).count()));
  const std::vector<std::string> first = Fields(rawLines.front());
  EXPECT_EQ(first[1], "0");
  EXPECT_EQ(first[2], Hex(FileOffsetToSnes(static_cast<int32_t>(kRawTextRanges[0].start))));
  EXPECT_EQ(first[3], "0");
  EXPECT_EQ(first[4], "0");
}

TEST_P(CliRead, DumpWritesTheListingsFileOrStandardOutput) {
  const CliRun toFile = Run({"dump", Sample()});
  ASSERT_EQ(toFile.exitCode, 0) << toFile.err;
  EXPECT_EQ(toFile.err, "Text has been dumped to ptrlist.txt!\nHave a nice day!\n");
  const std::vector<uint8_t> file = ReadBytes(Dir() + "/ptrlist.txt");

  const CliRun toStdout = Run({"dump", Sample(), "-o", "-"});
  ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
  EXPECT_EQ(std::string(file.begin(), file.end()), toStdout.out);

  const TextEntryTable table = Table(ListingMode::PointerTableListing);
  const std::vector<std::string> lines = Lines(toStdout.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(table.count()));
  for (int i = 0; i < table.count(); ++i) {
    ASSERT_EQ(lines[static_cast<size_t>(i)], Decoded(table.entries[static_cast<size_t>(i)])) << "line " << i + 1;
  }

  // The raw listing has a file name of its own; -o writes where it is told.
  const CliRun raw = Run({"dump", Sample(), "--listing", "raw"});
  ASSERT_EQ(raw.exitCode, 0) << raw.err;
  EXPECT_TRUE(std::filesystem::exists(Dir() + "/rawlist.txt"));
  const CliRun named = Run({"dump", Sample(), "--listing", "raw", "-o", "named.txt"});
  ASSERT_EQ(named.exitCode, 0) << named.err;
  const std::vector<uint8_t> rawDump = ReadBytes(Dir() + "/rawlist.txt");
  EXPECT_EQ(ReadBytes(Dir() + "/named.txt"), rawDump);
  EXPECT_EQ(Lines(std::string(rawDump.begin(), rawDump.end())).size(),
            static_cast<size_t>(Table(ListingMode::RawTextListing).count()));
}

TEST_P(CliRead, ShowPrintsTheEditBoxInBothDisplayModes) {
  const TextEntryTable raw = Table(ListingMode::RawTextListing);
  const std::vector<uint8_t> bytes = ReadRom(RomPath());
  for (int line : {1, 2, 100, raw.count()}) {
    const TextEntry& e = raw.entries[static_cast<size_t>(line - 1)];
    int32_t size = 0;
    const std::string text = Decoded(e, &size);

    const CliRun shown = Run({"show", Sample(), std::to_string(line), "--listing", "raw"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out, text + "\n");

    // Codes only: exactly the entry's bytes, as blank-separated hexadecimal in one bracket pair.
    std::string expected = "[";
    for (int32_t i = 0; i < size; ++i) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%.2X ", bytes[static_cast<size_t>(SnesToFileOffset(e.textAddress) + i)]);
      expected += buf;
    }
    expected.back() = ']';
    const CliRun codes = Run({"show", Sample(), std::to_string(line), "--listing", "raw", "--codes-only"});
    ASSERT_EQ(codes.exitCode, 0) << codes.err;
    EXPECT_EQ(codes.out, expected + "\n");
  }
  // The pointer listing is the default.
  const TextEntryTable pointer = Table(ListingMode::PointerTableListing);
  EXPECT_EQ(Run({"show", Sample(), "3"}).out, Decoded(pointer.entries[2]) + "\n");
}

TEST_P(CliRead, SearchVisitsEveryLaterMatchInOrder) {
  const std::string query = "lighthouse";
  const TextEntryTable table = Table(ListingMode::PointerTableListing);
  std::vector<int> expected;
  for (int i = 0; i < table.count(); ++i) {
    if (Upper(Decoded(table.entries[static_cast<size_t>(i)])).find(Upper(query)) != std::string::npos) {
      expected.push_back(i + 1);
    }
  }
  ASSERT_GT(expected.size(), 3u);

  // Mixed case finds the same lines; each hit prints the line's text.
  const CliRun all = Run({"search", Sample(), "LightHouse"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.err, "");
  std::vector<int> found;
  for (const std::string& line : Lines(all.out)) {
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 2u) << line;
    found.push_back(std::stoi(f[0]));
    EXPECT_EQ(f[1], Decoded(table.entries[static_cast<size_t>(found.back() - 1)]));
  }
  EXPECT_EQ(found, expected);

  // --after starts past the line given; the line itself is not examined.
  const int after = expected[1];
  const CliRun later = Run({"search", Sample(), query, "--after", std::to_string(after)});
  ASSERT_EQ(later.exitCode, 0) << later.err;
  const std::vector<std::string> laterLines = Lines(later.out);
  ASSERT_EQ(laterLines.size(), expected.size() - 2);
  EXPECT_EQ(Fields(laterLines.front())[0], std::to_string(expected[2]));

  // Without --after no line is marked, so line 1 is searched too.
  const std::string firstText = Decoded(table.entries[0]);
  const CliRun first = Run({"search", Sample(), firstText});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(Fields(Lines(first.out).front())[0], "1");
  // Codes are searchable as the edit box shows them, lower-case digits too.
  const CliRun codes = Run({"search", Sample(), "[1f 00", "--listing", "raw"});
  EXPECT_EQ(codes.exitCode, 0) << codes.err;
  EXPECT_FALSE(codes.out.empty());

  // Past the last match, or no match at all: "String not found." and exit 1.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"search", Sample(), query, "--after", std::to_string(expected.back())},
        std::vector<std::string>{"search", Sample(), "no such words anywhere"}}) {
    const CliRun none = Run(args);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "String not found.\n");
  }
}

TEST_P(CliRead, DetailsPrintsEachPageForALine) {
  const TextEntryTable table = Table(ListingMode::PointerTableListing);
  const TextEntry& e = table.entries[2];
  int32_t size = 0;
  Decoded(e, &size);

  const CliRun misc = Run({"details", Sample(), "3", "--page", "misc"});
  ASSERT_EQ(misc.exitCode, 0) << misc.err;
  EXPECT_EQ(misc.out, "Text Attributes:\n\nLine:                  3/2359\n"
                      "Hex Address:     $" + Hex(SnesToFileOffset(e.textAddress)) + "\n" +
                      "SNES Address:  $" + Hex(e.textAddress) + "\n" +
                      "Size:                   " + std::to_string(size) + "\n\n" +
                      "Text Pointer Table Attributes:\n\nLocation:        $" + Hex(e.location) + "\n" +
                      "Sprite #:          " + std::to_string(e.sprite) + "\n" +
                      "Movement #:  " + std::to_string(e.movement) + "\n\n");

  const CliRun raw = Run({"details", Sample(), "3", "--page", "raw"});
  ASSERT_EQ(raw.exitCode, 0) << raw.err;
  EXPECT_EQ(raw.out.size(), static_cast<size_t>(size) * 3 + 1);
  EXPECT_EQ(raw.out.substr(raw.out.size() - 4), "02 \n");

  const CliRun interpreter = Run({"details", Sample(), "3", "--page", "interpreter"});
  ASSERT_EQ(interpreter.exitCode, 0) << interpreter.err;
  EXPECT_NE(interpreter.out.find("\r\nEND OF STRING\n"), std::string::npos) << interpreter.out;

  const CliRun rom = Run({"details", Sample(), "3", "--page", "rom"});
  ASSERT_EQ(rom.exitCode, 0) << rom.err;
  EXPECT_EQ(rom.out, "ROM Info:\n\nFile Name:    " + Sample() + "\nROM Type:  EarthBound ROM\n" +
                         "File size:       3146240 bytes" +
                         (Headerless() ? "\nHeaderless (no copier header)" : "") +
                         "\nChecksum:   wrong, should be $" + Hex(0x10000 | SampleSum().computed).substr(1) + "\n");

  // Raw listing entries have no pointer record.
  const CliRun rawMisc = Run({"details", Sample(), "1", "--page", "misc", "--listing", "raw"});
  ASSERT_EQ(rawMisc.exitCode, 0) << rawMisc.err;
  EXPECT_NE(rawMisc.out.find("Text Pointer Table Attributes:\n\nIndeterminate\n"), std::string::npos);
}

// A translated copy listed beside its original: the original may have the other layout, and the
// copy may since have been expanded; --untranslated leaves out the lines that changed.
TEST_P(CliRead, ListBesideAnOriginalLeavesOutTranslatedLines) {
  const std::string copy = Name("translated");
  CopyOfSample("translated");
  const std::string original = Headerless() ? "sample.smc" : "sample.sfc";
  ASSERT_EQ(Run({"apply", copy, "2", "Hi[02]"}).exitCode, 0);
  ASSERT_EQ(Run({"expand", copy}).exitCode, 0);
  const CliRun all = Run({"list", copy, "--original", original});
  const CliRun left = Run({"list", copy, "--original", original, "--untranslated"});
  ASSERT_EQ(left.exitCode, 0) << left.err;
  EXPECT_EQ(left.err, "Translated: 1 of 2359 lines (0%)\n");
  std::vector<std::string> expected = Lines(all.out);
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(Lines(left.out), expected);
  struct Refused {
    std::vector<std::string> args;
  };
  for (const Refused& r : {Refused{{"list", copy, "--untranslated"}},
                           Refused{{"list", Sample(), "--original", copy}},  // larger than the ROM
                           Refused{{"list", copy, "--original", copy}}}) {
    EXPECT_EQ(Run(r.args).exitCode, 2) << r.args.back();
  }
}

}  // namespace
}  // namespace lettermoor::test
