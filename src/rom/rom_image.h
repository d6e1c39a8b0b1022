#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "rom/rom_file.h"
#include "rom/rom_type.h"

namespace lettermoor {

// File offsets and sizes of the ROM layout that recognition and expansion rely on.
inline constexpr int64_t kTitleOffset = 0x101C0;
inline constexpr int kTitleLength = 15;
inline constexpr int64_t kExpandedRomSize = 0x4001FF;  // from this size on a ROM counts as expanded
inline constexpr int kExpansionBlockSize = 256;        // 255 bytes 0x00, then the end code 0x02

// The one ROM the editor works on: the open file (or none), its bare name and its path.
// A ROM is loaded exactly when the handle is present.
struct RomImage {
  std::unique_ptr<RomFile> handle;
  std::string fileName;
  std::string path;

  bool IsLoaded() const { return handle != nullptr; }
};

// Opens an existing regular file as asked; nullptr when it cannot be opened so (missing, without
// the permission, not a regular file, empty path), with the system's error number in `error`.
std::unique_ptr<RomFile> OpenRomFile(const std::string& path, RomAccess access = RomAccess::ReadWrite,
                                     int* error = nullptr);

// Recognises the file by the 15 title bytes at 0x101C0; bytes past the end read as 0xFF.
RomType DetectRomType(const RomFile& file);

// The file's size in bytes.
int64_t RomFileSize(const RomFile& file);

// True when the file is at least 0x4001FF bytes long.
bool IsExpandedRom(const RomFile& file);

enum class GrowResult {
  Grown,           // blocks were appended through the open descriptor
  AlreadyLarge,    // the file was already at least the target size; nothing changed
  ReadOnly,        // the file was opened read-only; nothing changed
  FileReplaced,    // the path no longer names the open file; nothing changed
  Failed,          // appending failed and the file was cut back to its old size
  FailedDamaged,   // appending failed and the file could not be cut back
  NotOpen,         // there was no open file to grow
  BackupFailed,    // the copy kept before the first change could not be made; nothing changed
  JournalFailed,   // the rollback journal could not be made; nothing changed
};

// Appends whole 256-byte blank blocks until the file is at least `target` bytes long, writing
// them at the file's size through the descriptor already open (under the file's lock, so that a
// second expansion at the same moment finds the work done). The path is never opened again.
[[nodiscard]] GrowResult GrowRom(RomImage& rom, int64_t target);

// True when `bytes`, a whole file's own bytes, are a ROM the editor would open in the layout
// `headerless` names: an accepted title where that layout has it (and, for a headerless one, none
// where a header would put it), and a ROM's size: a whole number of 32 KiB banks, from the
// game's 3 MiB to 8 MiB, plus the copier header when it has one. A revert to a kept copy puts back
// only such bytes.
bool IsRestorableRom(std::span<const uint8_t> bytes, bool headerless);

// Closes the file, if any; the image keeps no handle.
void CloseRomFile(RomImage& rom);

// The bare file name of a path (what follows the last '/').
std::string BareFileName(const std::string& path);

// A file name without its extension ("game.smc" -> "game"); a leading dot is no extension.
std::string FileStem(const std::string& name);

}  // namespace lettermoor
