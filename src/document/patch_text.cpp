#include "document/patch_text.h"

#include <cerrno>
#include <cstring>

#include "document/document_text.h"
#include "rom/safe_file.h"

namespace lettermoor {

namespace {

constexpr const char* kNothingWritten = " Nothing was written.";

const char* RoleName(PatchFileRole role) {
  switch (role) {
    case PatchFileRole::Rom: return "the ROM";
    case PatchFileRole::Patch: return "the patch";
    case PatchFileRole::Original: return "the original ROM";
    case PatchFileRole::Modified: return "the modified ROM";
    case PatchFileRole::Output: break;
  }
  return "the output";
}

std::string Bytes(uint64_t n) { return std::to_string(n) + " bytes"; }

}  // namespace

std::string CrcText(uint32_t crc) { return FormatText("%08X", crc); }

std::string DescribePatchFault(const PatchOutcome& outcome) {
  switch (outcome.fault) {
    case PatchFault::None: return {};
    case PatchFault::NotAPatch: return "The file is not a patch: it starts with neither BPS1 nor PATCH.";
    case PatchFault::Truncated:
      return "The patch is cut short: it ends inside a record or an action, or before its end.";
    case PatchFault::BadPatchCrc:
      return "The patch is damaged or incomplete: its own checksum does not match its bytes.";
    case PatchFault::TrailingBytes:
      return "The patch has bytes after its EOF marker that are not a size to cut the file to.";
    case PatchFault::BadAction:
      return "The patch is damaged: an action reads or writes outside the files it names.";
    case PatchFault::TooLarge: return "The patch names a file larger than 64 MB, which no ROM of this game is.";
    case PatchFault::WrongSource:
      return FormatText("This patch is for another ROM: it expects a ROM of %s with CRC-32 %s, and this ROM is %s "
                        "with CRC-32 %s (with or without a copier header).",
                        Bytes(outcome.expectedSize), CrcText(outcome.expectedCrc), Bytes(outcome.romSize),
                        CrcText(outcome.romCrc));
    case PatchFault::AlreadyPatched: return "This ROM is patched already: it is the patch's result.";
    case PatchFault::WrongResult:
      return "The patched result does not have the checksum the patch names for it: the patch is damaged.";
    case PatchFault::IpsPastLimit: break;
  }
  return "The patch could not be applied.";
}

std::string DescribeCreateFault(const CreatedPatch& created) {
  if (created.fault == PatchFault::IpsPastLimit) {
    return FormatText("IPS cannot reach bytes at or past 16 MB, and the files differ at 0x%llX (or one must be cut "
                      "to a size past it). Make a BPS patch instead.",
                      static_cast<unsigned long long>(created.at));
  }
  if (created.fault == PatchFault::TooLarge) return "A file is larger than 64 MB, which no ROM of this game is.";
  return {};
}

std::string DescribePatchFileFailure(const PatchFileOutcome& outcome) {
  using Status = PatchFileOutcome::Status;
  switch (outcome.status) {
    case Status::Done: return {};
    case Status::UnknownFormat:
      return "The patch's name must end in .bps or .ips (its format): " + outcome.path + "." + kNothingWritten;
    case Status::OutputIsInput:
      return FormatText("The output cannot be %s (%s): patches never write over their inputs.", RoleName(outcome.role),
                        outcome.path) + kNothingWritten;
    case Status::CannotRead: {
      const std::string head = FormatText("Cannot read %s %s: ", RoleName(outcome.role), outcome.path);
      if (outcome.read == WholeFile::Fault::NotARegularFile) return head + "it is not a regular file." + kNothingWritten;
      if (outcome.read == WholeFile::Fault::TooLarge) return head + "it is larger than 64 MB." + kNothingWritten;
      return head + std::strerror(outcome.error ? outcome.error : EIO) + "." + kNothingWritten;
    }
    case Status::Refused: {
      const bool creating = outcome.created.fault != PatchFault::None;
      return (creating ? DescribeCreateFault(outcome.created) : DescribePatchFault(outcome.applied)) + kNothingWritten;
    }
    case Status::CannotWrite:
      return FormatText("Cannot write %s: %s.", outcome.path, SafeWriteErrorText(outcome.error)) + kNothingWritten;
  }
  return {};
}

std::string DescribeLayoutMatch(RomLayoutMatch layout) {
  switch (layout) {
    case RomLayoutMatch::AsIs: return {};
    case RomLayoutMatch::HeaderRemoved:
      return "The ROM has a 512-byte copier header the patch's source has not: the patch was applied without "
             "it, and the copy keeps the header.";
    case RomLayoutMatch::HeaderAdded:
      return "The patch's source has a 512-byte copier header the ROM has not: the patch was applied with a "
             "blank one, and the copy is headerless like the ROM.";
  }
  return {};
}

std::vector<std::string> DescribePatchInfo(const PatchInfo& info) {
  std::vector<std::string> lines = {std::string("Format: ") + PatchFormatName(info.format),
                                    "Patch size: " + Bytes(info.patchSize)};
  if (info.format == PatchFormat::Bps) {
    lines.push_back("Source size: " + Bytes(info.sourceSize));
    lines.push_back("Source CRC-32: " + CrcText(info.sourceCrc));
    lines.push_back("Target size: " + Bytes(info.targetSize));
    lines.push_back("Target CRC-32: " + CrcText(info.targetCrc));
    lines.push_back("Patch CRC-32: " + CrcText(info.patchCrc) +
                    (info.patchCrc == info.actualPatchCrc ? " (valid)"
                                                          : " (wrong: the patch's bytes give " +
                                                                CrcText(info.actualPatchCrc) + ")"));
    lines.push_back("Metadata: " + Bytes(info.metadataSize));
    lines.push_back("Actions: " + std::to_string(info.actions));
  } else {
    lines.push_back("Records: " + std::to_string(info.records) + " (" + std::to_string(info.rleRecords) + " RLE)");
    lines.push_back("Writes up to: " + Bytes(info.reach));
    if (info.truncateTo) lines.push_back("Cuts the file to: " + Bytes(*info.truncateTo));
  }
  return lines;
}

std::string DescribeRomForPatch(std::span<const uint8_t> rom, const PatchInfo& info) {
  if (info.format == PatchFormat::Ips) return "ROM: an IPS patch has no checksums, so whether it fits cannot be told.";
  if (const std::optional<RomLayoutMatch> source = MatchBpsSource(rom, info)) {
    if (*source == RomLayoutMatch::AsIs) return "ROM: is the patch's source.";
    return *source == RomLayoutMatch::HeaderRemoved ? "ROM: is the patch's source once its copier header is removed."
                                                    : "ROM: is the patch's source once a blank copier header is added.";
  }
  if (MatchBpsTarget(rom, info)) return "ROM: is patched already (it is the patch's target).";
  return "ROM: is not the patch's source (" + Bytes(rom.size()) + ", CRC-32 " + CrcText(Crc32(rom)) + ").";
}

}  // namespace lettermoor
