#pragma once

// What the PO export gives, and what the consistency check finds, for Document.

#include <string>
#include <vector>

namespace lettermoor {

// The listing as a PO file, and how its entries count (msgfmt --statistics counts the same).
struct PoExport {
  std::string text;
  int translated = 0;    // entries with a msgstr
  int untranslated = 0;  // entries whose text is still the original's
};

// One text as a group of rows shows it.
struct TextRows {
  std::string text;
  std::vector<int> rows;  // listing rows, from 0
};

// A likely slip of a translation.
struct ConsistencyFinding {
  enum class Kind {
    TranslatedTwoWays,  // one original text translated differently in different rows
    LeftAsOriginal,     // rows whose text still is their original's, though it holds letters
  };
  Kind kind = Kind::TranslatedTwoWays;
  std::string original;
  std::vector<TextRows> texts;  // TranslatedTwoWays: each translation; LeftAsOriginal: the one text
};

}  // namespace lettermoor
