#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "entries/text_entry.h"
#include "rom/snes_address.h"

namespace lettermoor {

class RomFile;
struct JumpCodeKind;

enum class ReferenceKind {
  PointerRecord,  // a text pointer table record
  PlainPointer,   // an entry of the plain pointer list
  JumpCode,       // a jump code inside another string
};

// One place in the ROM that holds the address of a text.
struct Reference {
  ReferenceKind kind = ReferenceKind::PointerRecord;
  SnesAddress target = 0;      // the address it holds
  int64_t offset = 0;          // file offset of the record, the pointer, or the jump code's byte
  int64_t addressOffset = 0;   // file offset of its four address bytes
  int32_t number = -1;         // record number (0-1405) or plain pointer slot (0-952); -1 for codes
  // Jump codes only: the string the code was met in, and the first listing line (counted from 1)
  // that shows that string (line 0 when none does, e.g. past the listing's 8000 lines).
  int64_t stringOffset = -1;
  ListingMode listing = ListingMode::PointerTableListing;
  int32_t line = 0;
  const JumpCodeKind* jump = nullptr;
};

// Who points where: every text pointer table record and plain pointer that the pointer table
// listing accepts, and every jump code in every string that the three listings reach, decoded
// with the control-code table. Codes the table does not describe, and addresses the game works
// out at run time, are not in it.
//
// Built from the file in one pass; it holds no file and must be rebuilt after any change to it.
class ReferenceIndex {
 public:
  static ReferenceIndex Build(const RomFile& rom);

  // Every reference holding exactly `target`, records first, then plain pointers, then jump codes,
  // each kind in file order.
  std::span<const Reference> To(SnesAddress target) const;

  // True when a reference holds an address from `first` to `last`, both inclusive.
  bool AnyTargetIn(SnesAddress first, SnesAddress last) const;

  // Every reference, ordered by target, then as To() orders them.
  std::span<const Reference> All() const { return references_; }

 private:
  std::vector<Reference> references_;
};

// True when a reference leads to `target` from outside the string [from, to) (file offsets): a
// record, a plain pointer, or a jump code that is not one of the string's own.
bool ReachedFromOutside(const ReferenceIndex& index, SnesAddress target, int64_t from, int64_t to);

// What a reference is, as a user reads it: "Pointer record 12", "Plain pointer 3",
// "GOTO in the string at $C51B12".
std::string DescribeReference(const Reference& reference);
// The kind alone: "record", "plain pointer", or the jump code's name ("GOTO", ...).
const char* ReferenceKindName(const Reference& reference);

}  // namespace lettermoor
