// Loads the dictionary from files that end inside the dictionary area.
//
// Invariants:
// - the load ends (it stops at the end of the file, whatever is there);
// - slot 0 is the empty word, and no word is longer than 24 characters;
// - slot k holds the k-th zero-terminated string of the area, each byte read through the character map, up to its
//   first character 0 and cut at 24 characters; slots past the end of the file are empty, also
//   when the dictionary held words from an earlier load.

#include <cstdint>
#include <string>
#include <vector>

#include "codec/character_map.h"
#include "codec/text_dictionary.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lettermoor;
  using namespace lettermoor::fuzz;
  static MemoryFile file;

  // The bytes before the area are not read: a sparse stretch of zeros.
  file.Reset(kDictionaryOffset + static_cast<int64_t>(size), data, size, kDictionaryOffset);
  std::unique_ptr<RomFile> rom = file.Open();

  TextDictionary dictionary;
  for (std::string& word : dictionary.words) word = "a word from an earlier, longer load";
  LoadTextDictionary(*rom, dictionary);

  // The words as the area spells them.
  std::vector<std::string> expected(kDictionarySlots);
  size_t at = 0;
  for (int slot = 1; slot < kDictionarySlots && at < size; ++slot) {
    std::string& word = expected[static_cast<size_t>(slot)];
    bool ended = false;
    for (; at < size && data[at] != 0; ++at) {
      const char c = kGameCharacters.CharacterOf(data[at]);
      if (c == 0) ended = true;
      if (!ended && word.size() < kDictionaryWordMax) word.push_back(c);
    }
    if (at < size) ++at;  // the zero that ends the string
  }

  FUZZ_CHECK(dictionary.words[0].empty());
  for (int slot = 0; slot < kDictionarySlots; ++slot) {
    const std::string& word = dictionary.words[static_cast<size_t>(slot)];
    FUZZ_CHECK(word.size() <= static_cast<size_t>(kDictionaryWordMax));
    FUZZ_CHECK(word.find('\0') == std::string::npos);
    FUZZ_CHECK(word == expected[static_cast<size_t>(slot)]);
  }
  return 0;
}
