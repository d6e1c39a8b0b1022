#include "codec/text_compressor.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "codec/bracket_check.h"
#include "codec/control_code_table.h"
#include "codec/decode_items.h"
#include "codec/text_encoder.h"
#include "rom/rom_file.h"

namespace lettermoor {

namespace {

// A word must save at least one byte over its characters: a reference takes two.
constexpr size_t kShortestUsefulWord = 3;
constexpr size_t kLongestWord = static_cast<size_t>(kDictionaryWordMax);

// The printable bytes a word's characters are written as.
constexpr uint8_t kFirstPrintable = kGameCharacters.FirstByte();

std::array<uint8_t, 2> ReferenceBytes(int slot) {
  return {static_cast<uint8_t>(0x15 + slot / 256), static_cast<uint8_t>(slot % 256)};
}

}  // namespace

TextCompressor::TextCompressor(const TextDictionary& dictionary) {
  // The usable words in byte order, each once, with its lowest slot. A word's first eight
  // characters, read as one big-endian number (a shorter word padded with zeros, which no word
  // holds), order almost every pair with one comparison of integers.
  struct Word {
    uint64_t head;
    std::string_view text;
    int slot;
  };
  std::vector<Word> words;
  words.reserve(kDictionarySlots);
  size_t characters = 0;
  // Slot 0 is the empty word and is never used.
  for (int slot = 1; slot < kDictionarySlots; ++slot) {
    const std::string& word = dictionary.words[static_cast<size_t>(slot)];
    if (word.size() < kShortestUsefulWord) continue;
    if (!std::all_of(word.begin(), word.end(), IsPlainWordCharacter)) continue;
    uint64_t head = 0;
    for (size_t k = 0; k < 8; ++k) head = head << 8 | (k < word.size() ? static_cast<uint8_t>(word[k]) : 0u);
    words.push_back({head, word, slot});
    characters += word.size();
  }
  std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
    if (a.head != b.head) return a.head < b.head;
    const int order = a.text.compare(b.text);
    return order != 0 ? order < 0 : a.slot < b.slot;
  });
  words.erase(std::unique(words.begin(), words.end(),
                          [](const Word& a, const Word& b) { return a.head == b.head && a.text == b.text; }),
              words.end());
  usableWords_ = static_cast<int>(words.size());

  // Breadth first: each task is a node and the range of sorted words that share its prefix of
  // `depth` characters.
  struct Task {
    size_t node;
    size_t first, last;
    size_t depth;
  };
  // A task per distinct prefix: never more than the words' characters, and the root.
  std::vector<Task> tasks;
  tasks.reserve(characters + 1);
  tasks.push_back({0, 0, words.size(), 0});
  nodes_.reserve(characters * 2 + kPrintableBytes);
  nodes_.emplace_back();
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
    const auto byteAt = [&](size_t w) { return kGameCharacters.ByteOf(words[w].text[task.depth]); };
    const uint8_t low = byteAt(i);
    const size_t table = nodes_.size();
    const auto span = static_cast<uint8_t>(byteAt(task.last - 1) - low + 1);
    nodes_[task.node].table = static_cast<uint32_t>(table);
    nodes_[task.node].low = low;
    nodes_[task.node].span = span;
    nodes_.resize(table + span);
    while (i < task.last) {
      const uint8_t b = byteAt(i);
      size_t j = i + 1;
      while (j < task.last && byteAt(j) == b) ++j;
      tasks.push_back({table + (b - low), i, j, task.depth + 1});
      i = j;
    }
  }

  pairs_.assign(kPrintableBytes * kPrintableBytes, 0);
  for (unsigned b0 = 0; b0 < kPrintableBytes; ++b0) {
    const uint32_t first = Child(nodes_[0], static_cast<uint8_t>(kFirstPrintable + b0));
    if (first == 0) continue;
    for (unsigned b1 = 0; b1 < kPrintableBytes; ++b1) {
      pairs_[b0 * kPrintableBytes + b1] = Child(nodes_[first], static_cast<uint8_t>(kFirstPrintable + b1));
    }
  }
}

int32_t TextCompressor::ParseRun(const uint8_t* run, size_t n, int peekingCode, Scratch::Pick* picks) const {
  // A measure wants no picks: its own copy of the loop keeps none.
  return picks ? ParseRun<true>(run, n, peekingCode, picks) : ParseRun<false>(run, n, peekingCode, nullptr);
}

template <bool kPicks>
int32_t TextCompressor::ParseRun(const uint8_t* run, size_t n, int peekingCode, Scratch::Pick* picks) const {
  if (n < kShortestUsefulWord) {
    if constexpr (kPicks) std::fill(picks, picks + n, Scratch::Pick{-1, 0});
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
  // cost[i + 1], kept out of memory: each step waits on the one before only through it.
  int32_t next = 0;
  for (size_t i = n; i-- > 0;) {
    int32_t best = next + 1;
    Scratch::Pick pick{-1, 0};
    const size_t reach = std::min(n - i, kLongestWord);
    const uint32_t start = reach < kShortestUsefulWord
                               ? 0
                               : pairs_[(run[i] - kFirstPrintable) * kPrintableBytes + (run[i + 1] - kFirstPrintable)];
    const Node* node = &nodes_[start];
    for (size_t d = 2; start != 0 && d < reach; ++d) {
      const uint32_t child = Child(*node, run[i + d]);
      if (child == 0) break;
      node = &nodes_[child];
      if (node->slot >= 0 && cost[(i + d + 1) % kRing] + 2 < best && (i > 0 || allowedFirst(node->slot))) {
        best = cost[(i + d + 1) % kRing] + 2;
        if constexpr (kPicks) pick = {node->slot, static_cast<uint8_t>(d + 1)};
      }
    }
    cost[i % kRing] = best;
    next = best;
    if constexpr (kPicks) picks[i] = pick;
  }
  return next;
}

int32_t TextCompressor::PlainEncoding(std::string_view text, Scratch& scratch) {
  // Never longer than the text: each byte of a group takes at least one character of it.
  scratch.plain.resize(text.size());
  scratch.breaks.clear();
  uint8_t* plain = scratch.plain.data();
  size_t out = 0;
  // MeasureText's checks on the way: the counts of "[" and "]", and whether every character
  // outside brackets is a game character (a byte of a longer UTF-8 sequence never is).
  size_t open = 0, close = 0;
  bool gameCharacters = true;
  const size_t n = text.size();
  const char* const data = text.data();
  for (size_t i = 0; i < n;) {
    // The characters up to the next group, one byte each.
    const void* bracket = std::memchr(data + i, '[', n - i);
    const size_t end = bracket ? static_cast<size_t>(static_cast<const char*>(bracket) - data) : n;
    // A "]" is rare out here: one pass says whether there is one or any character that is not
    // the game's, and only then are they told apart.
    const auto* from = reinterpret_cast<const uint8_t*>(data + i);
    const size_t count = end - i;
    const std::string_view run = text.substr(0, end);
    const bool unusual = GameCharacters(run, i, ']') < count;
    kGameCharacters.ToBytes(plain + out, from, count);
    if (unusual) close += static_cast<size_t>(std::count(from, from + count, ']'));
    size_t k = unusual ? i + GameCharacters(run, i) : end;  // the first that is not the game's
    if (k < end) {
      // Only an encode goes on with such a text; its other characters may be read as codes.
      gameCharacters = false;
      for (; k < end; k += 1 + GameCharacters(run, k + 1)) {
        scratch.breaks.push_back(static_cast<uint32_t>(out + (k - i)));
      }
    }
    out += end - i;
    i = end;
    if (i == n) break;
    // A group, as TextEncoder reads it: each token one byte. Its "[" and any inside it count
    // as opened; a "]" can only be the one that closes it.
    const size_t group = i;
    i = WalkBracketGroup(text, i, [&](const BracketToken& t) {
      scratch.breaks.push_back(static_cast<uint32_t>(out));
      plain[out++] = t.Byte();
    });
    open += static_cast<size_t>(std::count(data + group, data + i, '['));
    close += data[i - 1] == ']';
  }
  scratch.plain.resize(out);
  if (open != close) return kMeasureBracketError;
  if (!gameCharacters) return kMeasureNonGameCharacter;
  return 0;
}

int32_t TextCompressor::Compress(Scratch& scratch, std::vector<uint8_t>* out) const {
  const std::vector<uint8_t>& plain = scratch.plain;
  const std::vector<uint32_t>& breaks = scratch.breaks;
  const size_t n = plain.size();
  if (out) {
    out->clear();
    out->reserve(n);
    scratch.picks.resize(n);
  }
  int32_t total = 0;
  // Between breaks lie runs of game characters typed outside brackets: they go through the parse.
  // Each break starts an item, read as the decoder will read it and copied; it may take typed
  // characters as its arguments. peekingCode is the sub-coded code just before the run in hand
  // that read the run's first byte without taking it, or -1.
  int peekingCode = -1;
  size_t nextBreak = 0;
  for (size_t i = 0;;) {
    while (nextBreak < breaks.size() && breaks[nextBreak] < i) ++nextBreak;
    const size_t end = nextBreak < breaks.size() ? breaks[nextBreak] : n;
    if (end > i) {
      Scratch::Pick* picks = out ? scratch.picks.data() + i : nullptr;
      total += ParseRun(plain.data() + i, end - i, peekingCode, picks);
      if (out) {
        for (size_t k = i; k < end;) {
          const Scratch::Pick pick = scratch.picks[k];
          if (pick.length == 0) {
            out->push_back(plain[k]);
            ++k;
          } else {
            const auto ref = ReferenceBytes(pick.slot);
            out->insert(out->end(), ref.begin(), ref.end());
            k += pick.length;
          }
        }
      }
    }
    if (end == n) break;
    // The item's length as the decoder's walk reads it. A sub-code past the end of the text is
    // not ours to read: whatever follows in the ROM decides, and nothing of the text is involved.
    const uint8_t b = plain[end];
    size_t length = static_cast<size_t>(ItemLength(b, end + 1 < n ? plain[end + 1] : uint8_t{0xFF}));
    const int peeking = HasSubCode(b) && length == 1 ? b : -1;
    length = std::min(length, n - end);
    total += static_cast<int32_t>(length);
    if (out) {
      out->insert(out->end(), plain.begin() + static_cast<std::ptrdiff_t>(end),
                  plain.begin() + static_cast<std::ptrdiff_t>(end + length));
    }
    i = end + length;
    peekingCode = peeking;
  }
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
  if (FindNonGameCharacter(text)) return {.refusal = TextRefusal::NonGameCharacter};
  return WriteEncodedBytes(rom, offset, compressor.Encode(text));
}

}  // namespace lettermoor
