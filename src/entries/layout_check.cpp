#include "entries/layout_check.h"

#include <unordered_map>

#include "codec/jump_codes.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

// The end-code warning of the string at `offset`. Its walk stops at the first end code, so only
// one that reaches the size limit can lack it.
std::vector<TextWarning> EndCodeWarningsAt(const RomFile& rom, int64_t offset) {
  const int32_t size = ScanJumpCodes(rom, offset, [](const JumpCodeAt&) {});
  if (size < kDecodeSizeLimit) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  rom.Read(offset, bytes);
  return EndCodeWarnings(bytes);
}

}  // namespace

std::vector<LayoutCheckHit> CheckLayouts(const RomFile& rom, const TextEntryTable& table, const TextLayout& layout,
                                         TextWindowKind kind, bool estimates) {
  std::vector<LayoutCheckHit> hits;
  std::unordered_map<SnesAddress, std::vector<LayoutCheckFault>> seen;  // faults of every string laid out, by address
  seen.reserve(table.entries.size());
  TextLayoutResult result;
  for (int row = 0; row < table.count(); ++row) {
    const SnesAddress address = table.entries[static_cast<size_t>(row)].textAddress;
    auto [at, fresh] = seen.try_emplace(address);
    if (fresh) {
      const int64_t offset = SnesToFileOffset(address);
      layout.LayForCheck(rom, offset, kind, estimates, result);
      if (const std::optional<LayoutFaultAt> fault = FindLayoutFault(result, estimates)) at->second.push_back(*fault);
      for (const TextWarning& w : EndCodeWarningsAt(rom, offset)) at->second.push_back(w);
    }
    for (const LayoutCheckFault& fault : at->second) hits.push_back(LayoutCheckHit{row, fault});
  }
  return hits;
}

std::string DescribeLayoutCheckFault(const LayoutCheckHit& hit) {
  if (const LayoutFaultAt* fault = std::get_if<LayoutFaultAt>(&hit.fault)) return DescribeLayoutFault(*fault);
  return DescribeTextWarning(std::get<TextWarning>(hit.fault));
}

}  // namespace lettermoor
