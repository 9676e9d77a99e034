#include "console/formatting.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "console/checked.hpp"

namespace glycomb {

std::string FormatTenths(std::int32_t tenths, std::string_view minus) {
  const std::int64_t magnitude = std::abs(static_cast<std::int64_t>(tenths));
  return (tenths < 0 ? std::string(minus) : std::string()) + std::to_string(magnitude / 10) + "." +
         std::to_string(magnitude % 10);
}
namespace {

using Wide = __int128;

Wide PowerOfTen(int exponent) {
  Wide result = 1;
  for (int i = 0; i < exponent; ++i) result *= 10;
  return result;
}

// numerator / denominator rounded half away from zero to a whole number (both non-negative).
Wide DivideRounded(Wide numerator, Wide denominator) {
  const Wide quotient = numerator / denominator;
  const Wide remainder = numerator % denominator;
  return 2 * remainder >= denominator ? quotient + 1 : quotient;
}

}  // namespace

std::string FormatRoundedTwoDecimals(std::int64_t numerator, std::int64_t denominator,
                                     int significant) {
  if (denominator <= 0 || significant < 1 || significant > 18) CheckFailed("invalid rounding");
  const bool negative = numerator < 0;
  Wide num = negative ? -static_cast<Wide>(numerator) : static_cast<Wide>(numerator);
  const Wide den = denominator;

  // Hundredths of the value, after rounding to `significant` digits and then to two decimals.
  Wide hundredths = 0;
  if (num != 0) {
    // The decimal exponent of the leading digit: 10^exponent <= num/den < 10^(exponent+1).
    const auto at_least_power = [&](int e) {
      return e >= 0 ? num >= den * PowerOfTen(e) : num * PowerOfTen(-e) >= den;
    };
    int exponent = 0;
    if (at_least_power(0)) {
      while (at_least_power(exponent + 1)) ++exponent;
    } else {
      while (!at_least_power(exponent)) --exponent;
    }
    // Units of 10^(exponent - significant + 1) after the first rounding.
    const int scale = significant - 1 - exponent;  // digits to the right of the decimal point
    const Wide rounded = scale >= 0 ? DivideRounded(num * PowerOfTen(scale), den)
                                    : DivideRounded(num, den * PowerOfTen(-scale));
    // Second rounding: from 10^-scale units to hundredths.
    if (scale <= 2) {
      hundredths = rounded * PowerOfTen(2 - scale);
    } else {
      hundredths = DivideRounded(rounded, PowerOfTen(scale - 2));
    }
  }
  std::string digits;
  Wide whole = hundredths / 100;
  const int fraction = static_cast<int>(hundredths % 100);
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(whole % 10)));
    whole /= 10;
  } while (whole != 0);
  std::string text = (negative && hundredths != 0 ? "-" : "") + digits + ".";
  text += static_cast<char>('0' + fraction / 10);
  text += static_cast<char>('0' + fraction % 10);
  return text;
}

std::string FormatCount(std::int64_t count) {
  if (count / 1048576 >= 1) return FormatRoundedTwoDecimals(count, 1048576, 5) + "M";
  if (count / 1024 >= 9) return FormatRoundedTwoDecimals(count, 1024, 4) + "K";
  return std::to_string(count);
}

std::int32_t Factorial(std::uint8_t n) {
  std::int32_t result = 1;
  for (std::int32_t i = 2; i <= n; ++i) result = CheckedMul<std::int32_t>(result, i);
  return result;
}

tDayTime SplitDays(double days) {
  constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
  // A straight-line estimate can be absurdly large early in a run; it is shown, not trusted.
  if (!(days > 0)) days = 0;
  if (days > 1e11) days = 1e11;
  const auto total = static_cast<std::int64_t>(std::llround(days * kMillisecondsPerDay));
  tDayTime result;
  result.Days = total / kMillisecondsPerDay;
  std::int64_t rest = total % kMillisecondsPerDay;
  result.Hours = static_cast<int>(rest / 3'600'000);
  rest %= 3'600'000;
  result.Minutes = static_cast<int>(rest / 60'000);
  rest %= 60'000;
  result.Seconds = static_cast<int>(rest / 1000);
  result.Milliseconds = static_cast<int>(rest % 1000);
  return result;
}

std::string DayPrefix(std::int64_t days) {
  if (days == 0) return "";
  if (days == 1) return "1 day + ";
  return std::to_string(days) + " days + ";
}

double Now() {
  using namespace std::chrono;
  const auto since_epoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch());
  return static_cast<double>(since_epoch.count()) / 86'400'000.0;
}

namespace {

// Writes the progress line into `out` without allocating; returns its length.
std::size_t FormatProgressLine(char* out, std::size_t size, std::int32_t sequence,
                               double time_left, float fraction) {
  const tDayTime left = SplitDays(time_left);
  char days[32] = "";
  if (left.Days == 1) {
    std::snprintf(days, sizeof days, "1 day + ");
  } else if (left.Days > 1) {
    std::snprintf(days, sizeof days, "%lld days + ", static_cast<long long>(left.Days));
  }
  const int length =
      std::snprintf(out, size, "Sequence now: %d (%4.2f%%), time left: %s%dhr %dmin%11s\r",
                    static_cast<int>(sequence), static_cast<double>(fraction) * 100.0, days,
                    left.Hours, left.Minutes, "");
  if (length < 0 || static_cast<std::size_t>(length) >= size) {
    CheckFailed("range check error: progress line too long");
  }
  return static_cast<std::size_t>(length);
}

}  // namespace

std::string ProgressLine(std::int32_t sequence, double time_left, float fraction) {
  char line[160];
  return std::string(line, FormatProgressLine(line, sizeof line, sequence, time_left, fraction));
}

void ShowProgress(std::int32_t sequence, double time_left, float fraction) {
  // Called once per sequence of the search: formatted on the stack, nothing allocated.
  char line[160];
  const std::size_t length = FormatProgressLine(line, sizeof line, sequence, time_left, fraction);
  std::cout.write(line, static_cast<std::streamsize>(length)).flush();
}

void ShowProgressSince(std::int32_t sequence, std::int32_t estimate, double start_time) {
  const float fraction = static_cast<float>(sequence - 1) / static_cast<float>(estimate);
  const double elapsed = Now() - start_time;
  ShowProgress(sequence, fraction == 0.0f ? 0.0 : elapsed / fraction - elapsed, fraction);
}

}  // namespace glycomb
