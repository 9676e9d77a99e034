// Checked arithmetic and checked indexing. Every integer operation whose range the program cannot
// guarantee goes through these helpers; a failure raises ECheckFailed, which only the program entry
// catches: it reports the failure and ends the run with a non-zero exit code, never undefined
// behaviour.
#pragma once

#include <concepts>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

namespace glycomb {

class ECheckFailed : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// Raises ECheckFailed with `what` as its message.
[[noreturn]] void CheckFailed(const std::string& what);

// `value` converted to T; fails when T cannot hold it.
template <std::integral T, std::integral U>
constexpr T Narrow(U value) {
  if (!std::in_range<T>(value)) CheckFailed("range check error: value out of range");
  return static_cast<T>(value);
}

// a + b, a - b and a * b computed exactly and stored in R; fail when R cannot hold the result.
template <std::integral R, std::integral A, std::integral B>
constexpr R CheckedAdd(A a, B b) {
  R result{};
  if (__builtin_add_overflow(a, b, &result)) CheckFailed("arithmetic overflow");
  return result;
}

template <std::integral R, std::integral A, std::integral B>
constexpr R CheckedSub(A a, B b) {
  R result{};
  if (__builtin_sub_overflow(a, b, &result)) CheckFailed("arithmetic overflow");
  return result;
}

template <std::integral R, std::integral A, std::integral B>
constexpr R CheckedMul(A a, B b) {
  R result{};
  if (__builtin_mul_overflow(a, b, &result)) CheckFailed("arithmetic overflow");
  return result;
}

// Element `index` of an array-like container; fails when the index lies outside it.
template <class Container>
constexpr decltype(auto) At(Container& container, std::size_t index) {
  if (index >= std::size(container)) CheckFailed("range check error: index outside a table");
  return container[index];
}

}  // namespace glycomb
