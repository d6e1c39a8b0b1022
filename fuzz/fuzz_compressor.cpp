// Compresses arbitrary texts with arbitrary dictionaries.
//
// Invariants:
// - the compressed bytes decode (bracketed codes on) to exactly the text the plain encoding
//   decodes to, each followed by seven end codes: a code at the very end takes at most six as
//   arguments, and the next ends the decode;
// - the compressed bytes are never more than the plain ones, and Measure agrees with Encode
//   wherever MeasureText accepts the text;
// - buffers a caller keeps from one text to the next give the same bytes as fresh ones.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "codec/text_compressor.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lettermoor;
  using namespace lettermoor::fuzz;
  static MemoryFile file;

  // The dictionary first: a count of words, then for each its slot (two bytes), its length and its
  // characters. Slot 0 stays the empty word, as the loader leaves it.
  InputReader in(data, size);
  TextDictionary dictionary;
  const int words = in.Byte() % 48;
  for (int i = 0; i < words; ++i) {
    const int high = in.Byte();
    const int slot = (high * 256 + in.Byte()) % kDictionarySlots;
    const size_t length = in.Byte() % 10;
    std::string word;
    for (size_t k = 0; k < length; ++k) word.push_back(static_cast<char>(in.Byte()));
    if (slot != 0) dictionary.words[static_cast<size_t>(slot)] = word;
  }
  const std::string_view text(reinterpret_cast<const char*>(in.Rest()), in.RestSize());

  const TextCompressor compressor(dictionary);
  const std::vector<uint8_t> plain = TextEncoder(text);
  const std::vector<uint8_t> compressed = compressor.Encode(text);
  FUZZ_CHECK(compressed.size() <= plain.size());
  // Buffers kept from earlier inputs change nothing.
  static TextCompressor::Scratch scratch;
  static std::vector<uint8_t> reused;
  compressor.Encode(text, scratch, reused);
  FUZZ_CHECK(reused == compressed);
  const int32_t measured = compressor.Measure(text);
  if (MeasureText(text) >= 0) FUZZ_CHECK(measured == static_cast<int32_t>(compressed.size()));
  else FUZZ_CHECK(measured == MeasureText(text));

  std::vector<uint8_t> image(plain);
  image.insert(image.end(), 7, 0x02);
  const int64_t second = static_cast<int64_t>(image.size());
  image.insert(image.end(), compressed.begin(), compressed.end());
  image.insert(image.end(), 7, 0x02);
  file.Reset(static_cast<int64_t>(image.size()), image.data(), image.size(), 0);
  std::unique_ptr<RomFile> rom = file.Open();
  DecoderState state;
  TextDecoder decoder(dictionary, state);
  std::string plainText, compressedText;
  decoder.Decode(*rom, 0, &plainText, DecodeFlags{true, false});
  decoder.Decode(*rom, second, &compressedText, DecodeFlags{true, false});
  FUZZ_CHECK(plainText == compressedText);
  return 0;
}
