// Document's translation work beside an original ROM: the PO export and the consistency check.

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "base/second_core.h"
#include "codec/decode_items.h"
#include "codec/hex_text.h"
#include "codec/text_sinks.h"
#include "codec/text_preview.h"
#include "codec/text_window_picture.h"
#include "document/document.h"
#include "entries/entry_points.h"
#include "entries/text_blocks.h"
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

// Each text's comment lines: "#." with its size, its room in place (none when it shares bytes
// with another entry point) and whether its dialogue-window layout runs over or cuts a word (unsaid
// when the fonts are unreadable); "#:" with its lines and references. They need only the file, so
// they are written on another core while this one decodes the texts.
struct Comments {
  std::string text;
  std::vector<size_t> at;  // text n's lines run from at[n] to at[n + 1]
};

Comments CommentsFor(const RomFile& rom, const TextBlocks& blocks, const TextDictionary& dictionary,
                     const ReferenceIndex& index) {
  const std::vector<SnesAddress>& texts = blocks.order;
  // The sizes from the layout's walk where there is one, else from a walk of their own.
  std::vector<int32_t> sizes;
  sizes.reserve(texts.size());
  std::vector<bool> overruns;
  const TextPreviewer previewer(rom);
  const bool laid = previewer.RefusalFor(TextWindowKind::Dialogue) == PreviewRefusal::None;
  if (laid) {
    const TextLayout layout(dictionary, previewer.Widths());
    TextLayoutResult result;
    for (const SnesAddress address : texts) {
      layout.LayForCheck(rom, SnesToFileOffset(address), TextWindowKind::Dialogue, false, result);
      overruns.push_back(FindLayoutFault(result, false).has_value());
      sizes.push_back(result.size);
    }
  } else {
    for (const SnesAddress address : texts) {
      NoText none;
      bool lastDescribed = false;
      sizes.push_back(ReadItems(rom, SnesToFileOffset(address), kNoWords, none, lastDescribed));
    }
  }
  std::vector<std::optional<SnesAddress>> shares;
  shares.reserve(texts.size());
  EntryPoints entryPoints(rom, texts, &index);
  for (size_t n = 0; n < texts.size(); ++n) shares.push_back(entryPoints.SharedWith(SnesToFileOffset(texts[n]), sizes[n]));
  Comments comments;
  comments.text.reserve(texts.size() * 100);
  comments.at.reserve(texts.size() + 1);
  // One entry, refilled for each text: its strings keep their room.
  PoEntry entry;
  entry.extracted.emplace_back();
  for (size_t n = 0; n < texts.size(); ++n) {
    comments.at.push_back(comments.text.size());
    std::optional<bool> fits;
    if (laid) fits = !overruns[n];
    entry.extracted[0].clear();
    AppendPoSizeComment(entry.extracted[0], sizes[n], shares[n], fits);
    entry.references.clear();
    for (const int row : blocks.RowsOf(n)) AppendNumbered(entry.references.emplace_back(), "line:", row + 1);
    for (const Reference& r : index.To(texts[n])) {
      if (r.kind == ReferenceKind::PointerRecord) AppendNumbered(entry.references.emplace_back(), "record:", r.number);
      if (r.kind == ReferenceKind::PlainPointer) AppendNumbered(entry.references.emplace_back(), "pointer:", r.number);
      if (r.kind == ReferenceKind::JumpCode) {
        std::string& jump = entry.references.emplace_back("jump:");
        AppendAddress(jump, FileOffsetToSnes(static_cast<int32_t>(r.stringOffset)));
      }
    }
    AppendPoComments(comments.text, entry);
  }
  comments.at.push_back(comments.text.size());
  return comments;
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
  const TextBlocks blocksOf(table_);
  const std::vector<SnesAddress>& order = blocksOf.order;
  // Only reads of the file, the dictionary and the index, on another core while this one decodes the texts.
  std::future<Comments> pending = OnSecondCore([&] {
    return CommentsFor(*rom, blocksOf, dictionary_, index);
  });
  // The texts first, into one buffer, while the comments are written; then the file.
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
    const std::optional<SnesAddress> at = original_->AddressFor(table_.entries[static_cast<size_t>(blocksOf.RowsOf(static_cast<size_t>(n))[0])], mode_);
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
  const Comments comments = pending.get();
  result.text.reserve(texts.size() * 2 + comments.text.size() + order.size() * 64);
  AppendPoEntry(result.text, PoHeader(rom_.fileName, ScriptListingName(mode_)));
  // Two texts that lead back to one original text (a pointer edited by hand) stay two entries: the
  // later ones' contexts name their own addresses too.
  std::vector<bool> repeated(blocks.size(), false);
  FirstSeen identities(blocks.size());
  for (size_t n = 0; n < blocks.size(); ++n) repeated[n] = !identities.Add(blocks[n].identity).second;
  std::string context, id, str;
  for (size_t n = 0; n < blocks.size(); ++n) {
    const Texts& t = blocks[n];
    context.clear();
    AppendAddress(context, t.identity);
    if (repeated[n]) {
      context += " at ";
      AppendAddress(context, order[n]);
    }
    std::string_view idText = std::string_view(texts).substr(t.id, t.idLength);
    std::string_view strText = std::string_view(texts).substr(t.str, t.strLength);
    if (characters_) {
      idText = id = Shown(std::string(idText));
      strText = str = Shown(std::string(strText));
    }
    result.text += '\n';
    result.text.append(comments.text, comments.at[n], comments.at[n + 1] - comments.at[n]);
    AppendPoFields(result.text, context, idText, strText);
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
