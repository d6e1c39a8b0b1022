#include "document/original_rom.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "codec/decode_items.h"
#include "codec/text_buffer.h"
#include "codec/text_sinks.h"
#include "entries/text_entry_table.h"
#include "rom/rom_image.h"

namespace lettermoor {

namespace {

bool SameTitle(const RomFile& a, const RomFile& b) {
  for (int i = 0; i < kTitleLength; ++i) {
    if (a.ReadByte(kTitleOffset + i) != b.ReadByte(kTitleOffset + i)) return false;
  }
  return true;
}

int32_t SizeAt(const RomFile& rom, int64_t offset) {
  NoText none;
  bool lastDescribed = false;
  return ReadItems(rom, offset, kNoWords, none, lastDescribed);
}

void BracketedInto(const RomFile& rom, const TextDictionary& words, int64_t offset, TextBuffer& text) {
  BracketedText sink(text);
  bool lastDescribed = false;
  ReadItems(rom, offset, words, sink, lastDescribed);
}

std::string BracketedAt(const RomFile& rom, const TextDictionary& words, int64_t offset) {
  TextBuffer text;
  BracketedInto(rom, words, offset, text);
  return text.ToString();
}

}  // namespace

bool ExpansionGrows(int64_t before, int64_t after) {
  if (before >= kExpandedRomSize || before <= 0) return false;
  const int64_t blocks = (kExpandedRomSize - before + kExpansionBlockSize - 1) / kExpansionBlockSize;
  return before + blocks * kExpansionBlockSize == after;
}

std::unique_ptr<OriginalRom> OriginalRom::Open(const std::string& path, const RomFile& open,
                                               OriginalOutcome& outcome) {
  outcome = OriginalOutcome();
  std::unique_ptr<RomFile> file = OpenRomFile(path, RomAccess::ReadOnly, &outcome.error);
  if (!file) {
    outcome.result = OriginalResult::Unreadable;
    return nullptr;
  }
  const RomType type = DetectRomType(*file);
  if (type != RomType::EarthBound && type != RomType::EarthBoundBad) {
    outcome.result = OriginalResult::NotARom;
    return nullptr;
  }
  if (!SameTitle(*file, open)) {
    outcome.result = OriginalResult::TitleDiffers;
    return nullptr;
  }
  // The usual pair is a 3 MB original beside the 4 MB ROM its translation was expanded into.
  if (file->Size() != open.Size() && !ExpansionGrows(file->Size(), open.Size())) {
    outcome.result = OriginalResult::SizeDiffers;
    outcome.size = file->Size() - RomFile::kCopierHeaderSize;
    outcome.expected = open.Size() - RomFile::kCopierHeaderSize;
    return nullptr;
  }
  auto original = std::unique_ptr<OriginalRom>(new OriginalRom());
  original->path_ = path;
  original->file_ = std::move(file);
  LoadTextDictionary(*original->file_, original->dictionary_);
  outcome.result = OriginalResult::Accepted;
  outcome.error = 0;
  return original;
}

std::optional<SnesAddress> OriginalRom::AddressFor(const TextEntry& entry, ListingMode mode) const {
  std::optional<SnesAddress> address = entry.textAddress;
  // A record or plain pointer keeps its place when its text moves: follow it in the original.
  if (mode == ListingMode::PointerTableListing && entry.location != 0) address = CurrentTextAddress(*file_, entry);
  if (!address || !Holds(*address)) return std::nullopt;
  return address;
}

bool OriginalRom::Holds(SnesAddress address) const {
  const int64_t offset = SnesToFileOffset(address);
  return offset >= RomFile::kCopierHeaderSize && offset < file_->Size();
}

std::string OriginalRom::TextAt(SnesAddress address) const {
  return BracketedAt(*file_, dictionary_, SnesToFileOffset(address));
}

bool OriginalRom::SameText(const RomFile& present, const TextDictionary& presentWords, SnesAddress presentAddress,
                           SnesAddress originalAddress, std::optional<int32_t> presentSize) const {
  const int64_t at = SnesToFileOffset(presentAddress);
  const int64_t from = SnesToFileOffset(originalAddress);
  // The same bytes are the same text, and end where the present string ends: at most one walk,
  // and the bytes compared where they lie (this runs for every row of every fill).
  const int32_t size = presentSize ? *presentSize : SizeAt(present, at);
  if (size > 0 && at + size <= present.MirrorSize() && from + size <= file_->MirrorSize()) {
    if (SameBytes(present, at, size, originalAddress)) return true;
  } else if (size == SizeAt(*file_, from)) {
    std::vector<uint8_t> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
    present.Read(at, a);
    file_->Read(from, b);
    if (a == b) return true;
  }
  // The same words may be stored compressed one way and plain the other: compared as text, in
  // buffers kept from row to row.
  presentText_.Clear();
  originalText_.Clear();
  BracketedInto(present, presentWords, at, presentText_);
  BracketedInto(*file_, dictionary_, from, originalText_);
  return presentText_.View() == originalText_.View();
}

bool OriginalRom::SameBytes(const RomFile& present, int64_t at, int32_t size, SnesAddress originalAddress) const {
  const int64_t from = SnesToFileOffset(originalAddress);
  if (size <= 0 || at < 0 || from < 0) return false;
  if (at + size <= present.MirrorSize() && from + size <= file_->MirrorSize()) {
    return std::memcmp(present.MirrorData() + at, file_->MirrorData() + from, static_cast<size_t>(size)) == 0;
  }
  // Past the kept copy: read the bytes, which may run off either file.
  if (at + size > present.Size() || from + size > file_->Size()) return false;
  std::vector<uint8_t> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
  present.Read(at, a);
  file_->Read(from, b);
  return a == b;
}

}  // namespace lettermoor
