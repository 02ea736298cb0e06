// How the labels grow to show their texts: as far as the text needs, never shrinking, never over
// the control below them nor into the bottom margin, at every scale.
#include "ui/layout/form1_layout.h"

#include <gtest/gtest.h>

namespace horalux::form1_layout {
namespace {

TEST(Form1Layout, LabelsGrowToTheirTextUpToTheControlBelowOrTheMargin) {
  const std::size_t label1 = IndexOf("Label1");
  const std::size_t label2 = IndexOf("Label2");
  struct Case {
    const char* what;
    int pixels_per_inch;
    int needed;  // by either label
    int label1_height;
    int label2_height;
  };
  // Label1 may reach Label2's top; Label2, with nothing below it, the bottom margin.
  const Case cases[] = {
      {"short texts keep the drawn heights", 96, 10, 25, 33},
      {"a longer text grows its label", 96, 40, 40, 40},
      {"Label1 stops at Label2", 96, 60, 56, 60},
      {"Label2 stops at the margin", 96, 500, 56, 65},
      {"the limits scale", 144, 500, 84, 98},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto places = Places(c.pixels_per_inch, [&](std::size_t index, int width) {
      EXPECT_EQ(kControls[index].kind, ControlKind::kLabel);
      EXPECT_EQ(width, ToPixels(kControls[index].twips.width, c.pixels_per_inch));
      return c.needed;
    });
    EXPECT_EQ(places[label1].height, c.label1_height);
    EXPECT_EQ(places[label2].height, c.label2_height);
    for (std::size_t i = 0; i < kControls.size(); ++i) {
      const Rect drawn = ToPixels(kControls[i].twips, c.pixels_per_inch);
      EXPECT_EQ(places[i].left, drawn.left);
      EXPECT_EQ(places[i].top, drawn.top);
      EXPECT_EQ(places[i].width, drawn.width);
      if (kControls[i].kind != ControlKind::kLabel) {
        EXPECT_EQ(places[i], drawn);
      }
    }
  }
}

}  // namespace
}  // namespace horalux::form1_layout
