// lettermoor-cli export and import: the whole script out, translated, and back in.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool IsTextLine(const std::string& line) { return !line.empty() && line[0] != '#' && line[0] != '@'; }

// The text without its bracket groups, as a list row shows it.
std::string WithoutCodes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '[') {
      i = text.find(']', i);
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

class CliScript : public CliLayouts {
 protected:
  // A fresh copy of the sample in this layout, expanded or not.
  std::string Rom(const std::string& stem, bool expanded) {
    if (!expanded) return CopyOfSample(stem);
    std::vector<std::string> args = {"make-sample", "--expanded", Name(stem)};
    if (Headerless()) args.push_back("--headerless");
    const CliRun made = Run(args);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return Dir() + "/" + Name(stem);
  }
};

TEST_P(CliScript, ExportThenImportChangesNothing) {
  for (bool expanded : {false, true}) {
    const std::string rom = Rom("round", expanded);
    const std::vector<uint8_t> before = ReadBytes(rom);
    for (std::string listing : {"pointer", "raw", "expanded"}) {
      if (listing == "expanded" && !expanded) continue;
      SCOPED_TRACE(listing + (expanded ? " (expanded)" : ""));
      CliRun run = Run({"export", rom, "--listing", listing, "-o", "round.txt"});
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const std::string first = ReadText(Dir() + "/round.txt");
      run = Run({"import", rom, "round.txt"});
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const std::vector<std::string> lines = Lines(run.out);
      ASSERT_EQ(lines.size(), 1u) << run.out;
      EXPECT_NE(lines[0].find(" 0 changed"), std::string::npos) << lines[0];
      EXPECT_EQ(ReadBytes(rom), before);
      run = Run({"export", rom, "--listing", listing});
      EXPECT_EQ(run.out, first);
    }
  }
}

// Every text of the pointer listing made longer, imported into a copy of the expanded sample.
TEST_P(CliScript, TranslationGoesIntoTheCopy) {
  const std::string rom = Rom("translate", true);
  const std::vector<uint8_t> before = ReadBytes(rom);
  CliRun run = Run({"export", rom, "-o", "translate.txt"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> lines = Lines(ReadText(Dir() + "/translate.txt"));
  std::map<int, std::string> expectedRow;  // listing line -> text without codes
  std::vector<int> rows;
  for (std::string& line : lines) {
    if (line.starts_with("# line")) {
      rows.clear();
      std::istringstream in(line.substr(line.find(' ', 2)));
      for (std::string n; std::getline(in, n, ',');) {
        if (n.find(';') != std::string::npos) n = n.substr(0, n.find(';'));
        rows.push_back(std::stoi(n));
      }
    } else if (IsTextLine(line)) {
      line.insert(line.rfind('['), " and then some more words");
      for (int row : rows) expectedRow[row] = WithoutCodes(line);
    }
  }
  std::string edited;
  for (const std::string& line : lines) edited += line + "\n";
  WriteText(Dir() + "/translated.txt", edited);

  run = Run({"import", rom, "translated.txt", "-o", Name("translated")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> report = Lines(run.out);
  ASSERT_FALSE(report.empty());
  for (size_t i = 0; i + 1 < report.size(); ++i) {
    EXPECT_TRUE(report[i].find(": written") != std::string::npos || report[i].find(": moved to $") != std::string::npos)
        << report[i];
  }
  EXPECT_NE(report.back().find(" 0 too large, 0 stale), 0 unchanged."), std::string::npos) << report.back();
  EXPECT_EQ(ReadBytes(rom), before);

  run = Run({"list", Name("translated")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> listed = Lines(run.out);
  ASSERT_EQ(listed.size(), expectedRow.size());
  for (const std::string& line : listed) {
    const std::vector<std::string> f = Fields(line);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[6], expectedRow[std::stoi(f[0])].substr(0, 149)) << "line " << f[0];
  }

  // Pass after pass: the same script into the copy again writes nothing; one moved block edited
  // again changes exactly its own lines.
  const std::string copy = Dir() + "/" + Name("translated");
  const std::vector<uint8_t> once = ReadBytes(copy);
  run = Run({"import", "--no-backup", copy, "translated.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(copy), once);
  size_t block = 0;
  std::vector<int> editedRows;
  for (size_t i = 0; i < lines.size() && editedRows.empty(); ++i) {
    if (!lines[i].starts_with("# line")) continue;
    std::istringstream in(lines[i].substr(lines[i].find(' ', 2)));
    for (std::string n; std::getline(in, n, ',');) editedRows.push_back(std::stoi(n.substr(0, n.find(';'))));
    block = i + 2;  // the "#<" line, then the text
  }
  lines[block] = "Edited once more.[02]";
  edited.clear();
  for (const std::string& line : lines) edited += line + "\n";
  WriteText(Dir() + "/translated.txt", edited);
  run = Run({"import", "--no-backup", copy, "translated.txt"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("1 changed"), std::string::npos) << run.out;
  run = Run({"list", copy});
  for (const std::string& line : Lines(run.out)) {
    const std::vector<std::string> f = Fields(line);
    const int row = std::stoi(f[0]);
    const bool edits = std::find(editedRows.begin(), editedRows.end(), row) != editedRows.end();
    EXPECT_EQ(f[6], edits ? "Edited once more." : expectedRow[row].substr(0, 149)) << "line " << row;
  }
}

TEST_P(CliScript, BadFilesAndTargetsWriteNothing) {
  const std::string rom = Rom("bad", true);
  const std::vector<uint8_t> before = ReadBytes(rom);
  ASSERT_EQ(Run({"export", rom, "-o", "bad.txt"}).exitCode, 0);
  std::vector<std::string> lines = Lines(ReadText(Dir() + "/bad.txt"));
  // The last text line above line 1000, moved down to it by comments, loses its "]".
  size_t text = 999;
  while (!IsTextLine(lines[text])) --text;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(text), 999 - text, "# padding");
  ASSERT_TRUE(IsTextLine(lines[999]));
  lines[999].pop_back();
  std::string broken;
  for (const std::string& line : lines) broken += line + "\n";
  WriteText(Dir() + "/broken.txt", broken);
  const std::string out = Dir() + "/" + Name("never");
  for (bool copy : {false, true}) {
    std::vector<std::string> args = {"import", rom, "broken.txt"};
    if (copy) args.insert(args.end(), {"-o", out});
    const CliRun run = Run(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err.find("broken.txt:1000:"), 0u) << run.err;
    EXPECT_NE(run.err.find("expected a \"]\""), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(rom), before);
    EXPECT_FALSE(std::filesystem::exists(out));
  }

  // The input ROM itself, or a hard link to it, is no place for the copy.
  const std::string link = Dir() + "/" + Name("link");
  std::filesystem::remove(link);
  ASSERT_EQ(::link(rom.c_str(), link.c_str()), 0);
  for (const std::string& target : {rom, link}) {
    const CliRun run = Run({"import", rom, "bad.txt", "-o", target});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("ROM file itself"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(rom), before);
  }

  // A character the game does not have, named with its line.
  lines = Lines(ReadText(Dir() + "/bad.txt"));
  lines[6] = "Caf\xC3\xA9[02]";
  std::string accented;
  for (const std::string& line : lines) accented += line + "\n";
  WriteText(Dir() + "/accented.txt", accented);
  CliRun run = Run({"import", rom, "accented.txt"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("accented.txt:7:4: expected a game character, found \"\xC3\xA9\" (U+00E9)"), std::string::npos)
      << run.err;
  EXPECT_EQ(ReadBytes(rom), before);
}

TEST_P(CliScript, DryRunNoRelocateAndStaleBlocks) {
  const std::string rom = Rom("stale", false);
  const std::vector<uint8_t> before = ReadBytes(rom);
  ASSERT_EQ(Run({"export", rom, "-o", "stale.txt"}).exitCode, 0);
  std::vector<std::string> lines = Lines(ReadText(Dir() + "/stale.txt"));
  ASSERT_TRUE(IsTextLine(lines[6]) && IsTextLine(lines[11]));
  // Line 7: shorter; line 12: far longer than its place, in a ROM with no free space.
  lines[6] = "Short.[02]";
  lines[11] = std::string(300, 'x') + "[02]";
  std::string edited;
  for (const std::string& line : lines) edited += line + "\n";
  WriteText(Dir() + "/edited.txt", edited);

  CliRun run = Run({"import", rom, "edited.txt", "--dry-run"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("(line 7): would be written, 7 of "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("(line 12): too large by "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Dry run: nothing was written."), std::string::npos) << run.out;
  EXPECT_EQ(ReadBytes(rom), before);

  run = Run({"import", rom, "edited.txt", "--no-relocate"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("(line 7): written, 7 of "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("moving to free space is off"), std::string::npos) << run.out;
  run = Run({"show", rom, "1"});
  EXPECT_EQ(run.out, "Short.[02]\n");

  // The first block is in the ROM now; an older script's edit of it is stale.
  lines[6] = "Other.[02]";
  lines[11] = lines[10].substr(3);
  edited.clear();
  for (const std::string& line : lines) edited += line + "\n";
  WriteText(Dir() + "/older.txt", edited);
  run = Run({"import", rom, "older.txt"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("(line 7): stale"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1 changed (0 written, 0 moved, 0 too large, 1 stale)"), std::string::npos) << run.out;
}

// An import in place is a write like any other: a copy of the ROM first, or nothing written.
TEST_P(CliScript, ImportInPlaceKeepsACopyFirst) {
  const std::string rom = Rom("bak-import", true);
  ASSERT_EQ(Run({"export", rom, "-o", "bak-import.txt"}).exitCode, 0);
  std::string edited;
  bool changed = false;
  for (std::string line : Lines(ReadText(Dir() + "/bak-import.txt"))) {
    if (!changed && IsTextLine(line) && line.rfind('[') != std::string::npos) {
      line.insert(line.rfind('['), " and more");
      changed = true;
    }
    edited += line + "\n";
  }
  ASSERT_TRUE(changed);
  WriteText(Dir() + "/bak-import.txt", edited);
  const std::vector<uint8_t> before = ReadBytes(rom);
  std::filesystem::remove_all(rom + ".bak");
  std::filesystem::create_directory(rom + ".bak");  // no copy can be made there
  CliRun run = Run({"import", rom, "bak-import.txt"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(ReadBytes(rom), before);
  EXPECT_NE(run.err.find("could not be backed up"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--no-backup"), std::string::npos) << run.err;

  std::filesystem::remove(rom + ".bak");
  run = Run({"import", rom, "bak-import.txt"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadBytes(rom), before);
  EXPECT_EQ(ReadBytes(rom + ".bak"), before);
}

// A translation that drops a text's end code is written, with the warning under its block's
// line; with --strict it refuses the whole import (exit 1, nothing written), naming that line and
// not the one whose edit has no warning.
TEST_P(CliScript, WarningsAreReportedAndStrictRefusesThem) {
  const std::string rom = Rom("warn", false);
  ASSERT_EQ(Run({"export", rom, "-o", "warn.txt"}).exitCode, 0);
  std::vector<std::string> lines = Lines(ReadText(Dir() + "/warn.txt"));
  int warned = 0, clean = 0;  // script lines, from 1
  for (size_t i = 0; i < lines.size() && clean == 0; ++i) {
    std::string& line = lines[i];
    if (!IsTextLine(line) || !line.ends_with("[02]") || line.size() < 6 || line[line.size() - 5] == ']') continue;
    if (warned == 0) {
      line.resize(line.size() - 4);  // no end code
      warned = static_cast<int>(i + 1);
    } else {
      line.erase(line.size() - 5, 1);  // one character shorter, the same codes
      clean = static_cast<int>(i + 1);
    }
  }
  ASSERT_NE(clean, 0);
  std::string edited;
  for (const std::string& line : lines) edited += line + "\n";
  WriteText(Dir() + "/warned.txt", edited);
  const std::string warnedBlock = "(line " + std::to_string(warned) + "): ";
  const std::string cleanBlock = "(line " + std::to_string(clean) + "): ";

  const std::vector<uint8_t> before = ReadBytes(rom);
  CliRun run = Run({"import", rom, "warned.txt", "--strict"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(ReadBytes(rom), before);
  EXPECT_EQ(run.out, "");
  std::vector<std::string> report = Lines(run.err);
  ASSERT_EQ(report.size(), 3u) << run.err;
  EXPECT_NE(report[0].find(warnedBlock), std::string::npos) << report[0];
  EXPECT_TRUE(report[1].starts_with("    warning: ")) << report[1];
  EXPECT_EQ(run.err.find(cleanBlock), std::string::npos) << run.err;

  run = Run({"import", rom, "warned.txt"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(ReadBytes(rom), before);
  report = Lines(run.out);
  // In file order: the warned block, its warning, the other block, the summary.
  ASSERT_EQ(report.size(), 4u) << run.out;
  EXPECT_NE(report[0].find(warnedBlock + "written"), std::string::npos) << report[0];
  EXPECT_TRUE(report[1].starts_with("    warning: ")) << report[1];
  EXPECT_NE(report[2].find(cleanBlock + "written"), std::string::npos) << report[2];
}

LETTERMOOR_ON_BOTH_LAYOUTS(CliScript);

}  // namespace
}  // namespace lettermoor::test
