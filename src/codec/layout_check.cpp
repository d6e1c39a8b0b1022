#include "codec/layout_check.h"

#include <unordered_map>

#include "codec/text_window_picture.h"
#include "rom/snes_address.h"

namespace lettermoor {

std::vector<LayoutCheckHit> CheckLayouts(const RomFile& rom, const TextEntryTable& table, const TextLayout& layout,
                                         TextWindowKind kind, bool estimates) {
  std::vector<LayoutCheckHit> hits;
  std::unordered_map<SnesAddress, std::string> seen;  // fault of every string laid out, by address
  seen.reserve(table.entries.size());
  TextLayoutResult result;
  for (int row = 0; row < table.count(); ++row) {
    const SnesAddress address = table.entries[static_cast<size_t>(row)].textAddress;
    auto [at, fresh] = seen.try_emplace(address);
    if (fresh) {
      layout.LayForCheck(rom, SnesToFileOffset(address), kind, estimates, result);
      at->second = LayoutFault(result, estimates);
    }
    if (!at->second.empty()) hits.push_back(LayoutCheckHit{row, at->second});
  }
  return hits;
}

}  // namespace lettermoor
