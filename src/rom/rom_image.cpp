#include "rom/rom_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

RomType TitleAt(const RomFile& file, int64_t offset) {
  char title[kTitleLength + 1] = {};
  for (int i = 0; i < kTitleLength; ++i) {
    title[i] = static_cast<char>(file.ReadByte(offset + i));
  }
  // Compared as a zero-terminated string: a zero byte in the title ends it early and never matches.
  if (std::strcmp(title, "EARTH BOUND (J)") == 0) return RomType::EarthBound;
  if (std::strcmp(title, "MOTHER-2       ") == 0) return RomType::Mother2;
  if (std::strcmp(title, "EARTH BOUND    ") == 0) return RomType::EarthBoundBad;
  return RomType::Unrecognized;
}

}  // namespace

std::unique_ptr<RomFile> OpenRomFile(const std::string& path) {
  std::unique_ptr<RomFile> file = RomFile::Open(path);
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
  rom.handle->Refresh();
  const int64_t size = RomFileSize(*rom.handle);
  if (static_cast<uint64_t>(size) >= static_cast<uint64_t>(target)) return GrowResult::AlreadyLarge;

  rom.handle.reset();
  const int64_t blocks = (target - size + kExpansionBlockSize - 1) / kExpansionBlockSize;
  std::vector<uint8_t> tail(static_cast<size_t>(blocks * kExpansionBlockSize), 0x00);
  for (int64_t b = 1; b <= blocks; ++b) tail[static_cast<size_t>(b * kExpansionBlockSize - 1)] = 0x02;

  bool appended = false;
  int fd = ::open(rom.path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd >= 0) {
    size_t done = 0;
    appended = true;
    while (done < tail.size()) {
      ssize_t put = ::write(fd, tail.data() + done, tail.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        appended = false;
        break;
      }
      done += static_cast<size_t>(put);
    }
    if (::fsync(fd) != 0) appended = false;
    // A disk that filled up part way leaves blocks behind: take them back, so that a failed
    // expansion leaves the file as it was.
    if (!appended && ::ftruncate(fd, static_cast<off_t>(size)) == 0) ::fsync(fd);
    ::close(fd);
  }
  rom.handle = OpenRomFile(rom.path);
  if (!rom.handle) return GrowResult::Closed;
  if (!appended) return GrowResult::Failed;
  return GrowResult::Grown;
}

void CloseRomFile(RomImage& rom) { rom.handle.reset(); }

std::string BareFileName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace lettermoor
