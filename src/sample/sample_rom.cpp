#include "sample/sample_rom.h"

#include <cstdio>
#include <map>
#include <string_view>

#include "codec/character_map.h"
#include "codec/control_code_table.h"
#include "codec/text_dictionary.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"
#include "rom/safe_file.h"
#include "rom/snes_address.h"
#include "sample/sample_font.h"
#include "sample/sample_script.h"

namespace lettermoor {

namespace {

constexpr const char kTitle[] = "EARTH BOUND (J)";
constexpr uint8_t kFirstReferenceByte = 0x15;
constexpr int kPointerRecords = 1406;
constexpr int kPlainPointers = 953;
// Room left at the end of a range for the string that closes it exactly on the range's end.
constexpr size_t kClosingRoom = 24;

// A generator with a fixed sequence on every platform (the standard distributions have none).
class SplitMix64 {
 public:
  explicit SplitMix64(uint64_t seed) : state_(seed) {}

  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  uint8_t Byte() { return static_cast<uint8_t>(Next() >> 56); }

 private:
  uint64_t state_;
};

void PutLittleEndian(std::vector<uint8_t>& rom, int64_t offset, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    rom[static_cast<size_t>(offset + i)] = static_cast<uint8_t>(value >> (8 * i));
  }
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Makes the script strings one after another: story lines in order, words of the dictionary as
// references, and control codes taken in turn from the whole code table so that every described
// code turns up many times.
class StringMaker {
 public:
  explicit StringMaker(SampleRomLayout& layout) : layout_(layout), rng_(0x4C65747465726D6Full) {
    const std::vector<std::string>& words = SampleDictionaryWords();
    for (size_t i = 0; i < words.size(); ++i) slots_.emplace(words[i], static_cast<int>(i + 1));
    for (const ControlCodeEntry& e : ControlCodeTable()) {
      // The end code closes strings only, and "MENU" needs care about the byte after it.
      if (e.code == kEndCode || e.subCode == kAnySubCode) continue;
      cycle_.push_back(&e);
    }
  }

  // One whole string, ending with the end code. Jumps in it lead to `jumpTarget`.
  std::vector<uint8_t> Next(SnesAddress jumpTarget) {
    std::vector<uint8_t> out;
    ++strings_;
    const uint32_t prefix = rng_.Below(4);
    for (uint32_t i = 0; i < (prefix == 3 ? 2u : prefix == 0 ? 0u : 1u); ++i) {
      CycleCode(out, jumpTarget);
    }
    const uint32_t pick = rng_.Below(10);
    const int lines = pick < 4 ? 1 : pick < 8 ? 2 : 3;
    for (int k = 0; k < lines; ++k) {
      bool textMustFollow = false;
      if (k > 0) textMustFollow = Separator(out);
      if (!textMustFollow && rng_.Below(5) == 0) CycleCode(out, jumpTarget);
      Text(out, NextLine());
    }
    if (strings_ % 7 == 3) Undescribed(out);
    Ending(out);
    return out;
  }

  // A string of exactly `size` bytes (at least 1): plain characters, then the end code.
  std::vector<uint8_t> Closing(size_t size) {
    std::vector<uint8_t> out;
    const std::string& line = NextLine();
    for (size_t i = 0; i + 1 < size; ++i) {
      out.push_back(kGameCharacters.ByteOf(line[i % line.size()]));
    }
    out.push_back(kEndCode);
    ++layout_.describedCodes;
    return out;
  }

 private:
  const std::string& NextLine() {
    const std::vector<std::string>& lines = SampleScriptLines();
    const std::string& line = lines[line_ % lines.size()];
    ++line_;
    return line;
  }

  void Text(std::vector<uint8_t>& out, const std::string& line) {
    for (size_t i = 0; i < line.size();) {
      if (IsLetter(line[i])) {
        size_t j = i;
        while (j < line.size() && IsLetter(line[j])) ++j;
        auto slot = slots_.find(line.substr(i, j - i));
        if (slot != slots_.end()) {
          out.push_back(static_cast<uint8_t>(kFirstReferenceByte + slot->second / 256));
          out.push_back(static_cast<uint8_t>(slot->second % 256));
          ++layout_.dictionaryReferences;
          i = j;
          continue;
        }
        for (; i < j; ++i) out.push_back(kGameCharacters.ByteOf(line[i]));
        continue;
      }
      out.push_back(kGameCharacters.ByteOf(line[i]));
      ++i;
    }
  }

  // The next described code of the table, with plausible argument bytes.
  void CycleCode(std::vector<uint8_t>& out, SnesAddress jumpTarget) {
    const ControlCodeEntry& e = *cycle_[cycleAt_++ % cycle_.size()];
    const size_t at = out.size();
    out.push_back(e.code);
    int argument = 1;
    if (e.subCode >= 0) {
      out.push_back(static_cast<uint8_t>(e.subCode));
      argument = 2;
    }
    for (; argument <= e.argumentCount; ++argument) out.push_back(rng_.Byte());
    // Jumps name the first string of the range they stand in.
    const uint32_t target = static_cast<uint32_t>(jumpTarget);
    auto putTarget = [&](size_t firstArgument) {
      for (int i = 0; i < 4; ++i) out[at + firstArgument + i] = static_cast<uint8_t>(target >> (8 * i));
    };
    if (e.code == 0x08 || e.code == 0x0A) putTarget(1);
    if (e.code == 0x06) putTarget(3);
    if (e.code == 0x1B && e.subCode == 0x03) putTarget(2);
    ++layout_.describedCodes;
  }

  // Between two lines. Gives true when the byte after it must be text ("MENU" would otherwise
  // take a following 0x10 as its sub-code).
  bool Separator(std::vector<uint8_t>& out) {
    switch (rng_.Below(12)) {
      case 0: case 1: case 2: case 3:
        out.insert(out.end(), {0x03, 0x00});
        layout_.describedCodes += 2;
        return false;
      case 4: case 5:
        out.push_back(0x00);
        layout_.describedCodes += 1;
        return false;
      case 6: case 7:
        out.insert(out.end(), {0x03, 0x01});
        layout_.describedCodes += 2;
        return false;
      case 8:
        out.insert(out.end(), {0x13, 0x00});
        layout_.describedCodes += 2;
        return false;
      case 9:
        out.insert(out.end(), {0x10, static_cast<uint8_t>(1 + rng_.Below(60)), 0x00});
        layout_.describedCodes += 2;
        return false;
      case 10:
        out.insert(out.end(), {0x03, 0x19});  // a prompt, then a menu of the lines that follow
        layout_.describedCodes += 2;
        return true;
      default:
        out.insert(out.end(), {0x14, 0x00});
        layout_.describedCodes += 2;
        return false;
    }
  }

  // Codes the table does not describe: single bytes, a sub-coded code with a sub-code the table
  // lacks (the sub-code byte is then read as a code of its own), in turn.
  void Undescribed(std::vector<uint8_t>& out) {
    static constexpr uint8_t kSingles[] = {0x07, 0x09, 0x0C, 0x0E, 0x0F, 0x11, 0x12,
                                           0x20, 0x2A, 0x3C, 0x4F, 0xAB, 0xC5, 0xFF};
    const size_t kinds = std::size(kSingles) + 2;
    const size_t kind = undescribedAt_++ % kinds;
    if (kind < std::size(kSingles)) {
      out.push_back(kSingles[kind]);
      layout_.undescribedCodes += 1;
    } else if (kind == std::size(kSingles)) {
      out.insert(out.end(), {0x18, 0x07});  // 18 with an unknown sub-code, then 07
      layout_.undescribedCodes += 2;
    } else {
      out.insert(out.end(), {0x1A, 0x0B, 0x22});  // 1A undescribed, then IF CHAR 22
      layout_.undescribedCodes += 1;
      layout_.describedCodes += 1;
    }
  }

  void Ending(std::vector<uint8_t>& out) {
    switch (rng_.Below(6)) {
      case 0: case 1:
        out.insert(out.end(), {0x03, 0x02});
        layout_.describedCodes += 2;
        break;
      case 2:
        out.insert(out.end(), {0x13, 0x02});
        layout_.describedCodes += 2;
        break;
      case 3:
        out.insert(out.end(), {0x14, 0x02});
        layout_.describedCodes += 2;
        break;
      case 4:
        out.insert(out.end(), {0x03, 0x00, 0x02});
        layout_.describedCodes += 3;
        break;
      default:
        out.push_back(kEndCode);
        layout_.describedCodes += 1;
        break;
    }
  }

  SampleRomLayout& layout_;
  SplitMix64 rng_;
  std::map<std::string, int> slots_;
  std::vector<const ControlCodeEntry*> cycle_;
  size_t cycleAt_ = 0;
  size_t undescribedAt_ = 0;
  size_t line_ = 0;
  int strings_ = 0;
};

void PutDictionary(std::vector<uint8_t>& rom) {
  int64_t at = kDictionaryOffset;
  for (const std::string& word : SampleDictionaryWords()) {
    for (char c : word) rom[static_cast<size_t>(at++)] = kGameCharacters.ByteOf(c);
    rom[static_cast<size_t>(at++)] = 0;
  }
}

void FillRawRanges(std::vector<uint8_t>& rom, SampleRomLayout& layout) {
  StringMaker maker(layout);
  for (size_t r = 0; r < kRawTextRanges.size(); ++r) {
    const TextRange range = kRawTextRanges[r];
    const SnesAddress jumpTarget = FileOffsetToSnes(static_cast<int32_t>(range.start));
    int64_t offset = range.start;
    while (offset < range.end) {
      const size_t remaining = static_cast<size_t>(range.end - offset);
      std::vector<uint8_t> s = maker.Next(jumpTarget);
      // The last string ends exactly on the range's end, so the raw listing steps through the
      // range string by string and stops there.
      if (s.size() + kClosingRoom > remaining) s = maker.Closing(remaining);
      layout.stringStarts[r].push_back(offset);
      std::copy(s.begin(), s.end(), rom.begin() + offset);
      offset += static_cast<int64_t>(s.size());
    }
  }
}

void FillPointers(std::vector<uint8_t>& rom, const SampleRomLayout& layout) {
  std::vector<int64_t> starts;
  for (const auto& range : layout.stringStarts) starts.insert(starts.end(), range.begin(), range.end());
  const size_t n = starts.size();
  auto address = [&](size_t index) {
    return static_cast<uint32_t>(FileOffsetToSnes(static_cast<int32_t>(starts[index % n])));
  };

  SplitMix64 rng(0x506F7374436C6B21ull);
  std::vector<size_t> recordText(kPointerRecords);
  for (int i = 0; i < kPointerRecords; ++i) {
    const int64_t at = kPointerTableStart + static_cast<int64_t>(i) * kPointerRecordSize;
    // Bytes the editor never reads still get values of their own.
    for (int b : {0, 1, 2, 3, 4, 7, 9, 10, 11, 12}) rom[static_cast<size_t>(at + b)] = rng.Byte();
    // Every ninth record shares its text with the record before it.
    recordText[static_cast<size_t>(i)] =
        (i % 9 == 5) ? recordText[static_cast<size_t>(i - 1)] : (static_cast<size_t>(i) * 3 + 1) % n;
    uint32_t sprite = (i % 17 == 3) ? 0 : 1 + static_cast<uint32_t>(i * 37) % 463;
    if (i == 700) sprite = 500;  // past the sprites the pointer editor accepts
    const uint32_t movement = (i % 19 == 7) ? 0 : 1 + static_cast<uint32_t>(i * 53) % 255;
    PutLittleEndian(rom, at + 5, sprite, 2);
    PutLittleEndian(rom, at + 8, movement, 1);
    PutLittleEndian(rom, at + 13, address(recordText[static_cast<size_t>(i)]), 4);
  }
  for (int j = 0; j < kPlainPointers; ++j) {
    // Now and then a plain pointer leads to a text that a record also leads to.
    const size_t index = (j % 25 == 12) ? recordText[static_cast<size_t>(j)]
                                        : (static_cast<size_t>(j) * 4 + 2) % n;
    PutLittleEndian(rom, kPlainPointerStart + 4 * static_cast<int64_t>(j), address(index), 4);
  }
}

}  // namespace

std::vector<uint8_t> MakeSampleRom(bool expanded, SampleRomLayout* layoutOut) {
  std::vector<uint8_t> rom(kSampleRomSize, 0);
  std::copy(kTitle, kTitle + kTitleLength, rom.begin() + kTitleOffset);
  SampleRomLayout layout;
  PutDictionary(rom);
  PutSampleFonts(rom);
  FillRawRanges(rom, layout);
  FillPointers(rom, layout);
  if (expanded) {
    // Exactly what Expand ROM appends: blocks of 255 zero bytes and the end code.
    rom.resize(kSampleExpandedRomSize, 0);
    for (size_t end = kSampleRomSize + kExpansionBlockSize; end <= rom.size(); end += kExpansionBlockSize) {
      rom[end - 1] = kEndCode;
    }
  }
  if (layoutOut) *layoutOut = std::move(layout);
  return rom;
}

bool SaveSampleRom(const std::string& path, bool expanded, bool headerless) {
  const std::vector<uint8_t> rom = MakeSampleRom(expanded);
  const size_t skip = headerless ? static_cast<size_t>(RomFile::kCopierHeaderSize) : 0;
  // Like every other output: a failed write (a full disk) leaves an old file at the path whole.
  return WriteFileSafely(path, [&](std::FILE* out) {
           return std::fwrite(rom.data() + skip, 1, rom.size() - skip, out) == rom.size() - skip;
         }).ok;
}

}  // namespace lettermoor
