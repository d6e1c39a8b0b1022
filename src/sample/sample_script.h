#pragma once

#include <string>
#include <vector>

namespace lettermoor {

// The sample ROM's dictionary holds exactly as many words as the game's.
inline constexpr int kSampleDictionaryWords = 767;

// Our own story (samples/script.txt), one line per piece of text, in story order.
const std::vector<std::string>& SampleScriptLines();

// The 767 dictionary words of the sample ROM, slot 1 first: every word of three or more letters
// that the script uses, most frequent first, then invented words that the script never uses.
const std::vector<std::string>& SampleDictionaryWords();

}  // namespace lettermoor
