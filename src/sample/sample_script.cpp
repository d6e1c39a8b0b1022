#include "sample/sample_script.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string_view>

namespace lettermoor {

namespace {

// The story text lives in samples/ so that it can be read and edited as prose.
constexpr std::string_view kScript =
#include "../../samples/script.txt"
    ;

bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Made-up words to fill the dictionary's remaining slots, built from syllables so that the list
// is the same on every run.
std::vector<std::string> InventedWords(const std::set<std::string>& taken, size_t count) {
  static constexpr std::string_view kOnsets[] = {"br", "cl", "dr", "fl", "gr", "k",  "m",
                                                 "n",  "pl", "qu", "sn", "t",  "v",  "wh"};
  static constexpr std::string_view kVowels[] = {"a", "e", "i", "o", "u", "ai", "ou"};
  static constexpr std::string_view kCodas[] = {"mble", "ndle", "rrow", "ck", "sk", "lt",
                                                "ssel", "nket", "zzle", "thing"};
  std::vector<std::string> words;
  std::set<std::string> seen = taken;
  const size_t total = std::size(kOnsets) * std::size(kVowels) * std::size(kCodas);
  // Stepping by a number prime to the total visits every combination once, well mixed.
  for (size_t i = 0, k = 0; i < total && words.size() < count; ++i, k = (k + 97) % total) {
    const size_t onset = k % std::size(kOnsets);
    const size_t vowel = (k / std::size(kOnsets)) % std::size(kVowels);
    const size_t coda = k / (std::size(kOnsets) * std::size(kVowels));
    std::string word = std::string(kOnsets[onset]) + std::string(kVowels[vowel]) +
                       std::string(kCodas[coda]);
    if (seen.insert(word).second) words.push_back(word);
  }
  return words;
}

}  // namespace

const std::vector<std::string>& SampleScriptLines() {
  static const std::vector<std::string> lines = SplitLines(kScript);
  return lines;
}

const std::vector<std::string>& SampleDictionaryWords() {
  static const std::vector<std::string> words = [] {
    std::map<std::string, int> counts;
    for (const std::string& line : SampleScriptLines()) {
      for (size_t i = 0; i < line.size();) {
        if (!IsLetter(line[i])) {
          ++i;
          continue;
        }
        size_t j = i;
        while (j < line.size() && IsLetter(line[j])) ++j;
        if (j - i >= 3) ++counts[line.substr(i, j - i)];
        i = j;
      }
    }
    std::vector<std::pair<std::string, int>> ranked(counts.begin(), counts.end());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<std::string> list;
    std::set<std::string> taken;
    for (const auto& [word, n] : ranked) {
      if (list.size() == kSampleDictionaryWords) break;
      list.push_back(word);
      taken.insert(word);
    }
    for (std::string& w : InventedWords(taken, kSampleDictionaryWords - list.size())) {
      list.push_back(std::move(w));
    }
    return list;
  }();
  return words;
}

}  // namespace lettermoor
