// lettermoor-cli export --format po, import of a PO file, and check --consistency, against the
// sample beside an unmodified copy of itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The msgstr "" under the entry of `context` replaced by `text` (and `flags` put above it).
std::string Translate(std::string po, const std::string& context, const std::string& text,
                      const std::string& flags = "") {
  const size_t at = po.find("msgctxt \"" + context + "\"\n");
  EXPECT_NE(at, std::string::npos) << context;
  const size_t str = po.find("msgstr \"\"", at);
  po.replace(str, 9, "msgstr \"" + text + "\"");
  if (!flags.empty()) po.insert(at, "#, " + flags + "\n");
  return po;
}

// Each entry's context and msgid, in file order.
std::vector<std::pair<std::string, std::string>> Entries(const std::string& po) {
  std::vector<std::pair<std::string, std::string>> out;
  static const std::regex entry("msgctxt \"([^\"]*)\"\nmsgid \"((?:[^\"\\\\]|\\\\.)*)\"\n");
  for (auto it = std::sregex_iterator(po.begin(), po.end(), entry); it != std::sregex_iterator(); ++it) {
    out.emplace_back((*it)[1], (*it)[2]);
  }
  return out;
}

// A translation that fits in place: the text with its first word dropped (codes in front kept).
std::string Shorter(const std::string& id) {
  const size_t close = id.find(']');
  const size_t from = id.starts_with('[') ? close + 1 : 0;
  const size_t space = id.find(' ', from);
  return id.substr(0, from) + id.substr(space + 1);
}

class CliPo : public CliLayouts {
 protected:
  void SetUp() override {
    rom_ = CopyOfSample("po");
    const CliRun run = Run({"export", rom_, "--original", Sample(), "-o", "po.po"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    po_ = ReadText(Dir() + "/po.po");
    entries_ = Entries(po_);
    ASSERT_GT(entries_.size(), 100u);
  }
  CliRun Import(const std::string& po, std::vector<std::string> extra = {}) {
    WriteText(Dir() + "/edited.po", po);
    std::vector<std::string> args = {"import", rom_, "edited.po", "--original", Sample()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Run(args);
  }
  std::string rom_, po_;
  std::vector<std::pair<std::string, std::string>> entries_;
};

TEST_P(CliPo, UnchangedFileWritesNothingAndTranslationsRoundTrip) {
  const std::vector<uint8_t> before = ReadBytes(rom_);
  CliRun run = Import(po_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("0 translated messages, 0 fuzzy translations"), std::string::npos) << run.out;
  EXPECT_EQ(ReadBytes(rom_), before);

  // Two texts translated: exactly those are written, a second import writes nothing, and the
  // export of the result is the translated file itself.
  std::string translated = Translate(po_, entries_[0].first, Shorter(entries_[0].second));
  translated = Translate(translated, entries_[5].first, Shorter(entries_[5].second));
  run = Import(translated);
  ASSERT_EQ(run.exitCode, 0) << run.err << run.out;
  EXPECT_NE(run.out.find("PO file: 2 translated messages"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 changed (2 written"), std::string::npos) << run.out;
  const std::vector<uint8_t> after = ReadBytes(rom_);
  run = Import(translated);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(rom_), after);
  ASSERT_EQ(Run({"export", rom_, "--format", "po", "--original", Sample(), "-o", "again.txt"}).exitCode, 0);
  // The same entries, the translations in them; only the sizes in the "#." lines are the new texts'.
  const auto withoutSizes = [](const std::string& po) { return std::regex_replace(po, std::regex("#\\. [^\n]*\n"), ""); };
  EXPECT_EQ(withoutSizes(ReadText(Dir() + "/again.txt")), withoutSizes(translated));
  // Exported, imported unchanged and exported again: the very same file.
  run = Import(ReadText(Dir() + "/again.txt"));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadBytes(rom_), after);
  ASSERT_EQ(Run({"export", rom_, "--original", Sample(), "-o", "third.po"}).exitCode, 0);
  EXPECT_EQ(ReadText(Dir() + "/third.po"), ReadText(Dir() + "/again.txt"));
}

TEST_P(CliPo, FuzzyAndOutdatedEntriesWaitForIncludeFuzzy) {
  std::string po = Translate(po_, entries_[1].first, Shorter(entries_[1].second), "fuzzy");
  // An entry whose msgid is no longer what the original holds (its source changed since).
  const std::string stale = "msgid \"" + entries_[2].second + "\"";
  po = Translate(po, entries_[2].first, Shorter(entries_[2].second));
  po.replace(po.find(stale), stale.size(), "msgid \"X" + entries_[2].second + "\"");
  const std::vector<uint8_t> before = ReadBytes(rom_);
  CliRun run = Import(po);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("1 translated message, 1 fuzzy translation"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Not imported: 1 fuzzy, 1 whose msgid"), std::string::npos) << run.out;
  EXPECT_EQ(ReadBytes(rom_), before);
  // Included, the fuzzy one is written; the other is stale: the ROM holds neither its msgid nor its msgstr.
  run = Import(po, {"--include-fuzzy"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.out.find("2 changed (1 written, 0 moved, 0 too large, 1 stale)"), std::string::npos) << run.out;
}

TEST_P(CliPo, BrokenFileIsRefusedWithItsLine) {
  std::string po = Translate(po_, entries_[0].first, "Unclosed [03");
  const std::vector<uint8_t> before = ReadBytes(rom_);
  const CliRun run = Import(po);
  EXPECT_EQ(run.exitCode, 2);
  const size_t line = static_cast<size_t>(std::count(po.begin(), po.begin() + static_cast<long>(po.find("Unclosed")), '\n')) + 1;
  EXPECT_NE(run.err.find("edited.po:" + std::to_string(line) + ":"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(rom_), before);
}

TEST_P(CliPo, ConsistencyListsTwoWaysAndUntouchedTexts) {
  // Two entries that hold one original text, translated two ways.
  std::map<std::string, std::string> firstOf;
  std::pair<std::string, std::string> twice;
  for (const auto& [context, id] : entries_) {
    if (auto [it, added] = firstOf.try_emplace(id, context); !added && twice.first.empty()) twice = {it->second, context};
  }
  ASSERT_FALSE(twice.first.empty());
  const std::string id = std::find_if(entries_.begin(), entries_.end(), [&](auto& e) { return e.first == twice.first; })->second;
  std::string po = Translate(po_, twice.first, Shorter(id));
  po = Translate(po, twice.second, Shorter(Shorter(id)));
  const CliRun imported = Import(po);
  ASSERT_EQ(imported.exitCode, 0) << imported.out << imported.err;
  const CliRun run = Run({"check", rom_, "--original", Sample(), "--consistency"});
  EXPECT_EQ(run.exitCode, 1);
  const std::vector<std::string> lines = Lines(run.out);
  const auto heading = std::find(lines.begin(), lines.end(), "Translated 2 ways: " + id);
  ASSERT_NE(heading, lines.end()) << run.out;
  ASSERT_LT(heading + 2, lines.end());
  EXPECT_EQ(Fields(heading[1]).back(), Shorter(id));
  EXPECT_EQ(Fields(heading[2]).back(), Shorter(Shorter(id)));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Left as the original: " + entries_[0].second), lines.end());
  EXPECT_NE(run.err.find("1 original text translated more than one way"), std::string::npos) << run.err;
  EXPECT_EQ(Run({"check", rom_, "--consistency"}).exitCode, 2);  // needs an original
}

LETTERMOOR_ON_BOTH_LAYOUTS(CliPo);

}  // namespace
}  // namespace lettermoor::test
