#pragma once

namespace lettermoor::gizmo_text {

// Texts of the extras dialog that stands where text compression would be.
inline constexpr const char* kCaption = "Happy-Land is joy full place!";
inline constexpr const char* kMessage =
    "Hey, I ain't doing compression since you can use an extra meg of space now!  "
    "So play with these gizmos instead!";
inline constexpr const char* kBoo = "Boo!";
inline constexpr const char* kMonkeyBait = "Monkey bait";
inline constexpr const char* kOk = "OK";

}  // namespace lettermoor::gizmo_text
