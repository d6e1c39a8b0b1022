#include "rom/patch.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "rom/patch_detail.h"

namespace lettermoor {

namespace {

bool StartsWith(std::span<const uint8_t> bytes, const char* magic) {
  const size_t n = std::strlen(magic);
  return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

// The CRC of a blank copier header followed by `rom`.
uint32_t CrcWithBlankHeader(std::span<const uint8_t> rom) {
  static const uint8_t kBlank[kCopierHeaderBytes] = {};
  return Crc32(rom, Crc32(kBlank));
}

// In which layout `rom` is a file of `size` bytes with checksum `crc`.
std::optional<RomLayoutMatch> MatchFile(std::span<const uint8_t> rom, uint64_t size, uint32_t crc) {
  if (rom.size() == size && Crc32(rom) == crc) return RomLayoutMatch::AsIs;
  if (rom.size() == size + kCopierHeaderBytes && Crc32(rom.subspan(kCopierHeaderBytes)) == crc) {
    return RomLayoutMatch::HeaderRemoved;
  }
  if (rom.size() + kCopierHeaderBytes == size && CrcWithBlankHeader(rom) == crc) return RomLayoutMatch::HeaderAdded;
  return std::nullopt;
}

PatchOutcome ApplyBpsToRom(std::span<const uint8_t> rom, std::span<const uint8_t> patch) {
  PatchOutcome outcome;
  outcome.format = PatchFormat::Bps;
  const PatchInfo info = patch_detail::ReadBpsInfo(patch);
  outcome.expectedSize = info.sourceSize;
  outcome.expectedCrc = info.sourceCrc;
  outcome.romSize = rom.size();
  if (info.fault != PatchFault::None) {
    outcome.fault = info.fault;
    return outcome;
  }
  const std::optional<RomLayoutMatch> layout = MatchBpsSource(rom, info);
  if (!layout) {
    outcome.romCrc = Crc32(rom);
    outcome.fault = MatchBpsTarget(rom, info) ? PatchFault::AlreadyPatched : PatchFault::WrongSource;
    return outcome;
  }
  outcome.layout = *layout;
  outcome.romCrc = info.sourceCrc;
  std::vector<uint8_t> headed;
  std::span<const uint8_t> source = rom;
  if (*layout == RomLayoutMatch::HeaderRemoved) {
    source = rom.subspan(kCopierHeaderBytes);
  } else if (*layout == RomLayoutMatch::HeaderAdded) {
    headed.assign(kCopierHeaderBytes, 0);
    headed.insert(headed.end(), rom.begin(), rom.end());
    source = headed;
  }
  std::vector<uint8_t> target;
  outcome.fault = patch_detail::ApplyBps(patch, info, source, target);
  if (outcome.fault != PatchFault::None) return outcome;
  // The result in the user's layout: their own header back in front, or the blank one taken off.
  if (*layout == RomLayoutMatch::HeaderRemoved) {
    target.insert(target.begin(), rom.begin(), rom.begin() + kCopierHeaderBytes);
  } else if (*layout == RomLayoutMatch::HeaderAdded) {
    if (target.size() < kCopierHeaderBytes) {
      outcome.fault = PatchFault::BadAction;
      return outcome;
    }
    target.erase(target.begin(), target.begin() + kCopierHeaderBytes);
  }
  outcome.result = std::move(target);
  return outcome;
}

}  // namespace

const char* PatchFormatName(PatchFormat format) { return format == PatchFormat::Bps ? "BPS" : "IPS"; }

std::optional<PatchFormat> PatchFormatOfName(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == "bps") return PatchFormat::Bps;
  if (ext == "ips") return PatchFormat::Ips;
  return std::nullopt;
}

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
  // zlib gives 0 for no buffer, whatever the CRC so far.
  if (bytes.empty()) return crc;
  return static_cast<uint32_t>(::crc32_z(crc, bytes.data(), bytes.size()));
}

PatchInfo ReadPatchInfo(std::span<const uint8_t> patch) {
  if (StartsWith(patch, "PATCH")) return patch_detail::ReadIpsInfo(patch);
  return patch_detail::ReadBpsInfo(patch);
}

std::optional<RomLayoutMatch> MatchBpsSource(std::span<const uint8_t> rom, const PatchInfo& info) {
  if (info.format != PatchFormat::Bps) return std::nullopt;
  return MatchFile(rom, info.sourceSize, info.sourceCrc);
}

std::optional<RomLayoutMatch> MatchBpsTarget(std::span<const uint8_t> rom, const PatchInfo& info) {
  if (info.format != PatchFormat::Bps) return std::nullopt;
  return MatchFile(rom, info.targetSize, info.targetCrc);
}

PatchOutcome ApplyPatch(std::span<const uint8_t> rom, std::span<const uint8_t> patch) {
  if (!StartsWith(patch, "PATCH")) return ApplyBpsToRom(rom, patch);
  PatchOutcome outcome;
  outcome.format = PatchFormat::Ips;
  outcome.romSize = rom.size();
  std::vector<uint8_t> result;
  outcome.fault = patch_detail::ApplyIps(patch, rom, result);
  if (outcome.Applied()) outcome.result = std::move(result);
  return outcome;
}

CreatedPatch CreatePatch(PatchFormat format, std::span<const uint8_t> original, std::span<const uint8_t> modified) {
  if (original.size() > kPatchSizeLimit || modified.size() > kPatchSizeLimit) {
    CreatedPatch tooLarge;
    tooLarge.fault = PatchFault::TooLarge;
    return tooLarge;
  }
  if (format == PatchFormat::Ips) return CreateIps(original, modified);
  CreatedPatch created;
  created.bytes = CreateBps(original, modified);
  return created;
}

}  // namespace lettermoor
