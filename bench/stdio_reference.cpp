#include "stdio_reference.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/character_map.h"
#include "codec/control_code_table.h"

namespace lettermoor::bench {

namespace {

constexpr long kDictionaryAt = 0x8BE3E;
constexpr long kExpansionAt = 0x300200;
constexpr long kExpansionEnd = 0x400100;
constexpr int kSizeLimit = 4000;
constexpr size_t kPreview = 149;

struct Reference {
  std::FILE* file = nullptr;
  char dictionary[768][25] = {};
  bool atStringStart = false;
  bool lastCodeDescribed = false;

  uint8_t Get() {
    const int c = std::fgetc(file);
    return c == EOF ? 0xFF : static_cast<uint8_t>(c);
  }

  // The table is searched row by row, as a port of the original would.
  static const ControlCodeEntry* Find(uint8_t code, uint8_t sub) {
    const ControlCodeEntry* any = nullptr;
    for (const ControlCodeEntry& e : ControlCodeTable()) {
      if (e.code != code) continue;
      if (e.subCode == kNoSubCode || e.subCode == sub) return &e;
      if (e.subCode == kAnySubCode) any = &e;
    }
    return any;
  }

  // The control-code step: learn where we are, read the sub-code, seek back, then read the
  // arguments byte by byte.
  void Describe(uint8_t code, int& size, bool& ended, std::string* text, bool bracketed) {
    const long here = std::ftell(file);
    std::fseek(file, here, SEEK_SET);
    const uint8_t sub = HasSubCode(code) ? Get() : 0;
    std::fseek(file, here, SEEK_SET);
    const ControlCodeEntry* e = Find(code, sub);
    const int n = e ? e->argumentCount : 0;
    for (int i = 0; i < n; ++i) {
      const uint8_t b = Get();
      if (bracketed && text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %.2X", b);
        *text += hex;
      }
    }
    size += n;
    lastCodeDescribed = e != nullptr;
    atStringStart = false;
    if (code == 0x02) ended = true;
  }

  int Decode(long offset, std::string* text, bool bracketed) {
    if (text) text->clear();
    atStringStart = true;
    std::fseek(file, offset, SEEK_SET);
    int size = 0;
    bool ended = false;
    bool open = false;
    while (size < kSizeLimit && !ended) {
      const uint8_t b = Get();
      const bool printable = kGameCharacters.IsCharacterByte(b);
      const bool reference = b >= 0x15 && b <= 0x17;
      if ((printable || reference) && open) {
        if (bracketed && text) *text += ']';
        open = false;
      }
      if (printable) {
        if (text) *text += kGameCharacters.CharacterOf(b);
        size += 1;
        atStringStart = false;
      } else if (reference) {
        const uint8_t d = Get();
        if (text) *text += dictionary[(b - 0x15) * 256 + d];
        size += 2;
        atStringStart = false;
      } else {
        size += 1;
        if (bracketed) {
          if (text) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%c%.2X", open ? ' ' : '[', b);
            *text += hex;
          }
          open = true;
        }
        Describe(b, size, ended, text, bracketed);
      }
    }
    if (open && bracketed && text) *text += ']';
    return size;
  }

  void LoadDictionary() {
    std::fseek(file, kDictionaryAt, SEEK_SET);
    for (int slot = 1; slot < 768; ++slot) {
      int n = 0;
      bool ended = false;
      for (;;) {
        const int c = std::fgetc(file);
        if (c == EOF || c == 0) break;
        const char ch = kGameCharacters.CharacterOf(static_cast<uint8_t>(c));
        if (ch == 0) ended = true;
        if (!ended && n < 24) dictionary[slot][n++] = ch;
      }
      dictionary[slot][n] = '\0';
      if (std::feof(file)) break;
    }
  }
};

}  // namespace

std::vector<std::string> StdioReferenceExpandedFill(const std::string& path) {
  auto ref = std::make_unique<Reference>();
  ref->file = std::fopen(path.c_str(), "rb+");
  if (!ref->file) return {};
  char title[16] = {};
  std::fseek(ref->file, 0x101C0, SEEK_SET);
  for (int i = 0; i < 15; ++i) title[i] = static_cast<char>(ref->Get());
  if (std::strcmp(title, "EARTH BOUND (J)") != 0 && std::strcmp(title, "EARTH BOUND    ") != 0) {
    std::fclose(ref->file);
    return {};
  }
  ref->LoadDictionary();

  std::vector<long> starts;
  long offset = kExpansionAt;
  do {
    if (starts.size() >= 8000) break;
    starts.push_back(offset);
    offset += ref->Decode(offset, nullptr, true);
  } while (offset < kExpansionEnd);

  std::vector<std::string> rows;
  std::string text;
  for (long start : starts) {
    ref->Decode(start, &text, false);
    if (text.size() > kPreview) text.resize(kPreview);
    rows.push_back(text);
  }
  if (!starts.empty()) ref->Decode(starts[0], &text, true);  // row 0 in the edit box
  std::fclose(ref->file);
  return rows;
}

}  // namespace lettermoor::bench
