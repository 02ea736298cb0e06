// The program's window described once for every front end: each control's place in twips, its
// text and its place in the tab order, the size of the client area, and how a label grows to show
// its whole text. Toolkit-free: a front end passes in how its labels measure their text.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "handlers/texts.h"

namespace horalux::form1_layout {

enum class ControlKind { kLabel, kTextBox, kButton };

// A rectangle in twips (1440 to the inch) or in pixels, by where it is used.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }
  int bottom() const { return top + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct Control {
  std::string_view name;  // the name the front ends give the control
  ControlKind kind;
  Rect twips;
  std::string_view text;  // what it shows when the window is made
  // Its place when Tab goes round the window; none for a label, which takes no focus.
  std::optional<int> tab_index;
  // For a label: the box it names, for screen readers and for its place among the controls.
  std::string_view names;
};

inline constexpr int kTwipsPerInch = 1440;

inline constexpr std::array<Control, 5> kControls = {{
    {"Label1", ControlKind::kLabel, {120, 120, 735, 375}, texts::kLabel1, std::nullopt, "Text2"},
    {"Text2", ControlKind::kTextBox, {1080, 120, 3015, 495}, texts::kDefaultTimeServerUrl, 2, {}},
    {"Label2", ControlKind::kLabel, {240, 960, 735, 495}, texts::kLabel2, std::nullopt, "Text1"},
    {"Text1", ControlKind::kTextBox, {1080, 840, 3135, 495}, {}, 1, {}},
    {"Command1", ControlKind::kButton, {1560, 1440, 1815, 495}, texts::kCommand1, 0, {}},
}};

// The controls reach 4215 × 1935 twips; the window adds the same margin on the right and at the
// bottom as the controls keep on the left and at the top.
inline constexpr int kMarginTwips = 120;
inline constexpr int kClientWidthTwips = 4215 + kMarginTwips;
inline constexpr int kClientHeightTwips = 1935 + kMarginTwips;

// Twips at a scale of `pixels_per_inch` (96 at 100 %), rounded to the nearest pixel.
int ToPixels(int twips, int pixels_per_inch);
Rect ToPixels(const Rect& twips, int pixels_per_inch);

// The index in kControls of the control called `name`; kControls.size() for none.
std::size_t IndexOf(std::string_view name);

// The indices of kControls in the order a window makes them: the tab order, each label just
// before the box it names, where screen readers look for a box's name.
std::array<std::size_t, kControls.size()> CreationOrder();

// How tall the label kControls[index] must be to show its whole text wrapped at `width` pixels.
using NeededHeight = std::function<int(std::size_t index, int width)>;

// Every control's place in pixels at a scale of `pixels_per_inch`. A label keeps its place and
// width and grows downward as far as its wrapped text needs, but never over a control below it
// in its columns nor into the bottom margin; it never shrinks.
std::array<Rect, kControls.size()> Places(int pixels_per_inch, const NeededHeight& needed_height);

}  // namespace horalux::form1_layout
