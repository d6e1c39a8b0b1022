// Document's translation work beside an original ROM: the PO export and the consistency check.

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "codec/hex_text.h"
#include "codec/text_preview.h"
#include "document/document.h"
#include "entries/entry_points.h"
#include "entries/layout_check.h"
#include "script/po_file.h"
#include "script/script_text.h"

namespace lettermoor {

namespace {

std::string Hex(SnesAddress address) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(address));
  return buf;
}

// Rows whose dialogue-window layout runs over or cuts a word; nothing when the fonts are unreadable.
std::optional<std::vector<bool>> Overruns(const RomFile& rom, const TextEntryTable& table,
                                          const TextDictionary& dictionary) {
  const TextPreviewer previewer(rom);
  if (previewer.RefusalFor(TextWindowKind::Dialogue) != PreviewRefusal::None) return std::nullopt;
  const TextLayout layout(dictionary, previewer.Widths());
  std::vector<bool> over(static_cast<size_t>(table.count()), false);
  for (const LayoutCheckHit& hit : CheckLayouts(rom, table, layout, TextWindowKind::Dialogue, false)) {
    if (std::holds_alternative<LayoutFaultAt>(hit.fault)) over[static_cast<size_t>(hit.row)] = true;
  }
  return over;
}

// Letters outside the bracketed codes: a text a translator would have had to touch.
bool HoldsLetters(std::string_view text) {
  int depth = 0;
  for (const char c : text) {
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (depth == 0 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> Document::OriginalScriptText(SnesAddress address) {
  if (!original_) return std::nullopt;
  if (!original_->Holds(address)) return std::nullopt;
  return ScriptText(original_->File(), SnesToFileOffset(address), original_->Words(), state_);
}

std::optional<PoExport> Document::ExportPo(const std::function<bool(int, int)>& progress) {
  RomFile* rom = Synced();
  if (!rom) return std::nullopt;
  const ReferenceIndex& index = References();
  // One entry per distinct text address, in the order the listing first shows it.
  std::vector<SnesAddress> order;
  std::vector<std::vector<int>> rowsOf;
  std::unordered_map<SnesAddress, size_t> blockOf;
  for (int row = 0; row < table_.count(); ++row) {
    const SnesAddress address = table_.entries[static_cast<size_t>(row)].textAddress;
    auto [it, added] = blockOf.try_emplace(address, order.size());
    if (added) {
      order.push_back(address);
      rowsOf.emplace_back();
    }
    rowsOf[it->second].push_back(row);
  }
  const std::optional<std::vector<bool>> overruns = Overruns(*rom, table_, dictionary_);
  EntryPoints entryPoints(*rom, order, &index);
  PoExport result;
  std::vector<PoEntry> entries;
  entries.reserve(order.size());
  std::unordered_set<std::string> contexts;
  const int total = static_cast<int>(order.size());
  for (int n = 0; n < total; ++n) {
    if (progress && n % 64 == 0 && !progress(n, total)) return std::nullopt;
    const SnesAddress address = order[static_cast<size_t>(n)];
    const std::vector<int>& rows = rowsOf[static_cast<size_t>(n)];
    PoEntry entry;
    int32_t size = 0;
    std::string present = ScriptText(*rom, SnesToFileOffset(address), dictionary_, state_, &size);
    // The identity is where the original holds the text, which stays when the text moves.
    SnesAddress identity = address;
    std::optional<std::string> original;
    if (original_) {
      if (const std::optional<SnesAddress> at = original_->AddressFor(table_.entries[static_cast<size_t>(rows[0])], mode_)) {
        identity = *at;
        original = OriginalScriptText(*at);
      }
    }
    entry.context = "$" + Hex(identity);
    // Two texts that lead back to one original text (a pointer edited by hand) stay two entries.
    if (!contexts.insert(*entry.context).second) entry.context = "$" + Hex(identity) + " at $" + Hex(address);
    contexts.insert(*entry.context);
    if (original && *original != present) {
      entry.id = Shown(std::move(*original));
      entry.str = Shown(std::move(present));
      ++result.translated;
    } else {
      entry.id = Shown(std::move(present));
      ++result.untranslated;
    }
    for (const int row : rows) entry.references.push_back("line:" + std::to_string(row + 1));
    for (const Reference& r : index.To(address)) {
      if (r.kind == ReferenceKind::PointerRecord) entry.references.push_back("record:" + std::to_string(r.number));
      if (r.kind == ReferenceKind::PlainPointer) entry.references.push_back("pointer:" + std::to_string(r.number));
      if (r.kind == ReferenceKind::JumpCode) {
        entry.references.push_back("jump:$" + Hex(FileOffsetToSnes(static_cast<int32_t>(r.stringOffset))));
      }
    }
    std::optional<bool> fits;
    if (overruns) fits = !(*overruns)[static_cast<size_t>(rows[0])];
    entry.extracted.push_back(PoSizeComment(size, entryPoints.SharedWith(SnesToFileOffset(address), size), fits));
    entries.push_back(std::move(entry));
  }
  if (progress) progress(total, total);
  result.text = WritePo(PoHeader(rom_.fileName, ScriptListingName(mode_)), entries);
  return result;
}

std::vector<ConsistencyFinding> Document::Consistency() {
  std::vector<ConsistencyFinding> findings;
  if (!original_ || !Synced()) return findings;
  // Rows grouped by their original text, in the order of each group's first row.
  std::unordered_map<std::string, size_t> groupOf;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, int>>>> groups;
  for (int row = 0; row < table_.count(); ++row) {
    const TextEntry& entry = table_.entries[static_cast<size_t>(row)];
    const std::optional<SnesAddress> at = original_->AddressFor(entry, mode_);
    if (!at) continue;
    std::optional<std::string> original = OriginalScriptText(*at);
    if (!original) continue;
    original = Shown(std::move(*original));
    std::string present = Shown(ScriptText(*rom_.handle, SnesToFileOffset(entry.textAddress), dictionary_, state_));
    auto [it, added] = groupOf.try_emplace(*original, groups.size());
    if (added) groups.emplace_back(std::move(*original), std::vector<std::pair<std::string, int>>());
    groups[it->second].second.emplace_back(std::move(present), row);
  }
  for (auto& [original, rows] : groups) {
    std::vector<TextRows> translations;
    TextRows left{original, {}};
    for (auto& [text, row] : rows) {
      if (text == original) {
        left.rows.push_back(row);
        continue;
      }
      // Compared through a plain reference: a lambda may not capture a structured binding (C++20).
      const std::string& translated = text;
      auto same = std::find_if(translations.begin(), translations.end(),
                               [&](const TextRows& t) { return t.text == translated; });
      if (same == translations.end()) same = translations.insert(translations.end(), TextRows{text, {}});
      same->rows.push_back(row);
    }
    if (translations.size() > 1) {
      findings.push_back({ConsistencyFinding::Kind::TranslatedTwoWays, original, std::move(translations)});
    }
    if (!left.rows.empty() && HoldsLetters(original)) {
      findings.push_back({ConsistencyFinding::Kind::LeftAsOriginal, original, {std::move(left)}});
    }
  }
  std::stable_sort(findings.begin(), findings.end(), [](const ConsistencyFinding& a, const ConsistencyFinding& b) {
    auto first = [](const ConsistencyFinding& f) {
      int row = INT32_MAX;
      for (const TextRows& t : f.texts) row = std::min(row, t.rows.front());
      return row;
    };
    return first(a) < first(b);
  });
  return findings;
}

}  // namespace lettermoor
