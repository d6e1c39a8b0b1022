#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "codec/text_dictionary.h"

namespace lettermoor {

// The encoder that puts dictionary words back: the smallest byte encoding of an editable text
// whose decode equals the decode of TextEncoder's bytes for the same text.
//
// Only characters typed outside brackets that the decoder reads as printable items of the plain
// encoding may be replaced: never an argument byte of a control code (in "[04]the" code 04 takes
// "t" and "h") nor the byte after a dictionary reference, and bracket groups are copied byte for
// byte. Words of fewer than three characters (slot 0 among them) save nothing and are never
// used, nor words holding a bracket or a character the encoder would not write back as itself.
//
// The choice of words is an optimal parse: a dynamic programme over the runs of replaceable
// characters, walking a trie of the words from each position. A position costs at most one trie
// step per character of the longest word (24), so the work is linear in the text's length.
class TextCompressor {
 public:
  explicit TextCompressor(const TextDictionary& dictionary);

  // The compressed bytes. Like TextEncoder, no bracket check.
  std::vector<uint8_t> Encode(std::string_view text) const;

  // Like MeasureText, with the compressed size: MeasureText's refusal (a negative result) for a
  // text it refuses, otherwise the number of bytes Encode gives.
  int32_t Measure(std::string_view text) const;

  // How many words of the dictionary the parse may use (distinct, at least three characters).
  int UsableWords() const { return usableWords_; }

 private:
  struct Node {
    int32_t firstChild = -1;
    int32_t nextSibling = -1;
    int16_t slot = -1;  // the word ending here, or -1
    char ch = 0;
  };

  // The child of `node` on character `c`, or -1.
  int32_t Child(int32_t node, uint8_t c) const;
  void Insert(std::string_view word, int slot);
  // Appends the cheapest encoding of a run of replaceable characters. `peekingCode` is the
  // sub-coded control code right before the run that read its first byte as a sub-code and left
  // it (-1 for none): a reference may start the run only where that code reads its byte alike.
  void EncodeRun(std::string_view run, int peekingCode, std::vector<uint8_t>& out) const;

  std::vector<Node> nodes_;  // nodes_[0] is the root
  std::array<int32_t, 128> rootChildren_{};
  int usableWords_ = 0;
};

class RomFile;
struct WriteTextResult;

// WriteText with the compressed bytes: writes them at `offset`, in place, synced to disk, or
// nothing when they would reach past the end of the file.
[[nodiscard]] WriteTextResult WriteCompressedText(RomFile& rom, int64_t offset, std::string_view text,
                                                  const TextCompressor& compressor);

// True for a character that the encoder writes as the printable byte that decodes back to it,
// and that is not a bracket.
constexpr bool IsPlainWordCharacter(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 0x20 && u <= 0x7A && c != '[' && c != ']';
}

}  // namespace lettermoor
