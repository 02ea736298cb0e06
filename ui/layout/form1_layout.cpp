#include "ui/layout/form1_layout.h"

#include <algorithm>

namespace horalux::form1_layout {

int ToPixels(int twips, int pixels_per_inch) {
  // As Windows' MulDiv rounds: half away from zero.
  const long long scaled = static_cast<long long>(twips) * pixels_per_inch;
  const long long half = kTwipsPerInch / 2;
  return static_cast<int>((scaled >= 0 ? scaled + half : scaled - half) / kTwipsPerInch);
}

Rect ToPixels(const Rect& twips, int pixels_per_inch) {
  return {ToPixels(twips.left, pixels_per_inch), ToPixels(twips.top, pixels_per_inch),
          ToPixels(twips.width, pixels_per_inch), ToPixels(twips.height, pixels_per_inch)};
}

std::size_t IndexOf(std::string_view name) {
  return static_cast<std::size_t>(
      std::find_if(kControls.begin(), kControls.end(),
                   [name](const Control& control) { return control.name == name; }) -
      kControls.begin());
}

std::array<std::size_t, kControls.size()> CreationOrder() {
  std::array<std::size_t, kControls.size()> order{};
  std::size_t next = 0;
  for (int tab = 0; tab < static_cast<int>(kControls.size()); ++tab) {
    for (std::size_t box = 0; box < kControls.size(); ++box) {
      if (kControls[box].tab_index != tab) continue;
      for (std::size_t label = 0; label < kControls.size(); ++label) {
        if (kControls[label].names == kControls[box].name) order[next++] = label;
      }
      order[next++] = box;
    }
  }
  // A label that names no box comes last.
  for (std::size_t label = 0; label < kControls.size(); ++label) {
    if (!kControls[label].tab_index && IndexOf(kControls[label].names) == kControls.size()) {
      order[next++] = label;
    }
  }
  return order;
}

std::array<Rect, kControls.size()> Places(int pixels_per_inch, const NeededHeight& needed_height) {
  std::array<Rect, kControls.size()> places{};
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    places[i] = ToPixels(kControls[i].twips, pixels_per_inch);
  }
  const int floor = ToPixels(kClientHeightTwips - kMarginTwips, pixels_per_inch);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    if (kControls[i].kind != ControlKind::kLabel) continue;
    Rect& label = places[i];
    int room = floor - label.top;
    for (std::size_t j = 0; j < kControls.size(); ++j) {
      const Rect other = ToPixels(kControls[j].twips, pixels_per_inch);
      const bool overlaps_columns = other.left < label.right() && label.left < other.right();
      if (j != i && overlaps_columns && other.top > label.top) {
        room = std::min(room, other.top - label.top);
      }
    }
    label.height =
        std::clamp(needed_height(i, label.width), label.height, std::max(room, label.height));
  }
  return places;
}

}  // namespace horalux::form1_layout
