#include "codec/text_compressor.h"

#include <algorithm>
#include <string>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_encoder.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

// A word must save at least one byte over its characters: a reference takes two.
constexpr size_t kShortestUsefulWord = 3;
constexpr size_t kLongestWord = static_cast<size_t>(kDictionaryWordMax);

// The printable bytes a word's characters are written as.
constexpr uint8_t kFirstPrintable = 0x50;

std::array<uint8_t, 2> ReferenceBytes(int slot) {
  return {static_cast<uint8_t>(0x15 + slot / 256), static_cast<uint8_t>(slot % 256)};
}

}  // namespace

TextCompressor::TextCompressor(const TextDictionary& dictionary) {
  // The usable words in byte order, each once, with its lowest slot.
  struct Word {
    std::string_view text;
    int slot;
  };
  std::vector<Word> words;
  words.reserve(kDictionarySlots);
  // Slot 0 is the empty word and is never used.
  for (int slot = 1; slot < kDictionarySlots; ++slot) {
    const std::string& word = dictionary.words[static_cast<size_t>(slot)];
    if (word.size() < kShortestUsefulWord) continue;
    if (!std::all_of(word.begin(), word.end(), IsPlainWordCharacter)) continue;
    words.push_back({word, slot});
  }
  std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
    return a.text != b.text ? a.text < b.text : a.slot < b.slot;
  });
  words.erase(std::unique(words.begin(), words.end(), [](const Word& a, const Word& b) { return a.text == b.text; }),
              words.end());
  usableWords_ = static_cast<int>(words.size());

  // Breadth first, so that each node's children are made one after another. Each task is a node
  // and the range of sorted words that share its prefix of `depth` characters.
  struct Task {
    size_t node;
    size_t first, last;
    size_t depth;
  };
  nodes_.reserve(words.size() * 4 + 1);
  nodes_.emplace_back();
  children_.reserve(words.size() * 4 + kPrintableBytes);
  std::vector<Task> tasks{{0, 0, words.size(), 0}};
  for (size_t t = 0; t < tasks.size(); ++t) {
    const Task task = tasks[t];
    size_t i = task.first;
    // A word that ends here sorts before every longer word with its prefix.
    if (i < task.last && words[i].text.size() == task.depth) {
      nodes_[task.node].slot = static_cast<int16_t>(words[i].slot);
      ++i;
    }
    if (i == task.last) continue;
    // The children's bytes run from the first remaining word's to the last one's, in order.
    const auto byteAt = [&](size_t w) { return static_cast<uint8_t>(words[w].text[task.depth] + 0x30); };
    const uint8_t low = byteAt(i);
    const size_t table = children_.size();
    nodes_[task.node].table = static_cast<int32_t>(table);
    nodes_[task.node].low = low;
    nodes_[task.node].span = static_cast<uint8_t>(byteAt(task.last - 1) - low + 1);
    children_.resize(table + nodes_[task.node].span, 0);
    while (i < task.last) {
      const uint8_t b = byteAt(i);
      size_t j = i + 1;
      while (j < task.last && byteAt(j) == b) ++j;
      children_[table + (b - low)] = static_cast<uint16_t>(nodes_.size());
      tasks.push_back({nodes_.size(), i, j, task.depth + 1});
      nodes_.emplace_back();
      i = j;
    }
  }

  // The pair table. Nodes number fewer than 65536: 767 words of at most 24 characters.
  static_assert(kDictionarySlots * kDictionaryWordMax < 65536);
  pairs_.assign(kPrintableBytes * kPrintableBytes, 0);
  for (unsigned b0 = 0; b0 < kPrintableBytes; ++b0) {
    const uint16_t first = Child(nodes_[0], static_cast<uint8_t>(kFirstPrintable + b0));
    if (first == 0) continue;
    for (unsigned b1 = 0; b1 < kPrintableBytes; ++b1) {
      pairs_[b0 * kPrintableBytes + b1] = Child(nodes_[first], static_cast<uint8_t>(kFirstPrintable + b1));
    }
  }
}

int32_t TextCompressor::ParseRun(const uint8_t* run, size_t n, int peekingCode, Scratch::Pick* picks) const {
  if (n < kShortestUsefulWord) {
    if (picks) std::fill(picks, picks + n, Scratch::Pick{-1, 0});
    return static_cast<int32_t>(n);
  }
  // A code that looked at the run's first byte for its sub-code and left it must see the same
  // entry when a reference's first byte stands there instead.
  auto allowedFirst = [&](int slot) {
    if (peekingCode < 0) return true;
    const auto code = static_cast<uint8_t>(peekingCode);
    return LookupControlCode(code, ReferenceBytes(slot)[0]) == LookupControlCode(code, run[0]);
  };
  // cost[i % kRing]: the fewest bytes for run[i..]. A word reaches at most kLongestWord bytes
  // ahead, so only that many later costs are ever looked at. Ties keep the plain character, and
  // among words the shortest.
  constexpr size_t kRing = 32;
  static_assert(kRing > kLongestWord);
  std::array<int32_t, kRing> cost;
  cost[n % kRing] = 0;
  for (size_t i = n; i-- > 0;) {
    int32_t best = cost[(i + 1) % kRing] + 1;
    Scratch::Pick pick{-1, 0};
    const size_t reach = std::min(n - i, kLongestWord);
    const uint16_t start = reach < kShortestUsefulWord
                               ? 0
                               : pairs_[(run[i] - kFirstPrintable) * kPrintableBytes + (run[i + 1] - kFirstPrintable)];
    const Node* node = &nodes_[start];
    for (size_t d = 2; start != 0 && d < reach; ++d) {
      const uint16_t child = Child(*node, run[i + d]);
      if (child == 0) break;
      node = &nodes_[child];
      if (node->slot >= 0 && cost[(i + d + 1) % kRing] + 2 < best && (i > 0 || allowedFirst(node->slot))) {
        best = cost[(i + d + 1) % kRing] + 2;
        pick = {node->slot, static_cast<uint8_t>(d + 1)};
      }
    }
    cost[i % kRing] = best;
    if (picks) picks[i] = pick;
  }
  return cost[0];
}

int32_t TextCompressor::PlainEncoding(std::string_view text, Scratch& scratch) {
  // Never longer than the text: each byte of a group takes at least one character of it.
  scratch.plain.resize(text.size());
  scratch.typed.resize(text.size());
  uint8_t* plain = scratch.plain.data();
  uint8_t* typed = scratch.typed.data();
  size_t out = 0;
  // MeasureText's checks on the way: the counts of "[" and "]", and whether every character
  // outside brackets is a game character (a byte of a longer UTF-8 sequence never is).
  size_t open = 0, close = 0;
  bool gameCharacters = true;
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const char c = text[i];
    if (c != '[') {
      const auto u = static_cast<unsigned char>(c);
      close += c == ']';
      gameCharacters &= u >= kFirstGameCharacter && u <= kLastGameCharacter;
      plain[out] = static_cast<uint8_t>(u + 0x30);
      typed[out++] = 1;
      ++i;
      continue;
    }
    // A group, as TextEncoder reads it: from "[" to the next "]" or the end of the text, tokens
    // parted by spaces, each one byte: the last two hexadecimal digits of its value.
    ++open;
    ++i;
    bool inToken = false;
    unsigned value = 0;
    for (; i < n; ++i) {
      const char g = text[i];
      if (g == ' ' || g == ']') {
        if (inToken) {
          plain[out] = static_cast<uint8_t>(value);
          typed[out++] = 0;
          inToken = false;
        }
        if (g == ']') {
          ++close;
          ++i;
          break;
        }
      } else {
        open += g == '[';
        value = (inToken ? value * 16 : 0) + static_cast<unsigned>(HexDigitValue(g));
        inToken = true;
      }
    }
    if (inToken) {
      plain[out] = static_cast<uint8_t>(value);
      typed[out++] = 0;
    }
  }
  scratch.plain.resize(out);
  scratch.typed.resize(out);
  if (open != close) return kMeasureBracketError;
  if (!gameCharacters) return kMeasureNonGameCharacter;
  return 0;
}

int32_t TextCompressor::Compress(Scratch& scratch, std::vector<uint8_t>* out) const {
  const std::vector<uint8_t>& plain = scratch.plain;
  const size_t n = plain.size();
  if (out) {
    out->clear();
    out->reserve(n);
    scratch.picks.resize(n);
  }
  int32_t total = 0;
  // Runs of typed printable items go through the parse, everything else is copied. The run in
  // hand starts at runStart; peekingCode is the sub-coded code just before it that read its first
  // byte without taking it, or -1.
  size_t runStart = 0;
  int peekingCode = -1;
  auto flush = [&](size_t end) {
    if (end == runStart) return;
    Scratch::Pick* picks = out ? scratch.picks.data() + runStart : nullptr;
    total += ParseRun(plain.data() + runStart, end - runStart, peekingCode, picks);
    if (!out) return;
    for (size_t i = runStart; i < end;) {
      const Scratch::Pick pick = scratch.picks[i];
      if (pick.length == 0) {
        out->push_back(plain[i]);
        ++i;
      } else {
        const auto ref = ReferenceBytes(pick.slot);
        out->insert(out->end(), ref.begin(), ref.end());
        i += pick.length;
      }
    }
  };
  for (size_t i = 0; i < n;) {
    const uint8_t b = plain[i];
    const ByteClass byteClass = ClassifyByte(b);
    if (byteClass == ByteClass::Printable && scratch.typed[i]) {
      ++i;
      continue;
    }
    flush(i);
    // The item as the decoder reads it.
    size_t length = 1;
    int peeking = -1;
    if (byteClass == ByteClass::DictionaryReference) {
      length = 2;
    } else if (byteClass == ByteClass::ControlCode) {
      // A sub-code past the end of the text is not ours to read: whatever follows in the ROM
      // decides, and nothing of the text is involved.
      const uint8_t subCode = HasSubCode(b) && i + 1 < n ? plain[i + 1] : 0xFF;
      const ControlCodeEntry* entry = LookupControlCode(b, subCode);
      length = 1 + (entry ? entry->argumentCount : 0);
      if (HasSubCode(b) && length == 1) peeking = b;
    }
    length = std::min(length, n - i);
    total += static_cast<int32_t>(length);
    if (out) {
      out->insert(out->end(), plain.begin() + static_cast<std::ptrdiff_t>(i),
                  plain.begin() + static_cast<std::ptrdiff_t>(i + length));
    }
    i += length;
    runStart = i;
    peekingCode = peeking;
  }
  flush(n);
  return total;
}

void TextCompressor::Encode(std::string_view text, Scratch& scratch, std::vector<uint8_t>& out) const {
  PlainEncoding(text, scratch);
  Compress(scratch, &out);
}

std::vector<uint8_t> TextCompressor::Encode(std::string_view text) const {
  Scratch scratch;
  std::vector<uint8_t> out;
  Encode(text, scratch, out);
  return out;
}

int32_t TextCompressor::Measure(std::string_view text, Scratch& scratch) const {
  if (const int32_t refusal = PlainEncoding(text, scratch); refusal < 0) return refusal;
  return Compress(scratch, nullptr);
}

int32_t TextCompressor::Measure(std::string_view text) const {
  Scratch scratch;
  return Measure(text, scratch);
}

WriteTextResult WriteCompressedText(RomFile& rom, int64_t offset, std::string_view text,
                                   const TextCompressor& compressor) {
  if (FindNonGameCharacter(text)) return {.byteCount = kMeasureNonGameCharacter};
  return WriteEncodedBytes(rom, offset, compressor.Encode(text));
}

}  // namespace lettermoor
