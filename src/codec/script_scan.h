#pragma once

// Fast scanning of script bytes for the decoder: where a stretch of characters and dictionary
// words ends and which of its bytes open a word, many bytes at once; runs of blank (0x00) bytes;
// characters turned into text sixteen at a time. Only the decode's walk uses these; they assume
// the bytes they look at are readable (the walk uses them on the in-memory mirror only).

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/character_map.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lettermoor::script_scan {

// A stretch of characters and dictionary words that starts where an item starts.
struct Stretch {
  int64_t length = 0;       // bytes in the stretch; it ends at a control code or near the limit
  uint64_t words = 0;       // bit k set when byte k opens a dictionary reference
  bool beforeCode = false;  // a control code follows the stretch
};

// The number of 0x00 bytes at the start of `data`, looking at most `limit`.
inline int64_t ZeroRun(const uint8_t* data, int64_t limit) {
  int64_t n = 0;
  while (n + 8 <= limit) {
    uint64_t word;
    std::memcpy(&word, data + n, sizeof word);
    if (word != 0) break;
    n += 8;
  }
  while (n < limit && data[n] == 0) ++n;
  return n;
}

namespace detail {

#ifdef __SSE2__
// Bit k set when byte k of the 16 in `v` lies in [low, low + span].
[[gnu::always_inline]] inline uint32_t RangeBits16(__m128i v, uint8_t low, uint8_t span) {
  const __m128i top = _mm_set1_epi8(static_cast<char>(span));
  const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(low)));  // in range: t <= span
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(t, top), top)));
}
#endif

// The masks of characters (the character map's bytes) and of word openers (0x15-0x17) among
// the 64 bytes at `data`.
[[gnu::always_inline]] inline void ClassMasks64(const uint8_t* data, uint64_t& characters, uint64_t& openers) {
  constexpr uint8_t kFirst = kGameCharacters.FirstByte();
  constexpr uint8_t kSpan = kGameCharacters.LastByte() - kGameCharacters.FirstByte();
  characters = 0;
  openers = 0;
#ifdef __SSE2__
  for (int chunk = 0; chunk < 4; ++chunk) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * chunk));
    characters |= static_cast<uint64_t>(RangeBits16(v, kFirst, kSpan)) << (16 * chunk);
    openers |= static_cast<uint64_t>(RangeBits16(v, 0x15, 0x17 - 0x15)) << (16 * chunk);
  }
#else
  for (int k = 0; k < 64; ++k) {
    if (kGameCharacters.IsCharacterByte(data[k])) characters |= uint64_t{1} << k;
    if (static_cast<uint8_t>(data[k] - 0x15) <= 0x17 - 0x15) openers |= uint64_t{1} << k;
  }
#endif
}

struct StretchMasks {
  uint64_t words;
  uint64_t seconds;  // second bytes of references, whatever their value
  int64_t code;      // where the first control code stands; 64 when none is in the mask
};

// Which bytes open a dictionary reference, given the masks of the characters and of the bytes
// 0x15-0x17 (`openers`) for bytes from an item start on. A byte 0x15-0x17 opens a reference
// unless the one before it opened one (it is then that reference's second byte), so in a row of
// them every other one does. Rows that start on an even bit keep their even bits, the others
// their odd bits; adding a row's first bit to the row clears it, which singles out the rows that
// start on an even bit. `known` masks the bytes that were looked at.
[[gnu::always_inline]] inline StretchMasks Resolve(uint64_t characters, uint64_t openers, uint64_t known) {
  constexpr uint64_t kEven = 0x5555555555555555ull;
  const uint64_t rowStarts = openers & ~(openers << 1);
  const uint64_t evenRows = openers & ~(openers + (rowStarts & kEven));
  const uint64_t oddRows = openers & ~evenRows;
  StretchMasks m;
  m.words = (evenRows & kEven) | (oddRows & ~kEven);
  m.seconds = m.words << 1;
  const uint64_t codes = ~(characters | openers) & ~m.seconds & known;
  m.code = codes ? __builtin_ctzll(codes) : 64;
  return m;
}

}  // namespace detail

// Reads the stretch at `bytes`, where an item starts; 64 bytes from there must be readable. The
// stretch stops before the first control code, or at the first item start at or after `limit`
// (at most 48): a word that begins just before the limit is taken whole. Most stretches are
// short, so the first 16 bytes are looked at alone first.
[[gnu::always_inline]] inline Stretch ScanStretch(const uint8_t* bytes, int64_t limit) {
  detail::StretchMasks m{};
#ifdef __SSE2__
  {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    constexpr uint8_t kFirst = kGameCharacters.FirstByte();
    constexpr uint8_t kSpan = kGameCharacters.LastByte() - kGameCharacters.FirstByte();
    m = detail::Resolve(detail::RangeBits16(v, kFirst, kSpan), detail::RangeBits16(v, 0x15, 0x17 - 0x15),
                        0xFFFF);
  }
  if (m.code >= 16 || m.code >= limit)
#endif
  {
    uint64_t characters, openers;
    detail::ClassMasks64(bytes, characters, openers);
    m = detail::Resolve(characters, openers, ~uint64_t{0});
  }
  Stretch s;
  s.beforeCode = m.code < limit;
  s.length = std::min(m.code, limit);
  if (!s.beforeCode && ((m.seconds >> limit) & 1)) ++s.length;  // a reference across the limit
  s.words = m.words & ((uint64_t{1} << s.length) - 1);
  return s;
}

// How many of the `n` bytes from `data` on lie in [low, low + span] and are not `except` (-1:
// no such byte), before the first that does not: sixteen at a time, then one by one.
inline size_t RunInRange(const uint8_t* data, size_t n, uint8_t low, uint8_t span, int except = -1) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i excluded = _mm_set1_epi8(static_cast<char>(except));
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    uint32_t bits = detail::RangeBits16(v, low, span);
    if (except >= 0) bits &= ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, excluded)));
    if (bits != 0xFFFF) break;
  }
#endif
  while (i < n && static_cast<uint8_t>(data[i] - low) <= span && data[i] != except) ++i;
  return i;
}

// Writes the characters of `n` character bytes at `out`, in 16-byte blocks: whatever `n`, whole
// blocks of 16 are read and written (at least one). Gives the end of the characters.
[[gnu::always_inline]] inline char* CopyCharacters(char* out, const uint8_t* bytes, int64_t n) {
  return kGameCharacters.ToCharacters(out, bytes, n);
}

}  // namespace lettermoor::script_scan
