#pragma once

#include <string>
#include <variant>
#include <vector>

#include "codec/text_layout.h"
#include "codec/text_warnings.h"
#include "codec/text_window_picture.h"
#include "entries/text_entry.h"

namespace lettermoor {

class RomFile;

// A line that does not fit, or no end code.
using LayoutCheckFault = std::variant<LayoutFaultAt, TextWarning>;

// One listed string whose layout a translator must fix.
struct LayoutCheckHit {
  int row = 0;  // in the listing, from 0
  LayoutCheckFault fault;
};

// The hit's fault in words, as DescribeLayoutFault or DescribeTextWarning tells it.
std::string DescribeLayoutCheckFault(const LayoutCheckHit& hit);

// Lays out every string of the listing and gives those that cut a word or run over, or that
// have no end code, in row order (a row with both faults twice). A string that several rows lead
// to is laid out once.
std::vector<LayoutCheckHit> CheckLayouts(const RomFile& rom, const TextEntryTable& table, const TextLayout& layout,
                                         TextWindowKind kind, bool estimates);

}  // namespace lettermoor
