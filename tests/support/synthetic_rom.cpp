#include "support/synthetic_rom.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace lettermoor::test {

namespace {

std::string TempRoot() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

}  // namespace

TempFile::TempFile(std::string_view suffix) {
  std::string pattern = TempRoot() + "/lettermoor-test-XXXXXX" + std::string(suffix);
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = ::mkstemps(buf.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw std::runtime_error("cannot create a temporary file");
  ::close(fd);
  path_ = buf.data();
}

TempFile::~TempFile() {
  std::error_code ec;
  std::filesystem::remove(path_, ec);
  std::filesystem::remove(path_ + ".bak", ec);  // the copy the editor keeps before writing
  std::filesystem::remove(HistoryPathFor(path_), ec);
}

std::string TempFile::Name() const { return std::filesystem::path(path_).filename().string(); }

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> TempFile::ReadAll() const {
  std::ifstream in(path_, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void TempFile::WriteAll(const std::vector<uint8_t>& bytes) const {
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteBytesTo(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

TempDir::TempDir() {
  std::string pattern = TempRoot() + "/lettermoor-dir-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ScriptText(std::string_view text) {
  std::vector<uint8_t> out;
  for (char c : text) out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) + 0x30));
  return out;
}

SyntheticRom::SyntheticRom(size_t size, std::string_view title) : bytes_(size, 0) {
  if (size >= 0x101C0 + 15) Title(title);
}

SyntheticRom& SyntheticRom::Put(int64_t offset, std::initializer_list<uint8_t> bytes) {
  return Put(offset, std::vector<uint8_t>(bytes));
}

SyntheticRom& SyntheticRom::Put(int64_t offset, const std::vector<uint8_t>& bytes) {
  size_t end = static_cast<size_t>(offset) + bytes.size();
  if (end > bytes_.size()) bytes_.resize(end, 0);
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + offset);
  return *this;
}

SyntheticRom& SyntheticRom::PutText(int64_t offset, std::string_view text) {
  return Put(offset, ScriptText(text));
}

SyntheticRom& SyntheticRom::Title(std::string_view title) {
  std::string padded(title.substr(0, 15));
  padded.resize(15, ' ');
  return Put(0x101C0, std::vector<uint8_t>(padded.begin(), padded.end()));
}

SyntheticRom& SyntheticRom::Dictionary(const std::vector<std::string>& words) {
  std::vector<uint8_t> area;
  for (const std::string& w : words) {
    auto s = ScriptText(w);
    area.insert(area.end(), s.begin(), s.end());
    area.push_back(0);
  }
  return Put(0x8BE3E, area);
}

SyntheticRom& SyntheticRom::PointerRecord(int index, int32_t textAddress, uint16_t sprite,
                                          uint8_t movement) {
  const int64_t r = RecordOffset(index);
  const auto a = static_cast<uint32_t>(textAddress);
  Put(r + 5, {static_cast<uint8_t>(sprite & 0xFF), static_cast<uint8_t>(sprite >> 8)});
  Put(r + 8, {movement});
  return Put(r + 13, {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8),
                      static_cast<uint8_t>(a >> 16), static_cast<uint8_t>(a >> 24)});
}

SyntheticRom& SyntheticRom::PlainPointer(int index, int32_t textAddress) {
  const auto a = static_cast<uint32_t>(textAddress);
  return Put(PlainPointerOffset(index),
             {static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a >> 16),
              static_cast<uint8_t>(a >> 24)});
}

SyntheticRom& SyntheticRom::ClearPointers() {
  for (int i = 0; i < 1406; ++i) Put(RecordOffset(i) + 13, {0, 0, 0, 0});
  for (int i = 0; i < 953; ++i) PlainPointer(i, 0);
  return *this;
}

std::unique_ptr<TempFile> SyntheticRom::Save(std::string_view suffix) const {
  auto file = std::make_unique<TempFile>(suffix);
  file->WriteAll(bytes_);
  return file;
}

std::unique_ptr<RomFile> OpenForTest(const std::string& path) {
  auto file = RomFile::Open(path);
  EXPECT_NE(file, nullptr) << "cannot open " << path;
  return file;
}

}  // namespace lettermoor::test
