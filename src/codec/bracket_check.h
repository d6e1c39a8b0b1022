#pragma once

#include <string_view>

namespace lettermoor {

// Where a text's brackets first go wrong, as a column counted from 1: the first "]" with no open
// "[" before it, otherwise the first "[" that is never closed. 0 when every bracket pairs up.
// Brackets are paired by nesting, so that every text whose counts of "[" and "]" differ (the
// texts MeasureText refuses) has a fault to point at.
int BracketFaultColumn(std::string_view text);

}  // namespace lettermoor
