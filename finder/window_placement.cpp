#include "finder/window_placement.h"

#include <algorithm>

namespace {

// Narrower than this, a page is not worth looking at beside the list.
constexpr int kNarrowest = 480;
// Over the list, the window leaves this share of it (in percent) in sight on the left.
constexpr int kListShownPercent = 45;

int Width(const RECT& rect) { return rect.right - rect.left; }
int Height(const RECT& rect) { return rect.bottom - rect.top; }

}  // namespace

RECT BoundsBeside(const RECT& beside, const RECT& work, int width, int height) {
  const int top = std::clamp<int>(beside.top, work.top, std::max(work.top, work.bottom - 1));
  const int tall = std::max(1, std::min(height, work.bottom - top));
  const int roomRight = work.right - beside.right;
  const int roomLeft = beside.left - work.left;
  if (roomRight >= kNarrowest) {
    return {beside.right, top, beside.right + std::min(width, roomRight), top + tall};
  }
  if (roomLeft >= kNarrowest) {
    return {beside.left - std::min(width, roomLeft), top, beside.left, top + tall};
  }
  // No room beside: over the right part of the list, as wide as the screen lets it be.
  const int wanted = beside.left + Width(beside) * kListShownPercent / 100;
  const int wide =
      std::max(1, std::min({width, std::max(kNarrowest, work.right - wanted), Width(work)}));
  const int left = std::max(work.left, std::min(wanted, work.right - wide));
  return {left, top, left + wide, top + tall};
}

void PlaceBeside(HWND window, HWND beside) {
  RECT own{};
  RECT other{};
  RECT work{};
  if (!GetWindowRect(window, &own) || !GetWindowRect(beside, &other) ||
      !SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) || Width(work) <= 0 ||
      Height(work) <= 0) {
    return;
  }
  const RECT placed = BoundsBeside(other, work, Width(own), Height(own));
  MoveWindow(window, placed.left, placed.top, Width(placed), Height(placed), TRUE);
}
