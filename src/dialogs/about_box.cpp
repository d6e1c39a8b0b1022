#include "dialogs/about_box.h"

#include <ctime>
#include <random>

namespace lettermoor {

namespace {

AboutBox::Generator ClockSeededGenerator() {
  std::minstd_rand engine(static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
  return [engine]() mutable { return static_cast<int>(engine() & 0x7FFFFFFF); };
}

}  // namespace

AboutBox::AboutBox() : AboutBox(ClockSeededGenerator()) {}

AboutBox::AboutBox(Generator generator) : generator_(std::move(generator)) {}

int AboutBox::Draw(int modulus) {
  const int value = generator_() % modulus;
  return value < 0 ? value + modulus : value;  // a careless generator still lands in range
}

Possession AboutBox::ClickPicture() {
  Possession result;
  if (possessed_ == 0) {
    result.caption = about_text::kFirstPossession;
    possessed_ = 1;
  } else {
    result.caption = about_text::kTaunts[static_cast<size_t>(Draw(10))];
  }
  result.top = Draw(200);
  result.left = Draw(200);
  return result;
}

}  // namespace lettermoor
