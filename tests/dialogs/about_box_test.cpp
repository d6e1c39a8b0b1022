#include "dialogs/about_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>

namespace lettermoor {
namespace {

// Gives the queued numbers in order.
AboutBox::Generator Draws(std::deque<int> numbers) {
  return [numbers]() mutable {
    EXPECT_FALSE(numbers.empty()) << "more draws than expected";
    if (numbers.empty()) return 0;
    const int n = numbers.front();
    numbers.pop_front();
    return n;
  };
}

bool IsTaunt(const std::string& caption) {
  return std::any_of(about_text::kTaunts.begin(), about_text::kTaunts.end(),
                     [&](const char* t) { return caption == t; });
}

TEST(AboutBoxPossession, FirstClickPossessesThenTauntsDrawnTopFirst) {
  // Click 1: top, left. Click 2: message, top, left. Click 3: the same message again.
  AboutBox box(Draws({1234, 567, 890, 13, 205, 1230, 0, 199}));
  EXPECT_FALSE(box.Possessed());

  Possession p = box.ClickPicture();
  EXPECT_EQ(p.caption, "Quarrin has possessed this About box!");
  EXPECT_EQ(p.top, 34);
  EXPECT_EQ(p.left, 167);
  EXPECT_TRUE(box.Possessed());

  p = box.ClickPicture();
  EXPECT_EQ(p.caption, "I am the demon child!");
  EXPECT_EQ(p.top, 13);
  EXPECT_EQ(p.left, 5);

  p = box.ClickPicture();
  EXPECT_EQ(p.caption, "I am the demon child!");
  EXPECT_EQ(p.top, 0);
  EXPECT_EQ(p.left, 199);

  // Every opening makes a new box, which starts unpossessed.
  AboutBox next(Draws({9, 9}));
  EXPECT_EQ(next.ClickPicture().caption, "Quarrin has possessed this About box!");
}

TEST(AboutBoxPossession, ClockSeededDrawsStayNearTheCorner) {
  AboutBox box;  // seeded from the clock
  box.ClickPicture();
  for (int i = 0; i < 100; ++i) {
    const Possession p = box.ClickPicture();
    EXPECT_TRUE(IsTaunt(p.caption)) << p.caption;
    EXPECT_GE(p.top, 0);
    EXPECT_LT(p.top, 200);
    EXPECT_GE(p.left, 0);
    EXPECT_LT(p.left, 200);
  }
  // A generator that misbehaves with negative numbers still lands inside the corner.
  AboutBox negative(Draws({-7, -401}));
  const Possession p = negative.ClickPicture();
  EXPECT_EQ(p.top, 193);
  EXPECT_EQ(p.left, 199);
}

TEST(AboutBoxText, SevenLinesStartingWithNameAndAuthor) {
  const std::string text = about_text::kProgramText;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
  EXPECT_EQ(text.rfind("Lettermoor 3.7\nBy Quarrin", 0), 0u);
  EXPECT_NE(text.find("\n\n"), std::string::npos);
}

}  // namespace
}  // namespace lettermoor
