#pragma once

// The unmodified ROM a translation is made from, opened read-only beside the open one. A row's
// original is the text the same record or plain pointer leads to in it (pointer listing), or the
// text at the same address (raw and expanded listings).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "codec/text_buffer.h"
#include "codec/text_dictionary.h"
#include "entries/text_entry.h"
#include "rom/rom_file.h"
#include "rom/snes_address.h"

namespace lettermoor {

// Why an original was refused, or that it was taken.
enum class OriginalResult {
  Accepted,
  NoRom,         // no ROM is open to compare with
  Unreadable,    // the file could not be opened (error holds the system's reason)
  NotARom,       // the file is not a ROM of this game
  IsTheRom,      // it is the open ROM itself
  IsTheBackup,   // it is the open ROM's backup, a copy of some earlier state, not the original
  TitleDiffers,  // its title is not the open ROM's
  SizeDiffers,   // its size is neither the open ROM's nor that ROM's size before expansion
};

struct OriginalOutcome {
  OriginalResult result = OriginalResult::NoRom;
  int error = 0;
  int64_t size = 0;      // SizeDiffers: the original's size without a copier header
  int64_t expected = 0;  // SizeDiffers: the open ROM's size without a copier header
  bool Accepted() const { return result == OriginalResult::Accepted; }
};

// What a row is to the translation.
enum class RowTranslation {
  Untranslated,  // its text equals its original's
  Translated,    // its text differs from its original's
  NoOriginal,    // the original has no text there (a text written into the expansion, say)
};

// Where a row's original text lies in the original ROM, and the text itself.
struct OriginalTextOf {
  SnesAddress address = 0;
  std::string text;  // bracketed, as the edit box shows it
};

class OriginalRom {
 public:
  // Opens `path` read-only and checks it against `open` (the ROM being edited).
  static std::unique_ptr<OriginalRom> Open(const std::string& path, const RomFile& open, OriginalOutcome& outcome);

  const std::string& Path() const { return path_; }
  const RomFile& File() const { return *file_; }
  const TextDictionary& Words() const { return dictionary_; }

  // The address of the original text `entry` stands for, in a listing of `mode`; nothing when
  // the original holds no text there.
  std::optional<SnesAddress> AddressFor(const TextEntry& entry, ListingMode mode) const;
  // True when `address` lies in the original's file (after any copier header).
  bool Holds(SnesAddress address) const;
  // The bracketed text at `address` in the original.
  std::string TextAt(SnesAddress address) const;
  // Compares the text at `presentAddress` of `present` (decoded with `presentWords`) with the
  // original's at `originalAddress`: byte for byte first, and when the bytes differ, as text
  // (the same words may be stored compressed one way and plain the other). `presentSize`, when
  // known, is the present string's size count, which spares a walk through it.
  bool SameText(const RomFile& present, const TextDictionary& presentWords, SnesAddress presentAddress,
                SnesAddress originalAddress, std::optional<int32_t> presentSize = std::nullopt) const;
  // True when the `size` bytes at file offset `at` of `present` are the original's at
  // `originalAddress`.
  bool SameBytes(const RomFile& present, int64_t at, int32_t size, SnesAddress originalAddress) const;

 private:
  std::string path_;
  std::unique_ptr<RomFile> file_;
  TextDictionary dictionary_;
  mutable TextBuffer presentText_, originalText_;  // SameText's, reused from row to row
};

// True when expanding a ROM of `before` bytes gives one of `after` bytes (sizes as RomFile counts them).
bool ExpansionGrows(int64_t before, int64_t after);

}  // namespace lettermoor
