#pragma once

// What the two patch formats share with patch.cpp; not for use outside src/rom/.

#include <span>
#include <vector>

#include "rom/patch.h"

namespace lettermoor::patch_detail {

PatchInfo ReadBpsInfo(std::span<const uint8_t> patch);
// Runs the actions of a patch ReadBpsInfo found whole over `source` into `target`, checking each
// against both files and the result against the target's checksum.
PatchFault ApplyBps(std::span<const uint8_t> patch, const PatchInfo& info, std::span<const uint8_t> source,
                    std::vector<uint8_t>& target);

PatchInfo ReadIpsInfo(std::span<const uint8_t> patch);
PatchFault ApplyIps(std::span<const uint8_t> patch, std::span<const uint8_t> rom, std::vector<uint8_t>& result);

}  // namespace lettermoor::patch_detail
