// Decodes arbitrary bytes at arbitrary offsets with every flag combination.
//
// Invariants:
// - the size count is at least 1 and at most 4006, the same for every flag combination and with
//   or without a text, and equal to an independent walk over the bytes;
// - the text without codes holds exactly the characters and dictionary words of the string;
// - the text with codes encodes back to exactly the bytes the decode consumed, whenever the
//   string has no dictionary reference and no printable byte that decodes to a bracket;
// - the interpreter listing does not depend on the bracketed-codes flag or on a text being kept;
// - the walk that scans runs of characters and words many bytes at a time gives the same text,
//   size, listing and carry-over state as the same walk reading byte after byte, and a row
//   preview is the text without codes cut short, with the whole string's size and state;
// - FormatRawBytes over the size count gives 3 * size + 1 characters: the consumed bytes in hex.
// Overruns of the text or the listing are caught by AddressSanitizer.

#include <cstdint>
#include <string>
#include <vector>

#include "codec/byte_class.h"
#include "codec/control_code_table.h"
#include "codec/text_decoder.h"
#include "codec/text_encoder.h"
#include "fuzz_support.h"

namespace lettermoor::fuzz {
namespace {

// Words of every length from 0 to 24, so dictionary references can make the text much longer
// than the string.
const TextDictionary& FuzzDictionary() {
  static const TextDictionary dictionary = [] {
    TextDictionary d;
    for (int slot = 1; slot < kDictionarySlots; ++slot) {
      d.words[static_cast<size_t>(slot)] =
          std::string(static_cast<size_t>(slot % (kDictionaryWordMax + 1)),
                      static_cast<char>('a' + slot % 26));
    }
    return d;
  }();
  return dictionary;
}

struct Walk {
  int32_t size = 0;
  std::vector<uint8_t> bytes;  // every byte the string occupies, in order
  size_t plainLength = 0;      // characters of the text without codes
  bool roundTrips = true;      // no dictionary reference, no printable '[' or ']'
};

// Steps through the string the way the script format defines it, without the decoder.
Walk WalkString(const RomFile& rom, int64_t offset, const TextDictionary& dictionary) {
  Walk w;
  int64_t at = offset;
  auto next = [&] {
    const uint8_t b = rom.ReadByte(at++);
    w.bytes.push_back(b);
    return b;
  };
  while (w.size < kDecodeSizeLimit) {
    const uint8_t b = next();
    if (kGameCharacters.IsCharacterByte(b)) {
      w.size += 1;
      w.plainLength += 1;
      if (b == kGameCharacters.ByteOf('[') || b == kGameCharacters.ByteOf(']')) w.roundTrips = false;
    } else if (b >= 0x15 && b <= 0x17) {
      const uint8_t d = next();
      w.size += 2;
      w.plainLength += dictionary.words[static_cast<size_t>((b - 0x15) * 256 + d)].size();
      w.roundTrips = false;
    } else {
      const ControlCodeEntry* entry =
          LookupControlCode(b, HasSubCode(b) ? rom.ReadByte(at) : uint8_t{0});
      const int n = entry ? entry->argumentCount : 0;
      for (int i = 0; i < n; ++i) next();
      w.size += 1 + n;
      if (b == 0x02) break;
    }
  }
  return w;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "[";
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
    out.push_back(' ');
  }
  out.back() = ']';
  return out;
}

}  // namespace
}  // namespace lettermoor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lettermoor;
  using namespace lettermoor::fuzz;
  static MemoryFile file;

  InputReader in(data, size);
  const uint32_t selector = in.Le32();
  const uint8_t options = in.Byte();
  const bool carriedDescribed = options & 1;
  const size_t n = in.RestSize();

  // Mostly the bytes alone make the file; now and then they straddle the end of the in-memory
  // mirror, so that reads go to the file on demand (slow: the mirror is 16 MB).
  int64_t base = 0;
  if ((options & 0x1E) == 0x1E) {
    base = RomFile::kMirrorLimit - static_cast<int64_t>(n / 2);
    file.Reset(base + static_cast<int64_t>(n), in.Rest(), n, base);
  } else {
    file.Reset(static_cast<int64_t>(n), in.Rest(), n, 0);
  }
  std::unique_ptr<RomFile> rom = file.Open();

  // The offset: mostly inside the bytes (or just past them), sometimes anything at all, negative
  // included.
  const int64_t offset = (options & 0x60) == 0x60
                             ? base + static_cast<int32_t>(selector)
                             : base + static_cast<int64_t>(selector % (n + 8));

  const TextDictionary& dictionary = FuzzDictionary();
  DecoderState state;
  TextDecoder decoder(dictionary, state);

  struct Run {
    int32_t size;
    std::string text;
    std::string listing;
    bool describedAfter;
  };
  auto run = [&](bool bracketed, bool listing, bool keepText) {
    Run r;
    state.interpreterText = "left over from an earlier decode";
    state.lastCodeDescribed = carriedDescribed;
    r.size = decoder.Decode(*rom, offset, keepText ? &r.text : nullptr, DecodeFlags{bracketed, listing});
    r.listing = state.interpreterText;
    r.describedAfter = state.lastCodeDescribed;
    return r;
  };

  // The same decodes through the sinks, reading byte after byte, appended to a buffer that
  // holds text already.
  auto oneByOne = [&](bool bracketed, bool listing) {
    Run r;
    state.interpreterText = "left over from an earlier decode";
    state.lastCodeDescribed = carriedDescribed;
    TextBuffer buffer;
    buffer.Append("kept");
    auto decode = [&](auto& sink) {
      if (listing) {
        Listing withListing(state.interpreterText, state.lastCodeDescribed, sink);
        r.size = decoder.Decode(*rom, offset, withListing, ItemReading::OneByOne);
      } else {
        r.size = decoder.Decode(*rom, offset, sink, ItemReading::OneByOne);
      }
    };
    if (bracketed) {
      BracketedText sink(buffer);
      decode(sink);
    } else {
      PlainText sink(buffer);
      decode(sink);
    }
    FUZZ_CHECK(buffer.View().substr(0, 4) == "kept");
    r.text = std::string(buffer.View().substr(4));
    r.listing = state.interpreterText;
    r.describedAfter = state.lastCodeDescribed;
    return r;
  };
  auto preview = [&](size_t length) {
    Run r;
    state.interpreterText = "left over from an earlier decode";
    state.lastCodeDescribed = carriedDescribed;
    TextBuffer buffer;
    r.size = decoder.DecodePreview(*rom, offset, buffer, length);
    r.text = buffer.ToString();
    r.listing = state.interpreterText;
    r.describedAfter = state.lastCodeDescribed;
    return r;
  };

  const Run codesListing = run(true, true, true);
  const Run plainListing = run(false, true, true);
  const Run codes = run(true, false, true);
  const Run plain = run(false, false, true);
  const Run sizeOnlyListing = run(true, true, false);
  const Run sizeOnly = run(false, false, false);
  state.lastCodeDescribed = carriedDescribed;
  const int32_t measured = decoder.Measure(*rom, offset);

  const Walk walk = WalkString(*rom, offset, dictionary);

  // The two readings, and the preview.
  auto same = [](const Run& a, const Run& b) {
    return a.size == b.size && a.text == b.text && a.listing == b.listing && a.describedAfter == b.describedAfter;
  };
  FUZZ_CHECK(same(oneByOne(true, true), codesListing));
  FUZZ_CHECK(same(oneByOne(false, true), plainListing));
  FUZZ_CHECK(same(oneByOne(true, false), codes));
  FUZZ_CHECK(same(oneByOne(false, false), plain));
  for (size_t length : {size_t{0}, size_t{1}, size_t{149}}) {
    Run cut = plain;
    if (cut.text.size() > length) cut.text.resize(length);
    FUZZ_CHECK(same(preview(length), cut));
  }

  // The size count.
  FUZZ_CHECK(walk.size >= 1 && walk.size <= kDecodeSizeLimit + 6);
  for (const Run* r : {&codesListing, &plainListing, &codes, &plain, &sizeOnlyListing, &sizeOnly}) {
    FUZZ_CHECK(r->size == walk.size);
    FUZZ_CHECK(r->describedAfter == codesListing.describedAfter);
  }
  FUZZ_CHECK(measured == walk.size);
  FUZZ_CHECK(static_cast<int64_t>(walk.bytes.size()) == walk.size);

  // The texts.
  FUZZ_CHECK(codes.text == codesListing.text);
  FUZZ_CHECK(plain.text == plainListing.text);
  FUZZ_CHECK(plain.text.size() == walk.plainLength);
  FUZZ_CHECK(plain.text.find('\0') == std::string::npos);
  FUZZ_CHECK(codes.text.find('\0') == std::string::npos);
  FUZZ_CHECK(sizeOnly.text.empty() && sizeOnlyListing.text.empty());
  if (walk.roundTrips) {
    FUZZ_CHECK(TextEncoder(codes.text) == walk.bytes);
    FUZZ_CHECK(MeasureText(codes.text) == walk.size);
  }

  // The listing.
  FUZZ_CHECK(codesListing.listing == plainListing.listing);
  FUZZ_CHECK(codesListing.listing == sizeOnlyListing.listing);
  FUZZ_CHECK(codes.listing.empty() && plain.listing.empty() && sizeOnly.listing.empty());

  // The codes-only view.
  const std::string raw = FormatRawBytes(*rom, offset, walk.size);
  FUZZ_CHECK(raw.size() == 3 * static_cast<size_t>(walk.size) + 1);
  FUZZ_CHECK(raw == Hex(walk.bytes));
  FUZZ_CHECK(FormatRawBytes(*rom, offset, 0) == "]");
  return 0;
}
