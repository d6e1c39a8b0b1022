#pragma once

// Patches, the way a translation or hack is shared: BPS (checksums of the source, the target and
// the patch itself; relative copy actions) and IPS (offset and size records, RLE records, "EOF").
// Everything here works on bytes in memory and gives result values; patch_file.h reads and
// writes the files.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lettermoor {

enum class PatchFormat { Bps, Ips };

// "BPS" or "IPS".
const char* PatchFormatName(PatchFormat format);

// The format a file name asks for by its extension (.bps, .ips, any case); nothing for others.
std::optional<PatchFormat> PatchFormatOfName(const std::string& path);

// CRC-32 as BPS uses it (zlib's).
uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

// Why a patch could not be read, made or applied.
enum class PatchFault {
  None,
  NotAPatch,       // it starts with neither "BPS1" nor "PATCH"
  Truncated,       // it ends inside a number, an action or a record, or before its checksums or "EOF"
  BadPatchCrc,     // BPS: the patch's own checksum does not match its bytes
  TrailingBytes,   // IPS: bytes after "EOF" that are not a 3-byte size
  BadAction,       // an action reads or writes outside the files it names
  TooLarge,        // a size past what a ROM patch can need
  WrongSource,     // BPS: the ROM is not the patch's source, in either layout
  AlreadyPatched,  // BPS: the ROM is the patch's target already
  WrongResult,     // BPS: the result's checksum is not the target's
  IpsPastLimit,    // IPS: the files differ at or past 16 MB, where no record can start
};

// How the ROM met the patch's source.
enum class RomLayoutMatch {
  AsIs,           // byte for byte
  HeaderRemoved,  // the ROM has a 512-byte copier header the source has not
  HeaderAdded,    // the source has a blank copier header the ROM has not
};

inline constexpr size_t kCopierHeaderBytes = 512;
// The largest ROM or patch handled: the game's ROMs are at most 8 MB.
inline constexpr size_t kPatchSizeLimit = 64u << 20;
// IPS offsets are 3 bytes; one that reads "EOF" would end the patch.
inline constexpr uint32_t kIpsOffsetLimit = 0x1000000;
inline constexpr uint32_t kIpsEofOffset = 0x454F46;

// What a patch says about itself.
struct PatchInfo {
  PatchFormat format = PatchFormat::Bps;
  PatchFault fault = PatchFault::None;  // None when the whole patch reads
  size_t patchSize = 0;
  // BPS.
  uint64_t sourceSize = 0, targetSize = 0, metadataSize = 0;
  uint32_t sourceCrc = 0, targetCrc = 0, patchCrc = 0;  // as stored
  uint32_t actualPatchCrc = 0;                           // of the patch's bytes
  size_t actions = 0;
  // IPS.
  size_t records = 0, rleRecords = 0;
  uint64_t reach = 0;                     // the end of the furthest record: the least size it makes
  std::optional<uint32_t> truncateTo;     // the 3-byte size after "EOF", when there is one
};

PatchInfo ReadPatchInfo(std::span<const uint8_t> patch);

// A patch applied to a ROM's bytes. The result keeps the ROM's own layout.
struct PatchOutcome {
  PatchFault fault = PatchFault::None;
  PatchFormat format = PatchFormat::Bps;
  RomLayoutMatch layout = RomLayoutMatch::AsIs;
  std::vector<uint8_t> result;
  // WrongSource and AlreadyPatched: what the patch expects and what the ROM is.
  uint64_t expectedSize = 0, romSize = 0;
  uint32_t expectedCrc = 0, romCrc = 0;
  bool Applied() const { return fault == PatchFault::None; }
};

// Applies a BPS or IPS patch (told apart by its first bytes). Everything is checked before a
// result is given: a fault gives no result.
PatchOutcome ApplyPatch(std::span<const uint8_t> rom, std::span<const uint8_t> patch);

// Whether `rom` is the source of a BPS patch `info` describes, and in which layout; nothing when
// it is not.
std::optional<RomLayoutMatch> MatchBpsSource(std::span<const uint8_t> rom, const PatchInfo& info);
// The same for its target: the ROM is patched already.
std::optional<RomLayoutMatch> MatchBpsTarget(std::span<const uint8_t> rom, const PatchInfo& info);

struct CreatedPatch {
  PatchFault fault = PatchFault::None;
  std::vector<uint8_t> bytes;
  uint64_t at = 0;  // IpsPastLimit: the first offset that cannot be reached
};

// A patch that turns `original` into `modified`.
CreatedPatch CreatePatch(PatchFormat format, std::span<const uint8_t> original, std::span<const uint8_t> modified);

// The two formats on their own.
std::vector<uint8_t> CreateBps(std::span<const uint8_t> source, std::span<const uint8_t> target);
CreatedPatch CreateIps(std::span<const uint8_t> original, std::span<const uint8_t> modified);

}  // namespace lettermoor
