#include "finder/window_placement.h"

#include <gtest/gtest.h>

namespace {

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(WindowPlacementTest, TheBrowsingWindowGoesBesideTheListOrOverItsRightPart) {
  const RECT screen{0, 0, 1920, 1080};
  struct Case {
    RECT list;
    RECT work;
    int width, height;
    RECT expected;
  };
  const Case cases[] = {
      // Room on the right: beside it, at its top, as large as asked.
      {{100, 100, 1124, 868}, screen, 1024, 768, {1124, 100, 1920, 868}},
      // Less room on the right than asked, yet enough: narrower.
      {{0, 0, 1200, 800}, screen, 1024, 768, {1200, 0, 1920, 768}},
      // Room on the left only.
      {{900, 50, 1920, 900}, screen, 800, 600, {100, 50, 900, 650}},
      // No room beside: over the right part, 45% of the list left in sight.
      {{100, 100, 1124, 868}, {0, 0, 1280, 1024}, 1024, 768, {560, 100, 1280, 868}},
      // A list that fills the screen: the window keeps the narrowest useful width.
      {{0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 1024, 768, {576, 0, 1280, 768}},
      // Taller than the screen below the list's top: cut to it.
      {{0, 600, 800, 1000}, screen, 1024, 768, {800, 600, 1824, 1080}},
      // A work area that does not start at the origin (a panel on the left and top).
      {{60, 30, 1000, 700}, {48, 24, 1600, 900}, 1024, 768, {1000, 30, 1600, 798}},
  };
  for (const Case& c : cases) {
    const RECT placed = BoundsBeside(c.list, c.work, c.width, c.height);
    EXPECT_TRUE(placed == c.expected)
        << placed.left << "," << placed.top << "," << placed.right << "," << placed.bottom
        << " for a list at " << c.list.left << "," << c.list.top;
  }
}

}  // namespace
