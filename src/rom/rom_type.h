#pragma once

namespace lettermoor {

// What the 15 title bytes at file offset 0x101C0 say the file is.
enum class RomType {
  Unrecognized = 0,
  EarthBound = 1,
  Mother2 = 2,     // the Japanese edition: recognised, then refused
  EarthBoundBad = 3,  // a damaged title that is accepted like EarthBound
};

// The name the Details window shows for a type.
const char* RomTypeName(RomType type);

// EarthBound and EarthBoundBad are opened; the other two are refused.
constexpr bool IsAcceptedRomType(RomType type) {
  return type == RomType::EarthBound || type == RomType::EarthBoundBad;
}

}  // namespace lettermoor
