#pragma once

// The words of patch messages, for the window and the command-line tool, from the result values
// of rom/patch.h and rom/patch_file.h.

#include <string>
#include <vector>

#include "rom/patch.h"
#include "rom/patch_file.h"

namespace lettermoor {

namespace patch_text {
inline constexpr const char* kCreateCaption = "Create Patch";
inline constexpr const char* kApplyCaption = "Apply Patch to a Copy";
inline constexpr const char* kOutputIsBackup = "%s is the ROM's backup copy.\nNothing was written.";
inline constexpr const char* kCreated = "Wrote the %s patch %s (%zu bytes), from %s to %s.";
inline constexpr const char* kApplied = "Wrote the patched copy %s (%zu bytes).";
inline constexpr const char* kOpenCopyQuestion = "Open the patched copy %s now?";
}  // namespace patch_text

// "1A2B3C4D".
std::string CrcText(uint32_t crc);

// Why a patch could not be applied, or made (an IPS past 16 MB, a file too large).
std::string DescribePatchFault(const PatchOutcome& outcome);
std::string DescribeCreateFault(const CreatedPatch& created);

// Why a patch command between files did nothing; empty when it was done. Ends with "Nothing was
// written." where something was going to be.
std::string DescribePatchFileFailure(const PatchFileOutcome& outcome);

// How the ROM met a BPS patch's source, when not as it is: what was done about its header.
std::string DescribeLayoutMatch(RomLayoutMatch layout);

// One "Name: value" line each: format, sizes, checksums, records.
std::vector<std::string> DescribePatchInfo(const PatchInfo& info);

// Whether `rom` is the source of a BPS patch (or its target already); for IPS, that it cannot be
// told.
std::string DescribeRomForPatch(std::span<const uint8_t> rom, const PatchInfo& info);

}  // namespace lettermoor
