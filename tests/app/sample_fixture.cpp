#include "sample_fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "entries/text_entry_table.h"
#include "rom/snes_address.h"

namespace lettermoor::test {

struct CliSample::Shared {
  TempDir dir;
  std::string romPath;
  std::unique_ptr<RomFile> rom;
  TextDictionary dictionary;
  DecoderState state;
};

CliSample::Shared* CliSample::shared_ = nullptr;

void CliSample::SetUpTestSuite() {
  shared_ = new Shared;
  shared_->romPath = shared_->dir.File("sample.smc");
  const CliRun made = RunCli({"make-sample", "sample.smc"}, shared_->dir.Path());
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const CliRun headerless = RunCli({"make-sample", "--headerless", "sample.sfc"}, shared_->dir.Path());
  ASSERT_EQ(headerless.exitCode, 0) << headerless.err;
  shared_->rom = OpenForTest(shared_->romPath);
  ASSERT_NE(shared_->rom, nullptr);
  LoadTextDictionary(*shared_->rom, shared_->dictionary);
}

void CliSample::TearDownTestSuite() {
  delete shared_;
  shared_ = nullptr;
}

const std::string& CliSample::Dir() { return shared_->dir.Path(); }

std::string CliSample::CopyOfSample(const std::string& stem) const {
  const std::string path = shared_->dir.File(Name(stem));
  std::filesystem::copy_file(RomPath(), path, std::filesystem::copy_options::overwrite_existing);
  return path;
}

std::vector<uint8_t> CliSample::ReadRom(const std::string& path) const {
  std::vector<uint8_t> bytes = ReadBytes(path);
  if (Headerless()) bytes.insert(bytes.begin(), static_cast<size_t>(RomFile::kCopierHeaderSize), 0x00);
  return bytes;
}

std::string LayoutName(const ::testing::TestParamInfo<bool>& info) {
  return info.param ? "Headerless" : "Headed";
}

std::vector<uint8_t> CliSample::ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TextEntryTable CliSample::Table(ListingMode mode) {
  TextEntryTable table;
  TextDecoder decoder(shared_->dictionary, shared_->state);
  BuildTextEntries(*shared_->rom, mode, table, decoder);
  return table;
}

std::string CliSample::Decoded(const TextEntry& entry, int32_t* size) {
  TextDecoder decoder(shared_->dictionary, shared_->state);
  std::string text;
  const int32_t n = decoder.Decode(*shared_->rom, SnesToFileOffset(entry.textAddress), &text, DecodeFlags{true, false});
  if (size) *size = n;
  return text;
}

}  // namespace lettermoor::test
