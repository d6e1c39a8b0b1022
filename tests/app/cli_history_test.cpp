// lettermoor-cli history: the changes listed newest first with their numbers, and --undo N,
// refused (writing nothing) while a later change holds the same bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "sample_fixture.h"

namespace lettermoor::test {
namespace {

using CliHistory = CliLayouts;
LETTERMOOR_ON_BOTH_LAYOUTS(CliHistory);

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_P(CliHistory, ListsNewestFirstAndUndoesByNumber) {
  const std::string path = CopyOfSample("history");
  std::filesystem::remove(HistoryPathFor(path));
  const std::string rom = Name("history");
  EXPECT_EQ(Run({"history", rom}).exitCode, 0);
  const std::vector<uint8_t> before = ReadRom(path);
  ASSERT_EQ(Run({"apply", rom, "5", "Hi[02]", "--listing", "raw"}).exitCode, 0);
  const std::vector<uint8_t> first = ReadRom(path);
  ASSERT_EQ(Run({"apply", rom, "5", "Yo[02]", "--listing", "raw"}).exitCode, 0);
  ASSERT_EQ(Run({"apply", rom, "6", "Ok[02]", "--listing", "raw"}).exitCode, 0);

  const CliRun listed = Run({"history", rom});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  const std::vector<std::string> lines = Lines(listed.out);
  ASSERT_EQ(lines.size(), 3u);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, 2), std::to_string(3 - i) + "\t");
    EXPECT_NE(lines[i].find("\tapply\t"), std::string::npos) << lines[i];
  }
  EXPECT_NE(lines[0].find("\t6\t"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"Ok[02]\""), std::string::npos) << lines[0];

  struct Step {
    const char* undo;
    int exitCode;
    std::vector<uint8_t> bytes;  // empty: unchanged
  };
  const std::vector<uint8_t> held = ReadRom(path);
  for (const Step& step : {Step{"1", 1, {}}, Step{"99", 2, {}}, Step{"3", 0, {}}, Step{"2", 0, first},
                           Step{"1", 0, before}}) {
    SCOPED_TRACE(step.undo);
    const std::vector<uint8_t> was = ReadRom(path);
    const CliRun undone = Run({"history", rom, "--undo", step.undo});
    EXPECT_EQ(undone.exitCode, step.exitCode) << undone.err;
    if (step.exitCode != 0) {
      EXPECT_EQ(ReadRom(path), was);
    } else if (!step.bytes.empty()) {
      EXPECT_EQ(ReadRom(path), step.bytes);
    }
    if (std::string(step.undo) == "1" && step.exitCode == 1) {
      EXPECT_NE(undone.err.find("change 2"), std::string::npos) << undone.err;
    }
  }
  EXPECT_NE(held, before);
  EXPECT_EQ(Lines(Run({"history", rom}).out).size(), 6u);
}

}  // namespace
}  // namespace lettermoor::test
