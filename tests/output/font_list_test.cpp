// The font list: each family once, foundries dropped, the page's default
// "Arial" always there.

#include "output/font_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/gui_app.h"

namespace tavelo {
namespace {

TEST(FontList, FamiliesOnceWithoutFoundriesAndWithArial) {
  EXPECT_EQ(DistinctFamilies({"Bitstream Charter", "DejaVu Sans [Bitstream]", "DejaVu Sans [ZZ]", "Liberation Sans",
                              "liberation sans", "Z003"}),
            (std::vector<std::string>{"Arial", "Bitstream Charter", "DejaVu Sans", "Liberation Sans", "Z003"}));
  EXPECT_EQ(DistinctFamilies({"Arial [Monotype]", "C059"}), (std::vector<std::string>{"Arial", "C059"}));
  EXPECT_EQ(DistinctFamilies({}), std::vector<std::string>{"Arial"});

  test::EnsureGuiApp();
  const std::vector<std::string> fonts = PageFontFamilies();
  EXPECT_EQ(std::count(fonts.begin(), fonts.end(), "Arial"), 1);
  EXPECT_EQ(std::count(fonts.begin(), fonts.end(), "Liberation Serif"), 1);
  EXPECT_EQ(std::set<std::string>(fonts.begin(), fonts.end()).size(), fonts.size());
  for (const std::string& f : fonts) EXPECT_EQ(f.find('['), std::string::npos) << f;
}

}  // namespace
}  // namespace tavelo
