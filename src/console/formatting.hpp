// Number formats of the console and the result file, the progress line and the factorial.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glycomb {

// numerator / denominator rounded to `significant` digits and then to exactly two decimals, each
// step rounding half away from zero on the exact decimal value ("9.125" gives "9.13"). The
// denominator must be positive.
std::string FormatRoundedTwoDecimals(std::int64_t numerator, std::int64_t denominator,
                                     int significant);

// The short form of a count: millions with "M", thousands from 9216 on with "K", else the count.
std::string FormatCount(std::int64_t count);

// n! for n up to 12, in a signed 32-bit result (checked).
std::int32_t Factorial(std::uint8_t n);

// A duration in days split into whole days and the time of day, rounded to the millisecond.
struct tDayTime {
  std::int64_t Days = 0;
  int Hours = 0;
  int Minutes = 0;
  int Seconds = 0;
  int Milliseconds = 0;
};
tDayTime SplitDays(double days);

// "" for 0 days, "1 day + " for one, otherwise the number and " days + ".
std::string DayPrefix(std::int64_t days);

// A shift in tenths of a ppm written in ppm with one decimal: 1015 gives "101.5", -3 gives
// "-0.3" (with `minus` for the sign).
std::string FormatTenths(std::int32_t tenths, std::string_view minus = "-");

// The current local time as a date-time in days.
double Now();

// Redraws the progress line: "Sequence now: " n " (" percent "%), time left: " ... and a
// carriage return, without a line feed.
void ShowProgress(std::int32_t sequence, double time_left, float fraction);

// ShowProgress for sequence `sequence` of an estimated `estimate`, of a search begun at
// `start_time` (Now()): the fraction done before that sequence, and the time left extrapolated
// from it.
void ShowProgressSince(std::int32_t sequence, std::int32_t estimate, double start_time);

// The progress line as ShowProgress writes it.
std::string ProgressLine(std::int32_t sequence, double time_left, float fraction);

}  // namespace glycomb
