#include "codec/text_dictionary.h"

#include "codec/character_map.h"
#include "rom/rom_file.h"

namespace lettermoor {

void LoadTextDictionary(const RomFile& rom, TextDictionary& dictionary) {
  dictionary.words[0].clear();
  int64_t offset = kDictionaryOffset;
  const int64_t end = rom.Size();
  for (int slot = 1; slot < kDictionarySlots; ++slot) {
    std::string& word = dictionary.words[static_cast<size_t>(slot)];
    word.clear();
    bool ended = false;  // a character 0 ends the word as its terminator would
    while (offset < end) {
      uint8_t b = rom.ReadByte(offset++);
      if (b == 0) break;
      char c = kGameCharacters.CharacterOf(b);
      if (c == 0) ended = true;
      if (!ended && word.size() < kDictionaryWordMax) word.push_back(c);
    }
  }
}

}  // namespace lettermoor
