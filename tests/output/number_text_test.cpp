#include "output/number_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tavelo {
namespace {

std::string Tenths(double v) {
  std::string out;
  number_text::AppendTenths(out, v);
  return out;
}

TEST(NumberText, TenthsAreShortAndNeverShowMinusZero) {
  EXPECT_EQ(Tenths(12), "12");
  EXPECT_EQ(Tenths(-3.5), "-3.5");
  EXPECT_EQ(Tenths(283.46), "283.5");
  EXPECT_EQ(Tenths(0.04), "0");
  EXPECT_EQ(Tenths(-0.04), "0");  // rounds to nothing: no sign
  EXPECT_EQ(Tenths(-0.0), "0");
  EXPECT_EQ(Tenths(-0.06), "-0.1");
  EXPECT_EQ(Tenths(1e300), "1000000000");
  EXPECT_EQ(Tenths(-1e300), "-1000000000");
  EXPECT_EQ(Tenths(std::numeric_limits<double>::quiet_NaN()), "0");
  EXPECT_EQ(Tenths(-std::numeric_limits<double>::infinity()), "0");
  std::string colour;
  number_text::AppendColor(colour, 255 + 256 * 128, " RG\n");
  EXPECT_EQ(colour, "1 0.502 0 RG\n");
}

}  // namespace
}  // namespace tavelo
