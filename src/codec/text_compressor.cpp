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

std::array<uint8_t, 2> ReferenceBytes(int slot) {
  return {static_cast<uint8_t>(0x15 + slot / 256), static_cast<uint8_t>(slot % 256)};
}

}  // namespace

TextCompressor::TextCompressor(const TextDictionary& dictionary) {
  rootChildren_.fill(-1);
  nodes_.reserve(1024);
  nodes_.emplace_back();
  // Slot 0 is the empty word; the lowest slot wins where the dictionary repeats a word.
  for (int slot = 1; slot < kDictionarySlots; ++slot) {
    const std::string& word = dictionary.words[static_cast<size_t>(slot)];
    if (word.size() < kShortestUsefulWord) continue;
    if (!std::all_of(word.begin(), word.end(), IsPlainWordCharacter)) continue;
    Insert(word, slot);
  }
}

int32_t TextCompressor::Child(int32_t node, uint8_t c) const {
  if (node == 0) return c < rootChildren_.size() ? rootChildren_[c] : -1;
  for (int32_t child = nodes_[static_cast<size_t>(node)].firstChild; child >= 0;
       child = nodes_[static_cast<size_t>(child)].nextSibling) {
    if (static_cast<uint8_t>(nodes_[static_cast<size_t>(child)].ch) == c) return child;
  }
  return -1;
}

void TextCompressor::Insert(std::string_view word, int slot) {
  int32_t node = 0;
  for (char ch : word) {
    const auto c = static_cast<uint8_t>(ch);
    int32_t next = Child(node, c);
    if (next < 0) {
      next = static_cast<int32_t>(nodes_.size());
      Node added;
      added.ch = ch;
      if (node == 0) {
        rootChildren_[c] = next;
      } else {
        added.nextSibling = nodes_[static_cast<size_t>(node)].firstChild;
        nodes_[static_cast<size_t>(node)].firstChild = next;
      }
      nodes_.push_back(added);
    }
    node = next;
  }
  Node& end = nodes_[static_cast<size_t>(node)];
  if (end.slot < 0) {
    end.slot = static_cast<int16_t>(slot);
    ++usableWords_;
  }
}

void TextCompressor::EncodeRun(std::string_view run, int peekingCode, std::vector<uint8_t>& out) const {
  const size_t n = run.size();
  if (n < kShortestUsefulWord) {
    for (char c : run) out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(c) + 0x30));
    return;
  }
  // cost[i]: the fewest bytes for run[i..]; pick[i]: the slot and length of the word that starts
  // the best encoding there, or length 0 for a plain character. Ties keep the plain character.
  struct Step {
    int32_t cost;
    int16_t slot;
    uint8_t length;
  };
  std::vector<Step> best(n + 1);
  best[n] = {0, -1, 0};
  // A code that looked at the run's first byte for its sub-code and left it must see the same
  // entry when a reference's first byte stands there instead.
  auto allowedFirst = [&](int slot) {
    if (peekingCode < 0) return true;
    const auto code = static_cast<uint8_t>(peekingCode);
    return LookupControlCode(code, ReferenceBytes(slot)[0]) ==
           LookupControlCode(code, static_cast<uint8_t>(static_cast<uint8_t>(run[0]) + 0x30));
  };
  for (size_t i = n; i-- > 0;) {
    Step step{best[i + 1].cost + 1, -1, 0};
    int32_t node = 0;
    for (size_t d = 0; i + d < n && d < static_cast<size_t>(kDictionaryWordMax); ++d) {
      node = Child(node, static_cast<uint8_t>(run[i + d]));
      if (node < 0) break;
      const int16_t slot = nodes_[static_cast<size_t>(node)].slot;
      if (slot >= 0 && best[i + d + 1].cost + 2 < step.cost && (i > 0 || allowedFirst(slot))) {
        step = {best[i + d + 1].cost + 2, slot, static_cast<uint8_t>(d + 1)};
      }
    }
    best[i] = step;
  }
  for (size_t i = 0; i < n;) {
    if (best[i].length == 0) {
      out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(run[i]) + 0x30));
      ++i;
    } else {
      const auto ref = ReferenceBytes(best[i].slot);
      out.insert(out.end(), ref.begin(), ref.end());
      i += best[i].length;
    }
  }
}

std::vector<uint8_t> TextCompressor::Encode(std::string_view text) const {
  // The plain encoding, each byte marked when it is a character typed outside brackets.
  std::vector<uint8_t> plain;
  std::vector<bool> typed;
  plain.reserve(text.size());
  typed.reserve(text.size());
  std::vector<uint32_t> tokens;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '[') {
      const size_t close = text.find(']', i);
      const size_t end = close == std::string_view::npos ? text.size() : close + 1;
      ParseBracketGroup(text.substr(i, end - i), tokens);
      for (uint32_t v : tokens) {
        plain.push_back(static_cast<uint8_t>(v & 0xFF));
        typed.push_back(false);
      }
      i = end;
    } else {
      plain.push_back(static_cast<uint8_t>(static_cast<uint8_t>(text[i]) + 0x30));
      typed.push_back(true);
      ++i;
    }
  }

  // Walk the plain bytes item by item, as the decoder will read them; runs of typed printable
  // items go through the parse, everything else is copied.
  std::vector<uint8_t> out;
  out.reserve(plain.size());
  std::string run;
  // The sub-coded code just before the run that read its first byte without taking it, or -1.
  int peekingCode = -1;
  auto flush = [&] {
    EncodeRun(run, peekingCode, out);
    run.clear();
  };
  const size_t n = plain.size();
  for (size_t i = 0; i < n;) {
    const uint8_t b = plain[i];
    const ByteClass byteClass = ClassifyByte(b);
    if (byteClass == ByteClass::Printable && typed[i]) {
      run.push_back(static_cast<char>(b - 0x30));
      ++i;
      continue;
    }
    flush();
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
    out.insert(out.end(), plain.begin() + static_cast<std::ptrdiff_t>(i),
               plain.begin() + static_cast<std::ptrdiff_t>(i + length));
    i += length;
    peekingCode = peeking;
  }
  flush();
  return out;
}

WriteTextResult WriteCompressedText(RomFile& rom, int64_t offset, std::string_view text,
                                   const TextCompressor& compressor) {
  const std::vector<uint8_t> bytes = compressor.Encode(text);
  WriteTextResult result;
  result.byteCount = static_cast<int32_t>(bytes.size());
  result.written = rom.Write(offset, bytes);
  return result;
}

int32_t TextCompressor::Measure(std::string_view text) const {
  const int32_t plain = MeasureText(text);
  if (plain < 0) return plain;
  return static_cast<int32_t>(Encode(text).size());
}

}  // namespace lettermoor
