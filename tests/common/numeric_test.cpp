#include "common/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavelo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LeadingNumber, TakesTheLongestLeadingNumber) {
  EXPECT_EQ(LeadingNumber("12abc"), 12.0);
  EXPECT_EQ(LeadingNumber("  -12.5e1abc"), -125.0);
  EXPECT_EQ(LeadingNumber(" \t\r\n+7"), 7.0);
  EXPECT_EQ(LeadingNumber("1d2"), 100.0);
  EXPECT_EQ(LeadingNumber("1D-2"), 0.01);
  EXPECT_EQ(LeadingNumber("2E+3x"), 2000.0);
  EXPECT_EQ(LeadingNumber("3."), 3.0);
  EXPECT_EQ(LeadingNumber(".5"), 0.5);
  EXPECT_EQ(LeadingNumber("-.25"), -0.25);
  EXPECT_EQ(LeadingNumber("1.2.3"), 1.2);
}

TEST(LeadingNumber, ExponentWithoutDigitsIsNotTaken) {
  EXPECT_EQ(LeadingNumber("3e"), 3.0);
  EXPECT_EQ(LeadingNumber("3e+"), 3.0);
  EXPECT_EQ(LeadingNumber("3E-x"), 3.0);
  EXPECT_EQ(LeadingNumber("4dx"), 4.0);
}

TEST(LeadingNumber, NoNumberReadsZero) {
  for (const char* text : {"", "-", "+", ".", "-.", " ", "abc", "e5", "--1", "+-1", " x1"}) {
    EXPECT_EQ(LeadingNumber(text), 0.0) << '"' << text << '"';
  }
}

TEST(LeadingNumber, OutOfRangeMagnitudes) {
  EXPECT_EQ(LeadingNumber("1e400"), kInf);
  EXPECT_EQ(LeadingNumber("-1e400"), -kInf);
  EXPECT_EQ(LeadingNumber("1e-400"), 0.0);
  EXPECT_EQ(LeadingNumber("0.0001e-330"), 0.0);
  EXPECT_EQ(LeadingNumber("1e99999999999999999999999"), kInf);
  EXPECT_EQ(LeadingNumber("0e99999"), 0.0);
  std::string longDigits(400, '9');
  EXPECT_EQ(LeadingNumber(longDigits), kInf);
  EXPECT_EQ(LeadingNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(IsPlainNumber, WholeTextMustBeOneNumber) {
  EXPECT_TRUE(IsPlainNumber(" 12.5 "));
  EXPECT_TRUE(IsPlainNumber("-3e2"));
  EXPECT_TRUE(IsPlainNumber("3."));
  EXPECT_FALSE(IsPlainNumber("12a"));
  EXPECT_FALSE(IsPlainNumber(""));
  EXPECT_FALSE(IsPlainNumber("."));
  EXPECT_FALSE(IsPlainNumber("1e"));
  EXPECT_FALSE(IsPlainNumber("1 2"));
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(1.5), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(-0.5), 0.0);
  EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
  EXPECT_EQ(RoundHalfEven(2.4999999999999996), 2.0);
  EXPECT_EQ(RoundHalfEven(2.5000000000000004), 3.0);
  EXPECT_EQ(RoundHalfEven(-2.6), -3.0);
  EXPECT_FALSE(std::signbit(RoundHalfEven(-0.4)));
  EXPECT_FALSE(std::signbit(RoundHalfEven(-0.0)));
  // The largest halves below 2^52, their whole part odd.
  EXPECT_EQ(RoundHalfEven(4503599627370495.5), 4503599627370496.0);
  EXPECT_EQ(RoundHalfEven(-4503599627370495.5), -4503599627370496.0);
  EXPECT_EQ(RoundHalfEven(4503599627370494.5), 4503599627370494.0);
  EXPECT_EQ(RoundHalfEven(-4503599627370496.0), -4503599627370496.0);
  EXPECT_EQ(RoundHalfEven(4503599627370497.0), 4503599627370497.0);
  EXPECT_EQ(RoundHalfEven(1e300), 1e300);
  EXPECT_TRUE(std::isnan(RoundHalfEven(kNaN)));
  EXPECT_EQ(RoundHalfEven(-kInf), -kInf);
}

TEST(CheckedIntegers, RangeEdges) {
  EXPECT_EQ(ToInt16(32767.0), int16_t{32767});
  EXPECT_EQ(ToInt16(32767.4), int16_t{32767});
  EXPECT_EQ(ToInt16(32767.5), std::nullopt);  // rounds to 32768
  EXPECT_EQ(ToInt16(32768.0), std::nullopt);
  EXPECT_EQ(ToInt16(-32768.0), int16_t{-32768});
  EXPECT_EQ(ToInt16(-32768.5), int16_t{-32768});  // to even: -32768
  EXPECT_EQ(ToInt16(-32769.5), std::nullopt);
  EXPECT_EQ(ToInt16(2.5), int16_t{2});
  EXPECT_EQ(ToInt16(-2.5), int16_t{-2});

  EXPECT_EQ(ToInt32(2147483647.0), int32_t{2147483647});
  EXPECT_EQ(ToInt32(2147483647.5), std::nullopt);
  EXPECT_EQ(ToInt32(-2147483648.0), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(ToInt32(-2147483649.0), std::nullopt);
  EXPECT_EQ(ToInt32(100 * 56.7), int32_t{5670});

  EXPECT_EQ(ToInt64(9223372036854775808.0), std::nullopt);
  EXPECT_EQ(ToInt64(-9223372036854775808.0), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ToInt64(9223372036854774784.0), int64_t{9223372036854774784});
  EXPECT_EQ(ToInt64(1e300), std::nullopt);
}

TEST(CheckedIntegers, NonFiniteGiveNothing) {
  for (double value : {kNaN, kInf, -kInf}) {
    EXPECT_EQ(ToInt16(value), std::nullopt);
    EXPECT_EQ(ToInt32(value), std::nullopt);
    EXPECT_EQ(ToInt64(value), std::nullopt);
  }
}

TEST(RoundTo, RoundsOnTheScaledValue) {
  EXPECT_EQ(RoundTo(1.25, 1), 1.2);
  EXPECT_EQ(RoundTo(1.35, 1), 1.4);
  EXPECT_EQ(RoundTo(-1.25, 1), -1.2);
  EXPECT_EQ(RoundTo(35.27, 0), 35.0);
  EXPECT_EQ(RoundTo(1250.0, -2), 1200.0);
  EXPECT_EQ(RoundTo(1e300, 10), 1e300);
  EXPECT_EQ(RoundTo(0.1, 400), 0.1);
}

TEST(DecimalText, FifteenDigitsShortestForm) {
  EXPECT_EQ(DecimalText(5), "5");
  EXPECT_EQ(DecimalText(-2), "-2");
  EXPECT_EQ(DecimalText(0.5), "0.5");
  EXPECT_EQ(DecimalText(100), "100");
  EXPECT_EQ(DecimalText(8388608), "8388608");
  EXPECT_EQ(DecimalText(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(DecimalText(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(DecimalText(0.1 + 0.2), "0.3");
  EXPECT_EQ(DecimalText(35.27336860670194), "35.2733686067019");
  EXPECT_EQ(DecimalText(9.9999999999999999), "10");
  EXPECT_EQ(DecimalText(123456789012345.0), "123456789012345");
  EXPECT_EQ(DecimalText(0.0001), "0.0001");
  EXPECT_EQ(DecimalText(0.0), "0");
  EXPECT_EQ(DecimalText(-0.0), "0");
}

TEST(DecimalText, ExtremeMagnitudesUseAnExponentAndReadBack) {
  EXPECT_EQ(DecimalText(1e15), "1E+15");
  EXPECT_EQ(DecimalText(-2.5e20), "-2.5E+20");
  EXPECT_EQ(DecimalText(0.00001), "1E-05");
  EXPECT_EQ(DecimalText(1.5e-300), "1.5E-300");
  for (double value : {1e15, -2.5e20, 0.00001, 1.5e-300, 1.0 / 3, 12345.678}) {
    double back = LeadingNumber(DecimalText(value));
    EXPECT_NEAR(back, value, std::fabs(value) * 1e-14) << DecimalText(value);
  }
}

TEST(SignedText, BlankBeforeNonNegative) {
  EXPECT_EQ(SignedText(5.0), " 5");
  EXPECT_EQ(SignedText(-5.0), "-5");
  EXPECT_EQ(SignedText(0.25), " 0.25");
  EXPECT_EQ(SignedText(-0.0), " 0");
  EXPECT_EQ(SignedText(int64_t{69782}), " 69782");
  EXPECT_EQ(SignedText(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(IntegerText(125), "125");
  EXPECT_EQ(IntegerText(-3), "-3");
}

TEST(ShortestText, ReadsBackExactly) {
  EXPECT_EQ(ShortestText(1984), "1984");
  EXPECT_EQ(ShortestText(283.5), "283.5");
  EXPECT_EQ(ShortestText(0.1), "0.1");
  EXPECT_EQ(ShortestText(-12), "-12");
  EXPECT_EQ(ShortestText(-0.0), "0");
  EXPECT_EQ(ShortestText(16838.5), "16838.5");
  for (double value : {0.1 + 0.2, 1.0 / 3, 8388607.5, -1e-7, 123456789.125}) {
    EXPECT_EQ(LeadingNumber(ShortestText(value)), value) << ShortestText(value);
  }
}

}  // namespace
}  // namespace tavelo
