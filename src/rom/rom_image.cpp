#include "rom/rom_image.h"

#include <cstring>
#include <vector>

namespace lettermoor {

const char* RomTypeName(RomType type) {
  switch (type) {
    case RomType::EarthBound: return "EarthBound ROM";
    case RomType::Mother2: return "Mother 2 ROM";
    case RomType::EarthBoundBad: return "EarthBound ROM (bad)";
    case RomType::Unrecognized: break;
  }
  return "Unknown/invalid ROM";
}

namespace {

template <typename ReadByte>
RomType TitleFrom(ReadByte&& read, int64_t offset) {
  char title[kTitleLength + 1] = {};
  for (int i = 0; i < kTitleLength; ++i) {
    title[i] = static_cast<char>(read(offset + i));
  }
  // Compared as a zero-terminated string: a zero byte in the title ends it early and never matches.
  if (std::strcmp(title, "EARTH BOUND (J)") == 0) return RomType::EarthBound;
  if (std::strcmp(title, "MOTHER-2       ") == 0) return RomType::Mother2;
  if (std::strcmp(title, "EARTH BOUND    ") == 0) return RomType::EarthBoundBad;
  return RomType::Unrecognized;
}

RomType TitleAt(const RomFile& file, int64_t offset) {
  return TitleFrom([&](int64_t at) { return file.ReadByte(at); }, offset);
}

}  // namespace

std::unique_ptr<RomFile> OpenRomFile(const std::string& path, RomAccess access, int* error) {
  std::unique_ptr<RomFile> file = RomFile::Open(path, access, error);
  // A file whose title sits where a headed file's would is headed, whatever else it holds;
  // only a file recognised by the headerless title alone is taken as headerless.
  if (file && TitleAt(*file, kTitleOffset) == RomType::Unrecognized &&
      TitleAt(*file, kTitleOffset - RomFile::kCopierHeaderSize) != RomType::Unrecognized) {
    file->TreatAsHeaderless();
  }
  return file;
}

RomType DetectRomType(const RomFile& file) { return TitleAt(file, kTitleOffset); }

int64_t RomFileSize(const RomFile& file) { return file.Size(); }

bool IsExpandedRom(const RomFile& file) { return RomFileSize(file) >= kExpandedRomSize; }

GrowResult GrowRom(RomImage& rom, int64_t target) {
  if (!rom.handle) return GrowResult::NotOpen;
  RomFile& file = *rom.handle;
  file.Refresh();
  if (static_cast<uint64_t>(file.Size()) >= static_cast<uint64_t>(target)) return GrowResult::AlreadyLarge;
  bool appended = false;
  const WriteResult result = file.Extend(target, [&](int64_t size) {
    appended = true;
    const int64_t blocks = (target - size + kExpansionBlockSize - 1) / kExpansionBlockSize;
    std::vector<uint8_t> tail(static_cast<size_t>(blocks * kExpansionBlockSize), 0x00);
    for (int64_t b = 1; b <= blocks; ++b) tail[static_cast<size_t>(b * kExpansionBlockSize - 1)] = 0x02;
    return tail;
  });
  switch (result.status) {
    case WriteStatus::Written: return appended ? GrowResult::Grown : GrowResult::AlreadyLarge;
    case WriteStatus::ReadOnly: return GrowResult::ReadOnly;
    case WriteStatus::FileReplaced: return GrowResult::FileReplaced;
    case WriteStatus::FailedDamaged: return GrowResult::FailedDamaged;
    case WriteStatus::BackupFailed: return GrowResult::BackupFailed;
    case WriteStatus::JournalFailed: return GrowResult::JournalFailed;
    case WriteStatus::OutsideFile:
    case WriteStatus::FailedRestored: break;
  }
  return GrowResult::Failed;
}

bool IsRestorableRom(std::span<const uint8_t> bytes, bool headerless) {
  constexpr int64_t kBank = 0x8000;
  const int64_t header = headerless ? 0 : RomFile::kCopierHeaderSize;
  const int64_t own = static_cast<int64_t>(bytes.size()) - header;
  if (own < 0x300000 || own > 0x800000 || own % kBank != 0) return false;
  // Read as the headed layout addresses it, the way the open file is read.
  auto read = [&](int64_t at) -> uint8_t {
    const int64_t i = at - RomFile::kCopierHeaderSize + header;
    return i >= 0 && i < static_cast<int64_t>(bytes.size()) ? bytes[static_cast<size_t>(i)] : 0x00;
  };
  if (headerless) {
    // A header-sized shift that would also find a title makes the file open as headed.
    auto raw = [&](int64_t at) -> uint8_t { return bytes[static_cast<size_t>(at)]; };
    if (TitleFrom(raw, kTitleOffset) != RomType::Unrecognized) return false;
  }
  return IsAcceptedRomType(TitleFrom(read, kTitleOffset));
}

void CloseRomFile(RomImage& rom) { rom.handle.reset(); }

std::string BareFileName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FileStem(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace lettermoor
