#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rom/rom_file.h"

namespace lettermoor::test {

// A file in the temporary directory that is removed when this object goes away (with the
// backup copy the editor may have kept beside it).
class TempFile {
 public:
  // Creates an empty file; `suffix` such as ".smc" is kept at the end of its name.
  explicit TempFile(std::string_view suffix = ".smc");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& Path() const { return path_; }
  std::string Name() const;  // the bare file name
  std::vector<uint8_t> ReadAll() const;
  void WriteAll(const std::vector<uint8_t>& bytes) const;

 private:
  std::string path_;
};

// The whole file at `path` as text (empty when it cannot be read).
std::string ReadText(const std::string& path);

// A private temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// The whole content of a file (empty when it cannot be read), and a file made to hold `bytes`.
std::vector<uint8_t> ReadBytesOf(const std::string& path);
bool WriteBytesTo(const std::string& path, const std::vector<uint8_t>& bytes);

// Script bytes for plain characters: each character plus 0x30.
std::vector<uint8_t> ScriptText(std::string_view text);

// Builds a ROM image in memory, byte by byte, from synthetic data only.
class SyntheticRom {
 public:
  static constexpr size_t kStandardSize = 0x300200;  // 3 MB of ROM plus the copier header

  // A zero-filled image of `size` bytes with an accepted title (when it fits).
  explicit SyntheticRom(size_t size = kStandardSize, std::string_view title = "EARTH BOUND (J)");

  // Places bytes at a file offset, growing the image when they reach past its end.
  SyntheticRom& Put(int64_t offset, std::initializer_list<uint8_t> bytes);
  SyntheticRom& Put(int64_t offset, const std::vector<uint8_t>& bytes);
  // Places a plain-character string (each char + 0x30), no end code.
  SyntheticRom& PutText(int64_t offset, std::string_view text);
  // Writes the 15 title bytes at 0x101C0 (padded with blanks, cut at 15).
  SyntheticRom& Title(std::string_view title);
  // Writes zero-terminated dictionary words from 0x8BE3E, word i filling slot i + 1.
  SyntheticRom& Dictionary(const std::vector<std::string>& words);
  // Fills text pointer table record `index` (0-1405): sprite at +5, movement at +8, pointer at +13.
  SyntheticRom& PointerRecord(int index, int32_t textAddress, uint16_t sprite, uint8_t movement);
  // Fills plain pointer `index` (0-952).
  SyntheticRom& PlainPointer(int index, int32_t textAddress);
  // Gives every record and plain pointer the address 0, which the lister skips.
  SyntheticRom& ClearPointers();

  std::vector<uint8_t>& Bytes() { return bytes_; }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }

  // Writes the image to a new temporary file.
  std::unique_ptr<TempFile> Save(std::string_view suffix = ".smc") const;

  static int64_t RecordOffset(int index) { return 0xF8B92 + 17 * static_cast<int64_t>(index); }
  static int64_t PlainPointerOffset(int index) { return 0x157D6C + 4 * static_cast<int64_t>(index); }

 private:
  std::vector<uint8_t> bytes_;
};

// Opens a file for update through the production path, failing the test when it cannot.
std::unique_ptr<RomFile> OpenForTest(const std::string& path);

}  // namespace lettermoor::test
