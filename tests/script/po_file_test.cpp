// PO files: strings escaped exactly both ways, entries read with their comments, flags and
// continuation lines, broken files refused with their line, and entries mapped to import blocks.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "script/po_file.h"

namespace lettermoor {
namespace {

PoEntry Entry(std::string context, std::string id, std::string str = "") {
  PoEntry e;
  e.context = std::move(context);
  e.id = std::move(id);
  e.str = std::move(str);
  return e;
}

// What a string reads back as, written as the msgstr of an entry of ours (no text checks apply
// to the header, so any bytes can go through it).
std::string ThroughFile(const std::string& text) {
  PoEntry header;
  header.str = text;
  const ParsedPo parsed = ParsePo(WritePo(header, {}));
  EXPECT_FALSE(parsed.error) << parsed.error->expected;
  return parsed.entries.empty() ? "<none>" : parsed.entries[0].str;
}

TEST(PoEscaping, EveryEscapeBothWays) {
  struct Case {
    std::string text, quoted;
  };
  const Case cases[] = {
      {"", "\"\""},
      {"plain", "\"plain\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"back\\slash", "\"back\\\\slash\""},
      {"a\nb", "\"a\\nb\""},
      {"tab\there", "\"tab\\there\""},
      {"cr\r", "\"cr\\r\""},
      {"\a\b\f\v", "\"\\a\\b\\f\\v\""},
      {"[02]é", "\"[02]é\""},
      {"\\n is not a new line", "\"\\\\n is not a new line\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quoted);
    EXPECT_EQ(PoQuoted(c.text), c.quoted);
    EXPECT_EQ(ThroughFile(c.text), c.text);
  }
}

TEST(PoEscaping, ForeignEscapesAndContinuationsRead) {
  // Octal and hexadecimal escapes, \' and \?, which other tools may write, and strings split
  // over lines as gettext wraps them (a new line inside makes it split there).
  const ParsedPo parsed = ParsePo(
      "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
      "msgctxt \"$C5\"\n  \"0010\"\nmsgid \"\"\n\"Hel\"\n\"lo\\x21\"\nmsgstr \"\\101\\'\\?\"\n   \"!\"  \n");
  ASSERT_FALSE(parsed.error) << parsed.error->expected;
  ASSERT_EQ(parsed.entries.size(), 2u);
  EXPECT_EQ(*parsed.entries[1].context, "$C50010");
  EXPECT_EQ(parsed.entries[1].id, "Hello!");
  EXPECT_EQ(parsed.entries[1].str, "A'?!");
  EXPECT_EQ(parsed.entries[1].strLine, 10);
}

// Each character escaped on its own, as the writer's fast scan must agree with.
std::string QuotedOneByOne(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const char* escape = nullptr;
    switch (c) {
      case '"': escape = "\\\""; break;
      case '\\': escape = "\\\\"; break;
      case '\n': escape = "\\n"; break;
      case '\t': escape = "\\t"; break;
      case '\r': escape = "\\r"; break;
      case '\a': escape = "\\a"; break;
      case '\b': escape = "\\b"; break;
      case '\f': escape = "\\f"; break;
      case '\v': escape = "\\v"; break;
    }
    if (escape) {
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

TEST(PoEscaping, RandomStringsComeBackExactly) {
  std::mt19937 random(27);
  for (int round = 0; round < 500; ++round) {
    // Long enough for the writer's blocks of sixteen, with escapes at any place in them.
    std::string text(random() % 80, '\0');
    for (char& c : text) c = static_cast<char>(round % 2 ? 1 + random() % 255 : "ab\"\\\n\x1f\x20\x7f\x80\xc3\xa9"[random() % 11]);
    ASSERT_EQ(PoQuoted(text), QuotedOneByOne(text)) << "round " << round;
    ASSERT_EQ(ThroughFile(text), text) << "round " << round;
  }
  // A string with new lines is written over several lines, as gettext does.
  const std::string multi = "one\ntwo\nthree";
  PoEntry header;
  header.str = multi;
  EXPECT_NE(WritePo(header, {}).find("msgstr \"\"\n\"one\\n\"\n\"two\\n\"\n\"three\"\n"), std::string::npos);
}

TEST(PoRead, CommentsFlagsAndObsoleteEntries) {
  const ParsedPo parsed = ParsePo(
      "# translator's note\n#. 12 bytes\n#: line:4 line:9\n#: record:3 pointer:2\n#, fuzzy, c-format\n"
      "#| msgid \"Old\"\nmsgctxt \"$C50010\"\nmsgid \"Hello[02]\"\nmsgstr \"Hallo[02]\"\n"
      "msgctxt \"$C50020\"\nmsgid \"Bye[02]\"\nmsgstr \"\"\n\n"
      "#, fuzzy\n#~ msgctxt \"$C50010\"\n#~ msgid \"Hello[02]\"\n#~ msgstr \"Servus\\t[02]\"\n");
  ASSERT_FALSE(parsed.error) << parsed.error->expected;
  ASSERT_EQ(parsed.entries.size(), 3u);
  const PoEntry& first = parsed.entries[0];
  EXPECT_EQ(first.comments, std::vector<std::string>{"translator's note"});
  EXPECT_EQ(first.extracted, std::vector<std::string>{"12 bytes"});
  EXPECT_EQ(first.references, (std::vector<std::string>{"line:4", "line:9", "record:3", "pointer:2"}));
  EXPECT_EQ(first.flags, (std::vector<std::string>{"fuzzy", "c-format"}));
  EXPECT_TRUE(first.Fuzzy());
  EXPECT_EQ(first.line, 1);
  EXPECT_FALSE(parsed.entries[1].Fuzzy());
  EXPECT_EQ(parsed.entries[1].line, 10);  // entries need no blank line between them
  EXPECT_TRUE(parsed.entries[2].obsolete);  // may repeat a live entry's pair, and hold any text
  EXPECT_EQ(parsed.entries[2].str, "Servus\t[02]");
}

TEST(PoRead, BrokenFilesAreRefusedWithTheirLine) {
  const std::string head = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";  // lines 1-3
  struct Case {
    const char* name;
    std::string body;
    int line;
  };
  const Case cases[] = {
      {"unclosed string", "msgctxt \"$C50010\"\nmsgid \"Hello\nmsgstr \"\"\n", 5},
      {"unknown escape", "msgctxt \"$C50010\"\nmsgid \"He\\qllo\"\nmsgstr \"\"\n", 5},
      {"garbage after string", "msgctxt \"$C50010\"\nmsgid \"Hello\" x\nmsgstr \"\"\n", 5},
      {"no msgstr", "msgctxt \"$C50010\"\nmsgid \"Hello\"\n\nmsgctxt \"$C50020\"\n", 7},
      {"no msgstr at the end", "msgctxt \"$C50010\"\nmsgid \"Hello\"\n", 6},
      {"msgstr first", "msgstr \"Hello\"\n", 4},
      {"stray string", "\"Hello\"\n", 4},
      {"unknown keyword", "msgtext \"Hello\"\n", 4},
      {"plural", "msgctxt \"$C50010\"\nmsgid \"a\"\nmsgid_plural \"b\"\n", 6},
      {"no context", "msgid \"Hello\"\nmsgstr \"\"\n", 4},
      {"context not an address", "msgctxt \"intro\"\nmsgid \"Hello\"\nmsgstr \"\"\n", 4},
      {"pair twice", "msgctxt \"$C50010\"\nmsgid \"a\"\nmsgstr \"\"\n\nmsgctxt \"$C50010\"\nmsgid \"a\"\nmsgstr \"\"\n", 8},
      {"bad text", "msgctxt \"$C50010\"\nmsgid \"a\"\nmsgstr \"b[02\"\n", 6},
      {"new line in text", "msgctxt \"$C50010\"\nmsgid \"a\"\n\nmsgstr \"b\\n\"\n", 7},
      {"other charset", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = head + c.body;
    if (std::string_view(c.name) == "other charset") file = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n";
    const ParsedPo parsed = ParsePo(file);
    ASSERT_TRUE(parsed.error);
    EXPECT_EQ(parsed.error->line, c.line) << parsed.error->expected;
  }
}

TEST(PoRead, WrittenFileReadsBack) {
  std::vector<PoEntry> entries = {Entry("$C50010", "Hello[02]", "Hallo \"du\"[02]"), Entry("$C50020", "[50]#Bye[02]")};
  entries[0].references = {"line:1", "record:0"};
  AppendPoSizeComment(entries[0].extracted.emplace_back(), 12, std::nullopt, true);
  const std::string file = WritePo(PoHeader("x.smc", "pointer"), entries);
  const ParsedPo parsed = ParsePo(file);
  ASSERT_FALSE(parsed.error) << parsed.error->expected;
  ASSERT_EQ(parsed.entries.size(), 3u);
  EXPECT_TRUE(parsed.entries[0].IsHeader());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(parsed.entries[i + 1].context, entries[i].context);
    EXPECT_EQ(parsed.entries[i + 1].id, entries[i].id);
    EXPECT_EQ(parsed.entries[i + 1].str, entries[i].str);
    EXPECT_EQ(parsed.entries[i + 1].references, entries[i].references);
    EXPECT_EQ(parsed.entries[i + 1].extracted, entries[i].extracted);
  }
  // Written again, the entries give the same file.
  std::vector<PoEntry> again(parsed.entries.begin() + 1, parsed.entries.end());
  EXPECT_EQ(WritePo(parsed.entries[0], again), file);
}

TEST(PoImportPlan, EntriesBecomeBlocksOrAreCounted) {
  std::vector<PoEntry> entries = {
      Entry("$C50010", "One[02]", "Eins[02]"),          // translated
      Entry("$C50020", "Two[02]"),                      // untranslated
      Entry("$C50030", "Three[02]", "Drei[02]"),        // fuzzy
      Entry("$C50040 at $F00000", "Four[02]", "Vier[02]"),  // its original changed since
  };
  entries[0].references = {"line:1", "record:7", "pointer:2", "jump:$C50000", "record:x"};
  entries[2].flags = {"fuzzy"};
  const ParsedPo po = ParsePo(WritePo(PoHeader("x", "pointer"), entries));
  ASSERT_FALSE(po.error) << po.error->expected;
  const auto original = [](SnesAddress a) -> std::optional<std::string> {
    if (a == 0xC50040) return "Vier[02] once";
    return std::nullopt;
  };
  const PoImportPlan plan = PlanPoImport(po, false, original);
  EXPECT_EQ(plan.translated, 2);
  EXPECT_EQ(plan.fuzzy, 1);
  EXPECT_EQ(plan.untranslated, 1);
  EXPECT_EQ(plan.skippedFuzzy, 1);
  EXPECT_EQ(plan.skippedChanged, 1);
  ASSERT_EQ(plan.blocks.size(), 1u);
  const ScriptBlock& b = plan.blocks[0];
  EXPECT_EQ(b.address, 0xC50010);
  EXPECT_EQ(b.records, std::vector<int>{7});
  EXPECT_EQ(b.plainPointers, std::vector<int>{2});
  EXPECT_EQ(b.original, "One[02]");
  EXPECT_EQ(b.text, "Eins[02]");
  EXPECT_GT(b.textLine, b.headerLine);

  const PoImportPlan all = PlanPoImport(po, true, original);
  ASSERT_EQ(all.blocks.size(), 3u);
  EXPECT_EQ(all.blocks[2].address, 0xC50040);  // a suffix after the address is read past
  EXPECT_EQ(all.skippedFuzzy + all.skippedChanged, 0);
}

}  // namespace
}  // namespace lettermoor
