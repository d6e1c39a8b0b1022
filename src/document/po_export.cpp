// Document's translation work beside an original ROM: the PO export and the consistency check.

#include <algorithm>
#include <charconv>
#include <future>
#include <unordered_map>
#include <unordered_set>

#include "codec/decode_items.h"
#include "codec/hex_text.h"
#include "codec/text_sinks.h"
#include "codec/text_preview.h"
#include "codec/text_window_picture.h"
#include "document/document.h"
#include "entries/entry_points.h"
#include "script/po_file.h"
#include "script/script_text.h"

namespace lettermoor {

namespace {

void AppendAddress(std::string& out, SnesAddress address) { AppendDollarAddress(out, static_cast<uint32_t>(address)); }

void AppendNumbered(std::string& out, std::string_view label, long number) {
  char digits[24];
  out += label;
  out.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

// What the size comment of each text says beyond its size: the entry point it shares bytes with,
// and whether its dialogue-window layout runs over or cuts a word (nothing when the fonts are
// unreadable). It needs only the file, so it is worked out beside the texts.
struct SizeNotes {
  std::vector<std::optional<SnesAddress>> shares;
  std::optional<std::vector<bool>> overruns;
};

SizeNotes NotesFor(const RomFile& rom, const std::vector<SnesAddress>& texts, const TextDictionary& dictionary,
                   const ReferenceIndex& index) {
  SizeNotes notes;
  EntryPoints entryPoints(rom, texts, &index);
  for (const SnesAddress address : texts) {
    NoText none;
    bool lastDescribed = false;
    const int64_t offset = SnesToFileOffset(address);
    notes.shares.push_back(entryPoints.SharedWith(offset, ReadItems(rom, offset, kNoWords, none, lastDescribed)));
  }
  const TextPreviewer previewer(rom);
  if (previewer.RefusalFor(TextWindowKind::Dialogue) != PreviewRefusal::None) return notes;
  const TextLayout layout(dictionary, previewer.Widths());
  notes.overruns.emplace(texts.size(), false);
  TextLayoutResult result;
  for (size_t n = 0; n < texts.size(); ++n) {
    layout.LayForCheck(rom, SnesToFileOffset(texts[n]), TextWindowKind::Dialogue, false, result);
    (*notes.overruns)[n] = FindLayoutFault(result, false).has_value();
  }
  return notes;
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
  // Only reads of the file and the dictionary, on another core while this one decodes the texts.
  std::future<SizeNotes> pending =
      std::async(std::launch::async, [&] { return NotesFor(*rom, order, dictionary_, index); });
  // The texts first, into one buffer, while the notes are worked out; then the file.
  struct Texts {
    SnesAddress identity;  // where the original holds the text, which stays when the text moves
    int32_t size;
    size_t id, idLength, str, strLength;  // in `texts`; the translation is empty when there is none
  };
  std::vector<Texts> blocks;
  blocks.reserve(order.size());
  std::string texts;
  texts.reserve(order.size() * 128);
  // With the same words, the same bytes are the same text: most of a translation in progress is
  // still the original's bytes, which need not be decoded twice.
  const bool sameWords = original_ && original_->Words().words == dictionary_.words;
  ScriptTextReader reader(*rom, dictionary_, state_);
  PoExport result;
  const int total = static_cast<int>(order.size());
  for (int n = 0; n < total; ++n) {
    if (progress && n % 64 == 0 && !progress(n, total)) return std::nullopt;
    const SnesAddress address = order[static_cast<size_t>(n)];
    Texts& t = blocks.emplace_back(Texts{address, 0, texts.size(), 0, 0, 0});
    t.size = reader.Append(SnesToFileOffset(address), texts);
    t.idLength = texts.size() - t.id;
    if (!original_) continue;
    const std::optional<SnesAddress> at = original_->AddressFor(table_.entries[static_cast<size_t>(rowsOf[static_cast<size_t>(n)][0])], mode_);
    if (!at) continue;
    t.identity = *at;
    if (sameWords && original_->SameBytes(*rom, SnesToFileOffset(address), t.size, *at)) continue;
    // The present text is the translation when the original's differs: the entry's id is the original's.
    const std::optional<std::string> original = OriginalScriptText(*at);
    if (!original || std::string_view(texts).substr(t.id, t.idLength) == *original) continue;
    t.str = t.id;
    t.strLength = t.idLength;
    t.id = texts.size();
    t.idLength = original->size();
    texts += *original;
    ++result.translated;
  }
  result.untranslated = total - result.translated;
  const SizeNotes notes = pending.get();
  result.text.reserve(texts.size() * 2 + order.size() * 160);
  AppendPoEntry(result.text, PoHeader(rom_.fileName, ScriptListingName(mode_)));
  std::unordered_set<SnesAddress> identities;
  // One entry, refilled for each text: its strings keep their room.
  PoEntry entry;
  entry.context.emplace();
  entry.extracted.emplace_back();
  for (size_t n = 0; n < blocks.size(); ++n) {
    const Texts& t = blocks[n];
    const SnesAddress address = order[n];
    entry.id.assign(texts, t.id, t.idLength);
    entry.str.assign(texts, t.str, t.strLength);
    if (characters_) {
      entry.id = Shown(std::move(entry.id));
      entry.str = Shown(std::move(entry.str));
    }
    entry.context->clear();
    AppendAddress(*entry.context, t.identity);
    // Two texts that lead back to one original text (a pointer edited by hand) stay two entries.
    if (!identities.insert(t.identity).second) {
      *entry.context += " at ";
      AppendAddress(*entry.context, address);
    }
    entry.references.clear();
    for (const int row : rowsOf[n]) AppendNumbered(entry.references.emplace_back(), "line:", row + 1);
    for (const Reference& r : index.To(address)) {
      if (r.kind == ReferenceKind::PointerRecord) AppendNumbered(entry.references.emplace_back(), "record:", r.number);
      if (r.kind == ReferenceKind::PlainPointer) AppendNumbered(entry.references.emplace_back(), "pointer:", r.number);
      if (r.kind == ReferenceKind::JumpCode) {
        std::string& jump = entry.references.emplace_back("jump:");
        AppendAddress(jump, FileOffsetToSnes(static_cast<int32_t>(r.stringOffset)));
      }
    }
    std::optional<bool> fits;
    if (notes.overruns) fits = !(*notes.overruns)[n];
    entry.extracted[0] = PoSizeComment(t.size, notes.shares[n], fits);
    result.text += '\n';
    AppendPoEntry(result.text, entry);
  }
  if (progress) progress(total, total);
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
