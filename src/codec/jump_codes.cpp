#include "codec/jump_codes.h"

#include <iterator>

namespace lettermoor {

namespace detail {

namespace {

ScanTables MakeTables() {
  ScanTables t{};
  for (int b = 0; b < 256; ++b) {
    using decode_detail::ByteRole;
    const ByteRole::Kind kind = decode_detail::kCodeRoles.of[b].kind;
    t.textStep[b] = kind == ByteRole::Character ? 1 : kind == ByteRole::DictionaryWord ? 2 : 0;
  }
  for (size_t i = 0; i < std::size(kJumpCodes); ++i) {
    const JumpCodeKind& k = kJumpCodes[i];
    // Only a code the table describes, with room for the whole address among its arguments,
    // is taken as a jump.
    const ControlCodeEntry* e =
        LookupControlCode(k.code, k.subCode < 0 ? uint8_t{0} : static_cast<uint8_t>(k.subCode));
    if (!e || e->argumentCount < k.addressArgument + 3) continue;
    if (k.subCode < 0) {
      t.jump[k.code][0] = static_cast<uint8_t>(i + 1);
    } else {
      t.jump[k.code][k.subCode] = static_cast<uint8_t>(i + 1);
    }
  }
  return t;
}

}  // namespace

const ScanTables& Tables() {
  static const ScanTables tables = MakeTables();
  return tables;
}

}  // namespace detail

const JumpCodeKind* FindJumpCode(uint8_t code, uint8_t next) {
  if (code >= 0x20) return nullptr;
  const uint8_t j = detail::Tables().jump[code][code >= 0x18 ? next : 0];
  return j ? &kJumpCodes[j - 1] : nullptr;
}

bool EndsWithEndCode(std::span<const uint8_t> bytes) {
  const ByteSpan text{bytes};
  const auto n = static_cast<int64_t>(bytes.size());
  if (n == 0 || bytes.back() != kEndCode) return false;
  // Each walk, the decoder's own, stops at an end code; one that runs past the last byte reads
  // 0xFF there and so cannot stop on it.
  static const TextDictionary kNoWords;  // a walk for the size count reads no word
  DecoderState state;
  NoText sizeOnly;
  int64_t at = 0;
  while (at < n) at += DecodeItems(text, at, kNoWords, state, sizeOnly);
  return at == n;
}

}  // namespace lettermoor
