#include "console/formatting.hpp"

#include <gtest/gtest.h>

#include "console/checked.hpp"

namespace glycomb {
namespace {

TEST(FormatCountTest, ShortFormsAtTheThresholds) {
  const struct {
    std::int64_t count;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-5000000, "-5000000"},  // negative counts stay decimal
      {9215, "9215"},
      {9216, "9.00K"},
      {9344, "9.13K"},         // 9.125: half away from zero, not to even
      {1000000, "976.60K"},    // 976.5625 -> 976.6
      {1048575, "1024.00K"},   // 1023.999 -> 1024
      {1048576, "1.00M"},
      // Counts of a search beyond 32 bits keep the form: the millions simply grow.
      {2147483648, "2048.00M"},
      {3000000000, "2861.00M"},     // 2861.0229 to five digits
      {123456789012, "117740.00M"},  // 117737.57 to five digits
      {123456789, "117.74M"},
      {2147483647, "2048.00M"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCount(c.count), c.text) << c.count;
}

TEST(FormatRoundedTwoDecimalsTest, RoundsTheExactDecimalValueHalfAwayFromZero) {
  const struct {
    std::int64_t numerator, denominator;
    int significant;
    const char* text;
  } cases[] = {
      {125, 1000, 4, "0.13"},   // 0.125 is exact: the two-decimal step rounds up
      {1, 8, 4, "0.13"},
      {1, 3, 4, "0.33"},
      {2, 3, 4, "0.67"},
      {27, 30, 4, "0.90"},
      {99995, 10000, 4, "10.00"},  // 9.9995 -> 10.00 at four digits
      {123456, 1, 4, "123500.00"},
      {0, 7, 4, "0.00"},
      {-1, 8, 4, "-0.13"},
      {1, 1000, 4, "0.00"},
      {5, 1000, 4, "0.01"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatRoundedTwoDecimals(c.numerator, c.denominator, c.significant), c.text)
        << c.numerator << "/" << c.denominator;
  }
}

TEST(FactorialTest, ValuesAndOverflow) {
  EXPECT_EQ(Factorial(0), 1);
  EXPECT_EQ(Factorial(1), 1);
  EXPECT_EQ(Factorial(8), 40320);
  EXPECT_EQ(Factorial(12), 479001600);
  EXPECT_THROW(Factorial(13), ECheckFailed);
}

TEST(TimeTest, DaysSplitIntoDayPrefixAndTimeOfDay) {
  const tDayTime t = SplitDays(1.0 + (2.0 * 3600 + 3 * 60 + 4.05) / 86400.0);
  EXPECT_EQ(t.Days, 1);
  EXPECT_EQ(t.Hours, 2);
  EXPECT_EQ(t.Minutes, 3);
  EXPECT_EQ(t.Seconds, 4);
  EXPECT_EQ(t.Milliseconds, 50);
  EXPECT_EQ(DayPrefix(0), "");
  EXPECT_EQ(DayPrefix(1), "1 day + ");
  EXPECT_EQ(DayPrefix(3), "3 days + ");
}

TEST(ProgressLineTest, FirstAndLaterLines) {
  EXPECT_EQ(ProgressLine(1, 0.0, 0.0f),
            "Sequence now: 1 (0.00%), time left: 0hr 0min           \r");
  EXPECT_EQ(ProgressLine(51, 2.0 + (2 * 60 + 5) / 1440.0, 0.5f),
            "Sequence now: 51 (50.00%), time left: 2 days + 2hr 5min           \r");
  EXPECT_EQ(ProgressLine(7, 0.0, 0.03f), "Sequence now: 7 (3.00%), time left: 0hr 0min           \r");
}

}  // namespace
}  // namespace glycomb
