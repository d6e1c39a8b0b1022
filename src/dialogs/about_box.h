#pragma once

#include <array>
#include <functional>
#include <string>

namespace lettermoor {

// Texts of the About box.
namespace about_text {
inline constexpr const char* kCaption = "About";
// Seven lines: name and version, author, three web addresses (placeholders), a blank, a joke.
inline constexpr const char* kProgramText =
    "Lettermoor 3.7\n"
    "By Quarrin\n"
    "http://lettermoor.example.org/\n"
    "http://quarrin.example.org/\n"
    "http://forum.example.org/lettermoor/\n"
    "\n"
    "Please do not feed the picture.";
inline constexpr const char* kCloseButton = "I love you, Quarrin!";
inline constexpr const char* kFirstPossession = "Quarrin has possessed this About box!";
inline constexpr std::array<const char*, 10> kTaunts = {
    "I am the demon child!",
    "Your soul is mine!",
    "This About box will be your final resting place!",
    "Boo!",
    "You inferior mortal!",
    "I have the power to move windows!",
    "No one can come close to my superiority!",
    "Continue to click me, and you shall be destroyed!",
    "Okely dokely!",
    "This is CNN.",
};
}  // namespace about_text

// Where a click on the picture sends the box: its new caption and top-left corner on the screen.
struct Possession {
  std::string caption;
  int top = 0;
  int left = 0;
};

// The About box's joke: each click on its picture possesses the box and moves it near the
// screen's top-left corner. One object per opening of the box.
class AboutBox {
 public:
  // Draws non-negative integers.
  using Generator = std::function<int()>;

  // A generator seeded from the clock in seconds.
  AboutBox();
  explicit AboutBox(Generator generator);

  // The possession step: the first click gives the fixed message, later ones a drawn taunt;
  // then the top is drawn before the left, each below 200.
  Possession ClickPicture();

  bool Possessed() const { return possessed_ != 0; }

 private:
  int Draw(int modulus);

  Generator generator_;
  int possessed_ = 0;
};

}  // namespace lettermoor
